// SPDX-License-Identifier: MIT
// The program shell on headless windows: start-up, input, timer, resizing,
// painting and both ways to end, driven through the window layer's seams.
#include <gtest/gtest.h>

#include <cstring>

#include "LumoGPlus.h"
#include "TwistRender.h"
#include "TwistShell.h"
#include "seams/GPlusSeams.h"
#include "seams/GdiSeams.h"
#include "seams/ModuleSeams.h"
#include "seams/UserSeams.h"

namespace {

using namespace lumo::test;

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseHeadlessWindows();
    UseFakeClock(0);
    Phase = 0.0f;
    PhaseStep = 0.46f;
    FrameCount = 0;
    FramesPerSecond = 0;
    Bilinear = true;
    Feedback = false;
    HelpLinesDone = false;
    PictureIndex = 0;
    Message = {};
    StartUp();
  }

  void TearDown() override {
    // Our procedure would end the process on WM_DESTROY; give the window
    // back to the default one and free what start-up made by hand.
    if (WindowHandle != nullptr) {
      SetWindowLongPtrA(WindowHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
      KillTimer(WindowHandle, 0);
      ReleaseDC(WindowHandle, WindowDC);
    }
    ResetWindows();
    delete PictureDib;
    delete WindowDib;
    delete FeedbackDib;
    PictureDib = WindowDib = FeedbackDib = nullptr;
    WindowHandle = nullptr;
    WindowDC = nullptr;
    lumo::test::ClearModuleNameMappings();
  }

  static bool TablesMatchPicture() {
    return WrapWidth == PictureDib->Header.biWidth && WrapHeight == PictureDib->RowCount &&
           WrapX[PictureDib->Header.biWidth - 1] == 0 && WrapY[PictureDib->RowCount - 1] == 0;
  }

  void Key(int Vk) {
    InjectKey(WindowHandle, Vk, true);
    InjectKey(WindowHandle, Vk, false);
    DispatchPending();
  }
};

TEST_F(ShellTest, StartsWithPictureZeroInA768By536Window) {
  ASSERT_NE(WindowHandle, nullptr);
  const WindowState State = GetWindowState(WindowHandle);
  EXPECT_TRUE(State.visible);
  EXPECT_TRUE(State.resizable);
  EXPECT_EQ(State.title, "twistview - tovak");
  EXPECT_EQ(WindowDib->Header.biWidth, 768);
  EXPECT_EQ(WindowDib->Header.biHeight, 536);
  EXPECT_EQ(WindowDib->Header.biBitCount, 8);
  EXPECT_EQ(PictureIndex, 0);
  ASSERT_NE(PictureDib, nullptr);
  EXPECT_EQ(PictureDib->Header.biWidth, 472);
  EXPECT_EQ(PictureDib->RowCount, 585);
  EXPECT_EQ(PictureDib->Header.biBitCount, 8);
  EXPECT_TRUE(TablesMatchPicture());
  EXPECT_TRUE(Bilinear);
  EXPECT_FALSE(Feedback);
  EXPECT_EQ(FramesPerSecond, 0);
  EXPECT_EQ(PhaseStep, 0.46f);
  // The window palette: black, the blue-green key in the middle, white.
  for (TLumoDIB* Dib : {WindowDib, FeedbackDib}) {
    EXPECT_EQ(Dib->Palette[0].rgbRed + Dib->Palette[0].rgbGreen + Dib->Palette[0].rgbBlue, 0);
    EXPECT_EQ(Dib->Palette[128].rgbGreen, 100);
    EXPECT_EQ(Dib->Palette[128].rgbBlue, 128);
    EXPECT_EQ(Dib->Palette[255].rgbRed, 255);
  }
  EXPECT_EQ(FeedbackDib->Pixels, nullptr);  // unsized until feedback is on
}

TEST_F(ShellTest, KeysAlternateThePicturesAndTheTablesFollow) {
  Key('A');
  EXPECT_EQ(PictureIndex, 1);
  EXPECT_EQ(PictureDib->Header.biWidth, 503);
  EXPECT_EQ(PictureDib->RowCount, 525);
  EXPECT_TRUE(TablesMatchPicture());
  Key(VK_SPACE);
  EXPECT_EQ(PictureIndex, 0);
  EXPECT_EQ(PictureDib->Header.biWidth, 472);
  EXPECT_TRUE(TablesMatchPicture());
  // Auto-repeat is another key press.
  InjectKey(WindowHandle, 'B', true);
  InjectKey(WindowHandle, 'B', true, true);
  DispatchPending();
  EXPECT_EQ(PictureIndex, 0);
  EXPECT_TRUE(TablesMatchPicture());
}

