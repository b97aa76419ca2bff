// SPDX-License-Identifier: MIT
// The program shell through a real (headless) window: input as the window
// system reports it, the tick, resizing, minimising, painting, saving and
// closing.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "Fumes.h"
#include "FumesPalette.h"
#include "FumesSim.h"
#include "FumesTestSupport.h"
#include "seams/UserSeams.h"
#include "support/ScratchFolder.h"

namespace fs = std::filesystem;
namespace lt = lumo::test;
using fumes_test::ScriptedRandom;

namespace {

constexpr char kCaption[] = "fumes - tovak; click and drag to draw fumes";

std::vector<uint8_t> ReadFile(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

int32_t Int32At(const std::vector<uint8_t>& Data, size_t Offset) {
  int32_t Value;
  std::memcpy(&Value, Data.data() + Offset, 4);
  return Value;
}

std::vector<uint8_t> PaletteBytes() {
  const auto* First = reinterpret_cast<const uint8_t*>(FumeDib->Palette);
  return std::vector<uint8_t>(First, First + sizeof(FumeDib->Palette));
}

std::vector<uint8_t> PixelBytes() {
  return std::vector<uint8_t>(FumeDib->Pixels, FumeDib->Pixels + FumeDib->Header.biSizeImage);
}

// The figure's corner of the field: the smoke takes far longer than a few
// frames to rise there, so only the text shows in it.
std::vector<uint8_t> TextCorner() {
  std::vector<uint8_t> Corner;
  for (int y = 0; y < 20; ++y) {
    Corner.insert(Corner.end(), FumeDib->Rows8[y], FumeDib->Rows8[y] + 24);
  }
  return Corner;
}

class FumesShell : public ::testing::Test {
 protected:
  void SetUp() override {
    lt::UseHeadlessWindows();
    lt::UseFakeClock(0);
    ResetFumeState();
    AltScheme = false;
    RandomFunction = DefaultRandom;
    FumesStartUp(nullptr);
    Window = WindowHandle;
    ASSERT_NE(Window, nullptr);
  }
  void TearDown() override {
    FumesShutDown();
    lt::ResetWindows();
    ResetFumeState();
    AltScheme = false;
    RandomFunction = DefaultRandom;
  }

  lt::PumpResult Pump() { return lt::DispatchPending(); }

  // Runs the program's own loop until it has shown Count frames.
  void RunFrames(int Count) {
    MSG Msg;
    for (int Guard = 0; Count > 0 && Guard < 100000; ++Guard) {
      if (!FumesPump(Msg)) {
        --Count;
      }
    }
  }

  void Key(int Vk, bool Down, bool Repeat = false) {
    lt::InjectKey(Window, Vk, Down, Repeat);
    Pump();
  }

  HWND Window = nullptr;
  lumo::test::ScratchFolder Scratch{"fumes-shell"};
  const fs::path Dir = Scratch.Path();
};

// ---- start-up --------------------------------------------------------------

TEST_F(FumesShell, StartsWithItsWindowFieldPaletteAndFigure) {
  const lt::WindowState State = lt::GetWindowState(Window);
  EXPECT_TRUE(State.visible);
  EXPECT_TRUE(State.resizable);
  EXPECT_TRUE(State.minimiseBox);
  EXPECT_TRUE(State.maximiseBox);
  EXPECT_EQ(State.title, kCaption);
  EXPECT_EQ(State.clientWidth, 800);
  EXPECT_EQ(State.clientHeight, 500);

  EXPECT_EQ(FumeDib->Header.biWidth, 800);
  EXPECT_EQ(FumeDib->Header.biHeight, -500);
  EXPECT_EQ(FumeDib->Header.biBitCount, 8);
  EXPECT_EQ(FumeDib->Palette[100].rgbRed, 255);  // the start-up scheme's yellow
  EXPECT_EQ(FumeDib->Palette[100].rgbGreen, 255);
  EXPECT_EQ(FumeDib->Palette[150].rgbBlue, 255);

  // The first second shows the figure 0, drawn into the picture.
  const int Before = lt::PresentCount(Window);
  RunFrames(1);
  EXPECT_EQ(FrameCount, 1);
  EXPECT_GT(lt::PresentCount(Window), Before);
  const std::vector<uint8_t> Corner = TextCorner();
  EXPECT_TRUE(std::any_of(Corner.begin(), Corner.end(), [](uint8_t b) { return b != 0; }));
}

// ---- keys ------------------------------------------------------------------

TEST_F(FumesShell, SpaceAndShiftHoldTheSourcesAndEitherReleaseRestoresThem) {
  Key(VK_SPACE, true);
  EXPECT_EQ(SeedRange, 0);
  EXPECT_EQ(SeedBase, 0);
  Key(VK_SHIFT, true);
  EXPECT_EQ(SeedRange, 0);
  EXPECT_EQ(SeedBase, 255);
  Key(VK_SPACE, false);  // Shift still held
  EXPECT_EQ(SeedRange, 255);
  EXPECT_EQ(SeedBase, 0);
  Key(VK_SHIFT, true, true);  // auto-repeat repeats the action
  EXPECT_EQ(SeedBase, 255);
  Key(VK_SHIFT, false);
  EXPECT_EQ(SeedRange, 255);
  EXPECT_EQ(SeedBase, 0);
}

TEST_F(FumesShell, FTogglesTheFigureAndOtherKeysDoNothing) {
  Key('F', true);
  EXPECT_FALSE(ShowFps);
  Key('F', true, true);
  EXPECT_TRUE(ShowFps);
  Key('F', false);
  Key('A', true);
  Key('A', false);
  Key(VK_RETURN, true);
  EXPECT_TRUE(ShowFps);
  EXPECT_EQ(SeedRange, 255);
  EXPECT_FALSE(Drawing);
  EXPECT_EQ(lt::FileDialogCallCount(), 0);

  // Without the figure the corner stays dark.
  RunFrames(1);
  Key('F', true);
  ASSERT_FALSE(ShowFps);
  FumeDib->ClearTo(0);
  RunFrames(1);
  const std::vector<uint8_t> Corner = TextCorner();
  EXPECT_TRUE(std::all_of(Corner.begin(), Corner.end(), [](uint8_t b) { return b == 0; }));
}

// The figure is lime, that is the palette entry nearest to lime, on the
// opaque cell of the entry nearest to white, and as wide as its digits.
TEST_F(FumesShell, TheFigureShowsItsDigitsInLime) {
  auto Nearest = [](uint8_t R, uint8_t G, uint8_t B) {
    int Best = 0, BestDistance = 1 << 30;
    for (int I = 0; I < 256; ++I) {
      const RGBQUAD& Q = FumeDib->Palette[I];
      const int D =
          (Q.rgbRed - R) * (Q.rgbRed - R) + (Q.rgbGreen - G) * (Q.rgbGreen - G) + (Q.rgbBlue - B) * (Q.rgbBlue - B);
      if (D < BestDistance) {
        Best = I;
        BestDistance = D;
      }
    }
    return Best;
  };
  const int Lime = Nearest(0, 255, 0), White = Nearest(255, 255, 255);
  auto RightmostInk = [&](int Figure) {
    FumeDib->ClearTo(0);
    FramesPerSecond = Figure;
    RunFrames(1);
    int Right = -1;
    for (int Y = 0; Y < 19; ++Y) {
      for (int X = 0; X < 80; ++X) {
        const uint8_t I = FumeDib->Rows8[Y][X];
        EXPECT_TRUE(I == 0 || I == Lime || I == White) << X << "," << Y << " is " << int{I};
        if (I == Lime) Right = std::max(Right, X);
      }
    }
    return Right;
  };
  const int One = RightmostInk(7), Four = RightmostInk(7777);
  EXPECT_GT(One, 0);
  EXPECT_GE(Four, One + 3 * 5) << "three more digits";
}

TEST_F(FumesShell, EscapeClosesAtOnceAndTheLoopEndsWithExitCodeZero) {
  lt::InjectKey(Window, VK_ESCAPE, true);
  const lt::PumpResult Result = Pump();
  EXPECT_TRUE(Result.quit);
  EXPECT_EQ(Result.exitCode, 0);
  EXPECT_EQ(WindowDC, nullptr);
  // The timer is gone: no more ticks.
  FrameCount = 5;
  lt::AdvanceClock(3000);
  Pump();
  EXPECT_EQ(FramesPerSecond, 0);
}

TEST_F(FumesShell, TheCloseBoxClosesLikeEscape) {
  lt::Close(Window);
  EXPECT_TRUE(Pump().quit);
}

TEST(FumesProgram, RunsItsLoopUntilEscapeAndReturnsZero) {
  lt::UseHeadlessWindows();
  lt::UseFakeClock(0);
  ResetFumeState();
  int Idle = 0;
  int FramesSeen = 0;
  lt::SetIdleHook([&] {
    if (++Idle == 50) {
      FramesSeen = FrameCount;
      lt::InjectKey(lt::LastCreatedWindow(), VK_ESCAPE, true);
    }
  });
  char NoCommandLine[] = "";
  EXPECT_EQ(FumesMain(nullptr, nullptr, NoCommandLine, SW_SHOWNORMAL), 0);
  EXPECT_GT(FramesSeen, 0);
  EXPECT_EQ(FumeDib, nullptr);
  EXPECT_TRUE(FumePoints.empty());
  lt::ResetWindows();
  ResetFumeState();
}

// ---- mouse -----------------------------------------------------------------

TEST_F(FumesShell, LeftPressAndDragRecordPointsAndClearThePictureOnce) {
  RunFrames(3);
  lt::InjectMouseButton(Window, MK_LBUTTON, true, 100, 50);
  Pump();
  EXPECT_TRUE(Drawing);
  const std::vector<uint8_t> Pixels = PixelBytes();
  EXPECT_TRUE(std::all_of(Pixels.begin(), Pixels.end(), [](uint8_t b) { return b == 0; }));

  lt::InjectMouseMove(Window, 110, 55);
  lt::InjectMouseMove(Window, 120, 60);
  Pump();
  ASSERT_EQ(FumePoints.size(), 3u);
  EXPECT_EQ(FumePoints[0].X, 100);
  EXPECT_EQ(FumePoints[0].Y, 50);
  EXPECT_EQ(FumePoints[2].X, 120);
  EXPECT_EQ(FumePoints[2].Y, 60);

  // Drawn points keep burning, smoke rises above them; the bottom rows are
  // no longer fed.
  RunFrames(3);
  bool Smoke = false;
  for (int y = 40; y < 60; ++y) {
    Smoke = Smoke || std::any_of(FumeDib->Rows8[y] + 90, FumeDib->Rows8[y] + 130, [](uint8_t b) { return b != 0; });
  }
  EXPECT_TRUE(Smoke);
  EXPECT_TRUE(std::all_of(FumeDib->Rows8[498], FumeDib->Rows8[498] + 1600, [](uint8_t b) { return b == 0; }));
}

TEST_F(FumesShell, ShiftDragSparksInsteadOfDrawingWhileEverySourceBurnsFull) {
  lt::InjectMouseButton(Window, MK_LBUTTON, true, 10, 10);
  Pump();
  ASSERT_EQ(FumePoints.size(), 1u);
  Key(VK_SHIFT, true);
  EXPECT_EQ(SeedBase, 255);

  ScriptedRandom::Install({200});
  lt::InjectMouseMove(Window, 300, 200);  // wParam MK_LBUTTON | MK_SHIFT = 5
  Pump();
  EXPECT_EQ(FumePoints.size(), 1u);
  EXPECT_EQ(FumeDib->Rows8[200][300], 200);
  EXPECT_EQ(ScriptedRandom::Ranges, std::vector<int32_t>{255});

  // The same message sent directly.
  ScriptedRandom::Install({99});
  WndProc(Window, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(301, 201));
  EXPECT_EQ(FumeDib->Rows8[201][301], 99);
  EXPECT_EQ(FumePoints.size(), 1u);
}

TEST_F(FumesShell, MovingWithoutButtonsSparksAndOutsideMovesAreHarmless) {
  ScriptedRandom::Install({77});
  lt::InjectMouseMove(Window, 5, 6);
  Pump();
  EXPECT_FALSE(Drawing);
  EXPECT_EQ(FumeDib->Rows8[6][5], 77);
  // Coordinates beyond the field (as a captured mouse would report them).
  WndProc(Window, WM_MOUSEMOVE, 0, MAKELPARAM(-1, -1));
  WndProc(Window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(900, 700));
  EXPECT_EQ(FumePoints.size(), 1u);
  RunFrames(2);  // the point outside is skipped, nothing breaks
}

TEST_F(FumesShell, DoubleClickRecordsAPointThenForgetsAllPoints) {
  lt::InjectMouseButton(Window, MK_LBUTTON, true, 40, 40);
  lt::InjectMouseButton(Window, MK_LBUTTON, false, 40, 40);
  Pump();
  ASSERT_TRUE(Drawing);
  FumeDib->Rows8[1][1] = 9;
  lt::InjectMouseButton(Window, MK_LBUTTON, true, 40, 40);  // the second press: a double click
  Pump();
  EXPECT_FALSE(Drawing);
  EXPECT_TRUE(FumePoints.empty());
  EXPECT_EQ(FumeDib->Rows8[1][1], 9);  // the picture is kept
}

TEST_F(FumesShell, RightClickSwitchesSchemesAndBackExactly) {
  const std::vector<uint8_t> First = PaletteBytes();
  lt::InjectMouseButton(Window, MK_RBUTTON, true, 10, 10);
  lt::InjectMouseButton(Window, MK_RBUTTON, false, 10, 10);
  Pump();
  EXPECT_TRUE(AltScheme);
  EXPECT_EQ(FumeDib->Palette[136].rgbBlue, 128);  // navy
  EXPECT_NE(PaletteBytes(), First);
  lt::AdvanceClock(1000);  // not a double click
  lt::InjectMouseButton(Window, MK_RBUTTON, true, 10, 10);
  Pump();
  EXPECT_FALSE(AltScheme);
  EXPECT_EQ(PaletteBytes(), First);
}

// ---- tick, resize, minimise, paint ----------------------------------------

TEST_F(FumesShell, TheTickCopiesTheFrameCountAndStartsCountingAgain) {
  RunFrames(7);
  EXPECT_EQ(FramesPerSecond, 0);
  lt::AdvanceClock(1000);
  Pump();
  EXPECT_EQ(FramesPerSecond, 7);
  EXPECT_EQ(FrameCount, 0);
  RunFrames(3);
  lt::AdvanceClock(1000);
  Pump();
  EXPECT_EQ(FramesPerSecond, 3);
}

TEST_F(FumesShell, ResizeReallocatesAtTheClientSizeKeepingSchemeFontAndColour) {
  lt::InjectMouseButton(Window, MK_RBUTTON, true, 10, 10);
  Pump();
  const std::vector<uint8_t> Scheme = PaletteBytes();
  FumeDib->ClearTo(0);
  RunFrames(1);
  const std::vector<uint8_t> CornerBefore = TextCorner();

  lt::ResizeClient(Window, 640, 360);
  Pump();
  EXPECT_EQ(FumeDib->Header.biWidth, 640);
  EXPECT_EQ(FumeDib->Header.biHeight, -360);
  EXPECT_EQ(FumeDib->RowCount, 360);
  EXPECT_EQ(PaletteBytes(), Scheme);
  const std::vector<uint8_t> Pixels = PixelBytes();
  EXPECT_TRUE(std::all_of(Pixels.begin(), Pixels.end(), [](uint8_t b) { return b == 0; }));

  // The same figure in the same font and colours as before the resize.
  RunFrames(1);
  EXPECT_EQ(TextCorner(), CornerBefore);
}

TEST_F(FumesShell, MinimisedTheLoopPollsWithoutSteppingAndRestoreStartsAfresh) {
  lt::InjectMouseButton(Window, MK_LBUTTON, true, 30, 30);
  Pump();
  lt::Minimise(Window);
  Pump();
  EXPECT_EQ(FumeDib->RowCount, 0);
  const int Before = FrameCount;
  RunFrames(20);
  EXPECT_EQ(FrameCount, Before);
  // Saving a minimised field must not break anything either.
  lt::QueueFileDialogAnswer((Dir / "small.bmp").string());
  Key('S', true);

  lt::Restore(Window);
  Pump();
  EXPECT_EQ(FumeDib->Header.biWidth, 800);
  EXPECT_EQ(FumeDib->RowCount, 500);
  EXPECT_EQ(FumePoints.size(), 1u);
  RunFrames(1);
  EXPECT_EQ(FrameCount, Before + 1);
}

TEST_F(FumesShell, PaintingShowsTheFieldTopRowFirstThroughItsPalette) {
  for (int y = 0; y < 500; ++y) {
    std::memset(FumeDib->Rows8[y], y % 256, 800);
  }
  lt::Expose(Window);
  Pump();
  int Width = 0, Height = 0;
  const uint32_t* Shown = lt::WindowPixels(Window, &Width, &Height);
  ASSERT_NE(Shown, nullptr);
  ASSERT_EQ(Width, 800);
  ASSERT_EQ(Height, 500);
  for (int y : {0, 1, 100, 255, 499}) {
    const RGBQUAD& Q = FumeDib->Palette[y % 256];
    const uint32_t Expected = (uint32_t(Q.rgbRed) << 16) | (uint32_t(Q.rgbGreen) << 8) | Q.rgbBlue;
    EXPECT_EQ(Shown[y * 800 + 400] & 0xFFFFFF, Expected) << "row " << y;
  }
}

// ---- saving ----------------------------------------------------------------

class FumesSave : public FumesShell {
 protected:
  // A field whose every row differs, so the row order in the file shows.
  void FillPattern(uint8_t Salt) {
    for (int y = 0; y < FumeDib->RowCount; ++y) {
      for (int x = 0; x < 800; ++x) {
        FumeDib->Rows8[y][x] = static_cast<uint8_t>(y + x / 100 + Salt);
      }
    }
  }
};

TEST_F(FumesSave, WritesAnOrdinaryBottomUpBmpAndLeavesTheFieldAsItWas) {
  FillPattern(0);
  const std::vector<uint8_t> Before = PixelBytes();
  const fs::path Path = Dir / "frame.bmp";
  lt::QueueFileDialogAnswer(Path.string());
  Key('S', true);

  const lt::FileDialogCall Call = lt::LastFileDialogCall();
  EXPECT_EQ(Call.owner, Window);
  EXPECT_EQ(Call.title, "Save Bitmap");
  ASSERT_EQ(Call.filters.size(), 1u);
  EXPECT_EQ(Call.filters[0].first, "Bitmap Files (*.bmp)");
  EXPECT_EQ(Call.filters[0].second, "*.bmp");
  EXPECT_EQ(Call.maxFile, 256u);
  EXPECT_EQ(Call.flags, 0u);

  const std::vector<uint8_t> File = ReadFile(Path);
  ASSERT_EQ(File.size(), 401078u);
  EXPECT_EQ(File[0], 'B');
  EXPECT_EQ(File[1], 'M');
  EXPECT_EQ(Int32At(File, 10), 1078);
  EXPECT_EQ(Int32At(File, 18), 800);
  EXPECT_EQ(Int32At(File, 22), 500);
  EXPECT_EQ(std::vector<uint8_t>(File.begin() + 54, File.begin() + 1078), PaletteBytes());
  // The first stored row is the bottom line of the picture.
  for (int Stored : {0, 1, 250, 499}) {
    const int Line = 499 - Stored;
    EXPECT_EQ(0, std::memcmp(File.data() + 1078 + Stored * 800, Before.data() + Line * 800, 800)) << Stored;
  }

  EXPECT_EQ(FumeDib->Header.biHeight, -500);
  EXPECT_EQ(PixelBytes(), Before);
  EXPECT_EQ(lt::MessageBoxCallCount(), 0);
}

TEST_F(FumesSave, SavingTwiceToOnePathLeavesTheSecondPicture) {
  const fs::path Path = Dir / "twice.bmp";
  FillPattern(0);
  lt::QueueFileDialogAnswer(Path.string());
  Key('S', true);
  FillPattern(7);
  lt::QueueFileDialogAnswer(Path.string());
  Key('S', true);
  const std::vector<uint8_t> File = ReadFile(Path);
  ASSERT_EQ(File.size(), 401078u);
  EXPECT_EQ(File[1078 + 499 * 800], 7);  // top line, first pixel
}

TEST_F(FumesSave, ACancelledDialogWritesNothingAndChangesNothing) {
  FillPattern(3);
  const std::vector<uint8_t> Before = PixelBytes();
  lt::QueueFileDialogCancel();
  Key('S', true);
  EXPECT_EQ(lt::FileDialogCallCount(), 1);
  EXPECT_EQ(lt::MessageBoxCallCount(), 0);  // cancel says nothing
  EXPECT_TRUE(fs::is_empty(Dir));
  EXPECT_EQ(PixelBytes(), Before);
  EXPECT_EQ(FumeDib->Header.biHeight, -500);
}

TEST_F(FumesSave, AFailedWriteIsToldAndLeavesTheFieldIntactAndTheProgramRunning) {
  FillPattern(5);
  const std::vector<uint8_t> Before = PixelBytes();
  const std::string Path = (Dir / "no such folder" / "x.bmp").string();
  lt::QueueFileDialogAnswer(Path);
  lt::QueueMessageBoxAnswer();
  Key('S', true);
  EXPECT_FALSE(fs::exists(Dir / "no such folder"));
  EXPECT_EQ(FumeDib->Header.biHeight, -500);
  EXPECT_EQ(PixelBytes(), Before);
  ASSERT_EQ(lt::MessageBoxCallCount(), 1);
  const lt::MessageBoxCall Box = lt::LastMessageBox();
  EXPECT_EQ(Box.owner, Window);
  EXPECT_EQ(Box.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_EQ(Box.text, "Could not save the picture to " + Path + ": The system cannot find the path specified.");
  const int Frames = FrameCount;
  RunFrames(2);
  EXPECT_EQ(FrameCount, Frames + 2);
}

// A dialog that fails is told too: a path too long for the 256-character
// buffer, and a chooser that cannot be started.
TEST_F(FumesSave, AFailedDialogIsToldAndWritesNothing) {
  lt::QueueFileDialogAnswer((Dir / std::string(260, 'n')).string() + ".bmp");
  lt::QueueMessageBoxAnswer();
  Key('S', true);
  EXPECT_EQ(lt::LastMessageBox().text, "Could not save the picture: the chosen path is longer than 255 characters.");

  ::setenv("LUMO_FILE_DIALOG", (Dir / "no such chooser").c_str(), 1);
  lt::QueueMessageBoxAnswer();
  testing::internal::CaptureStderr();
  Key('S', true);
  testing::internal::GetCapturedStderr();
  ::unsetenv("LUMO_FILE_DIALOG");
  EXPECT_EQ(lt::MessageBoxCallCount(), 2);
  EXPECT_EQ(lt::LastMessageBox().text, "Could not save the picture: the file dialog failed (error 0x0002).");
  EXPECT_TRUE(fs::is_empty(Dir));
}

}  // namespace