TEST_F(ShellTest, AFailedSwitchKeepsThePictureShown) {
  TLumoDIB* Shown = PictureDib;
  const uint8_t Corner = Shown->Rows8[10][10];
  // Without the codec module no picture can be decoded.
  ResetGPlusBinding();
  lumo::test::MapModuleName("GdiPlus.dll", nullptr);
  Key('A');
  EXPECT_EQ(PictureDib, Shown);
  EXPECT_EQ(PictureIndex, 0);
  EXPECT_EQ(PictureDib->Rows8[10][10], Corner);
  EXPECT_TRUE(TablesMatchPicture());
  RenderFrame();  // and frames still sample it
  lumo::test::ClearModuleNameMappings();
  ResetGPlusBinding();
  Key('A');
  EXPECT_EQ(PictureIndex, 1);
}

TEST_F(ShellTest, EscapeQuitsTheLoop) {
  DispatchPending();
  InjectKey(WindowHandle, VK_ESCAPE, true);
  const int FramesBefore = FrameCount;
  RunMessageLoop();  // returns once WM_QUIT has been retrieved
  EXPECT_EQ(Message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(Message.wParam, 0u);
  EXPECT_EQ(PictureIndex, 0);  // Escape is no picture switch
  // The quit follows the key at once, without a frame between, and the
  // window and its surfaces are left to the normal termination.
  EXPECT_EQ(FrameCount, FramesBefore);
  EXPECT_TRUE(IsWindow(WindowHandle));
  EXPECT_NE(WindowDib, nullptr);
}

TEST_F(ShellTest, TheLoopRendersWhileIdle) {
  int Idle = 0;
  SetIdleHook([&] {
    if (++Idle == 5) InjectKey(WindowHandle, VK_ESCAPE, true);
  });
  RunMessageLoop();
  SetIdleHook({});
  EXPECT_GE(FrameCount, 4);
  EXPECT_GT(Phase, 0.0f);
  EXPECT_GT(PresentCount(WindowHandle), 0);
}

TEST_F(ShellTest, FivePrintedLinesBefore1000ThenOnlyTheCounter) {
  Phase = 999.0f;
  PhaseStep = 0.5f;
  FramesPerSecond = 42;
  ResetGdiCallCounts();
  RenderFrame();  // 999.5
  EXPECT_EQ(GetGdiCallCounts().textOut, 5);
  EXPECT_EQ(GetGdiCallCounts().lastTextLength, 2);  // the counter comes last
  EXPECT_EQ(GetGdiCallCounts().bitBlt, 1);
  ResetGdiCallCounts();
  RenderFrame();  // 1000.0
  EXPECT_EQ(GetGdiCallCounts().textOut, 1);
  EXPECT_EQ(GetGdiCallCounts().lastTextLength, 2);
}

TEST_F(ShellTest, TimerSetsTheCounterAndTheSpeed) {
  FrameCount = 140;
  AdvanceClock(1000);
  DispatchPending();
  EXPECT_EQ(FramesPerSecond, 140);
  EXPECT_EQ(PhaseStep, 0.5f);
  EXPECT_EQ(FrameCount, 0);
  AdvanceClock(1000);  // a second without frames
  DispatchPending();
  EXPECT_EQ(FramesPerSecond, 0);
  EXPECT_EQ(PhaseStep, 0.46f);
}

TEST_F(ShellTest, ClicksToggleFilterAndFeedback) {
  InjectMouseButton(WindowHandle, MK_LBUTTON, true, 10, 10);
  InjectMouseButton(WindowHandle, MK_LBUTTON, false, 10, 10);
  DispatchPending();
  EXPECT_FALSE(Bilinear);

  // Before the feedback surface has pixels the right click only toggles.
  InjectMouseButton(WindowHandle, MK_RBUTTON, true, 10, 10);
  InjectMouseButton(WindowHandle, MK_RBUTTON, false, 10, 10);
  DispatchPending();
  EXPECT_TRUE(Feedback);
  RenderFrame();
  ASSERT_NE(FeedbackDib->Pixels, nullptr);
  std::memset(FeedbackDib->Pixels, 0x55, FeedbackDib->Header.biSizeImage);

  AdvanceClock(1000);  // no double click
  InjectMouseButton(WindowHandle, MK_RBUTTON, true, 20, 20);
  InjectMouseButton(WindowHandle, MK_RBUTTON, false, 20, 20);
  DispatchPending();
  EXPECT_FALSE(Feedback);
  for (uint32_t I = 0; I < FeedbackDib->Header.biSizeImage; ++I) {
    ASSERT_EQ(FeedbackDib->Pixels[I], 0) << I;
  }
}

TEST_F(ShellTest, ResizeAndMinimise) {
  ResizeClient(WindowHandle, 300, 200);
  DispatchPending();
  EXPECT_EQ(WindowDib->Header.biWidth, 300);
  EXPECT_EQ(WindowDib->Header.biHeight, 200);
  EXPECT_NE(WindowDib->FontHandle, nullptr);  // the font is selected again
  // and the text is transparent again: an opaque cell would be filled with
  // the entry nearest to white.
  WindowDib->ClearTo(128);
  WindowDib->PrintText(5, 0, "88");
  int Inked = 0;
  for (int Y = 0; Y < 15; ++Y) {
    for (int X = 0; X < 40; ++X) {
      const uint8_t Index = WindowDib->Rows8[WindowDib->RowCount - 1 - Y][X];
      ASSERT_TRUE(Index == 128 || Index == 0) << X << "," << Y << " is " << int{Index};
      Inked += Index == 0;
    }
  }
  EXPECT_GT(Inked, 0);

  Minimise(WindowHandle);
  DispatchPending();
  EXPECT_EQ(WindowDib->RowCount, 0);
  const int Frames = FrameCount;
  RenderFrame();  // no pixels to work on
  EXPECT_EQ(FrameCount, Frames + 1);

  Restore(WindowHandle);
  DispatchPending();
  EXPECT_EQ(WindowDib->Header.biWidth, 300);
  EXPECT_EQ(WindowDib->RowCount, 200);
}

TEST_F(ShellTest, PaintCopiesTheWindowSurfaceAlsoInFeedbackMode) {
  Feedback = true;
  RenderFrame();
  std::memset(WindowDib->Pixels, 255, WindowDib->Header.biSizeImage);  // white
  std::memset(FeedbackDib->Pixels, 0, FeedbackDib->Header.biSizeImage);
  Expose(WindowHandle);
  DispatchPending();
  int Width = 0, Height = 0;
  const uint32_t* Pixels = WindowPixels(WindowHandle, &Width, &Height);
  ASSERT_NE(Pixels, nullptr);
  ASSERT_GT(Width * Height, 0);
  EXPECT_EQ(Pixels[0] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(Pixels[Width * Height / 2] & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(ShellTest, FeedbackFramesShowTheFeedbackSurface) {
  Feedback = true;
  RenderFrame();
  int Width = 0, Height = 0;
  const uint32_t* Pixels = WindowPixels(WindowHandle, &Width, &Height);
  ASSERT_NE(Pixels, nullptr);
  ASSERT_GE(Height, 200);
  int Differ = 0;
  for (int Y = 100; Y < 200; ++Y) {
    for (int X = 0; X < 300; ++X) {
      const uint8_t Shown = FeedbackDib->Rows8[FeedbackDib->RowCount - 1 - Y][X];
      const RGBQUAD& Q = FeedbackDib->Palette[Shown];
      ASSERT_EQ(Pixels[Y * Width + X] & 0xFFFFFF, uint32_t(Q.rgbRed << 16 | Q.rgbGreen << 8 | Q.rgbBlue))
          << X << "," << Y;
      Differ += Shown != WindowDib->Rows8[WindowDib->RowCount - 1 - Y][X];
    }
  }
  EXPECT_GT(Differ, 0) << "the feedback surface is the average, not the frame itself";
}

TEST_F(ShellTest, OtherMessagesGoToTheDefaultProcedure) {
  // WM_SYSKEYDOWN is no picture switch.
  WndProc(WindowHandle, WM_SYSKEYDOWN, 'A', 0);
  EXPECT_EQ(PictureIndex, 0);
  // Only the default procedure answers these: erasing reports 1, and the
  // system menu's minimise reaches the window as a resize to nothing.
  EXPECT_EQ(WndProc(WindowHandle, WM_ERASEBKGND, 0, 0), 1);
  WndProc(WindowHandle, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  DispatchPending();
  EXPECT_EQ(WindowDib->RowCount, 0);
}

using ShellDeathTest = ShellTest;

TEST_F(ShellDeathTest, ClosingTheWindowEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Close(WindowHandle);
        DispatchPending();
        std::exit(3);  // not reached: WM_DESTROY ends the process
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
