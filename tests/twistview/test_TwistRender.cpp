// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "TwistRender.h"

namespace {

std::unique_ptr<TLumoDIB> PlainSurface(int Width, int Height, int Bpp = 8) {
  auto Dib = std::make_unique<TLumoDIB>();
  Dib->UseSection = false;
  Dib->Allocate(Width, Height, static_cast<uint8_t>(Bpp));
  return Dib;
}

std::unique_ptr<TLumoDIB> RandomPicture(int Width, int Height, uint32_t Seed) {
  auto Dib = PlainSurface(Width, Height);
  std::mt19937 Random(Seed);
  for (uint32_t I = 0; I < Dib->Header.biSizeImage; ++I) {
    Dib->Pixels[I] = static_cast<uint8_t>(Random());
  }
  return Dib;
}

int64_t FloorDiv(int64_t A, int64_t B) { return A >= 0 ? A / B : -((-A + B - 1) / B); }

// The sample at one window pixel from the closed form of the mapping, with
// the wrap as a modulo and the filter with exact floors: independent of the
// incremental walk and the bit tricks of the renderer.
uint8_t ClosedFormSample(int W, int H, const TLumoDIB& Picture, int32_t A, int32_t B, bool Filter, int X, int Y) {
  const int64_t SW = Picture.Header.biWidth, SH = Picture.RowCount;
  const int64_t HalfW = W / 2, HalfH = H / 2;
  const int64_t OffX = (SW - W) * 32768, OffY = (SH - H) * 32768;
  const int64_t U64 = 65536 * HalfW + int64_t{B} * (X - HalfW) - int64_t{A} * (Y - HalfH) + OffX;
  const int64_t V64 = 65536 * HalfH + int64_t{A} * (X - HalfW) + int64_t{B} * (Y - HalfH) + OffY;
  const uint32_t U = static_cast<uint32_t>(U64), V = static_cast<uint32_t>(V64);
  auto Wrap = [](int64_t I, int64_t Size) -> int64_t {
    if (I < 0) return Size - 2 - (-I) % (Size - 1);
    if (I > Size - 2) return I % (Size - 1);
    return I;
  };
  const int64_t L = Wrap(static_cast<int16_t>(U >> 16), SW);
  const int64_t M = Wrap(static_cast<int16_t>(V >> 16), SH);
  auto At = [&](int64_t Row, int64_t Column) -> int64_t { return Picture.Rows8[Row][Column]; };
  if (!Filter) return static_cast<uint8_t>(At(M, L));
  const int64_t Fx = U & 0xFFFF, Fy = V & 0xFFFF;
  const int64_t Top = At(M, L) + FloorDiv((At(M, L + 1) - At(M, L)) * Fx, 65536);
  const int64_t Bottom = At(M + 1, L) + FloorDiv((At(M + 1, L + 1) - At(M + 1, L)) * Fx, 65536);
  return static_cast<uint8_t>(Top + FloorDiv((Bottom - Top) * Fy, 65536));
}

// Points PictureDib at a test picture and builds its tables; the program's
// globals are put back afterwards.
class FrameStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PictureDib = nullptr;
    WindowDib = nullptr;
    FeedbackDib = nullptr;
    WindowDC = nullptr;
    Phase = 0.0f;
    PhaseStep = 0.46f;
    FrameCount = 0;
    FramesPerSecond = 0;
    Bilinear = true;
    Feedback = false;
    HelpLinesDone = false;
  }
  void TearDown() override {
    PictureDib = WindowDib = FeedbackDib = nullptr;
    BuildWrapTables();
  }
  void UsePicture(TLumoDIB* Picture) {
    PictureDib = Picture;
    BuildWrapTables();
  }
};

// ------------------------------------------------------------ coefficients

TEST(Coefficients, AtTheKnownPhases) {
  EXPECT_EQ(Coefficients(0.0f).A, 9248);
  EXPECT_EQ(Coefficients(0.0f).B, 65536);
  EXPECT_EQ(Coefficients(0.46f).A, 9251);  // the first frame after start-up
  EXPECT_EQ(Coefficients(0.46f).B, 65531);
  EXPECT_EQ(Coefficients(1000.0f).A, 22216);
  EXPECT_EQ(Coefficients(1000.0f).B, -59925);
}

// The formula in plain double precision, over the whole range the phase
// takes: a wrong divisor, a swapped sine and cosine or a lost sign shows.
TEST(Coefficients, FollowTheFormulaOverTheWholePhaseRange) {
  for (float P = 0.0f; P < PhaseBound; P += 0.73f) {
    const TCoefficients C = Coefficients(P);
    const double A = 65536.0 * std::sin(3.0 * std::cos(double{P} / 90.0));
    const double B = 65536.0 * std::cos(10.0 * std::sin(double{P} / 360.0));
    ASSERT_NEAR(C.A, A, 0.5 + 1e-6) << P;
    ASSERT_NEAR(C.B, B, 0.5 + 1e-6) << P;
  }
}

// ------------------------------------------------------------------ phase

TEST(Phase, BelowTheBoundItIsThePlainFloatSum) {
  float P = 0.0f;
  for (int I = 0; I < 20000 && P + 0.46f < PhaseBound; ++I) {
    volatile float Sum = P + 0.46f;
    const float Next = AdvancePhase(P, 0.46f);
    ASSERT_EQ(Next, Sum);
    P = Next;
  }
}

TEST(Phase, IsTakenBackByAWholePeriodAtTheBound) {
  const float Before = std::nextafter(PhaseBound, 0.0f);
  const float After = AdvancePhase(Before, 0.5f);
  EXPECT_NEAR(static_cast<double>(After), static_cast<double>(Before) + 0.5 - 720.0 * std::numbers::pi, 1e-3);
  EXPECT_GE(After, 1000.0f);  // the help lines stay off
  // The picture does not jump: the coefficients agree up to rounding.
  const TCoefficients Expected = Coefficients(Before + 0.5f);
  const TCoefficients Got = Coefficients(After);
  EXPECT_LE(std::abs(Got.A - Expected.A), 2);
  EXPECT_LE(std::abs(Got.B - Expected.B), 2);
}

TEST(Phase, KeepsMovingAfterDaysOfFrames) {
  // Ten million frames at 0.46 per frame: a plain float would stop growing
  // at 2^23 and lose most of each step long before.
  float P = 0.0f;
  for (int I = 0; I < 10000000; ++I) {
    const float Next = AdvancePhase(P, 0.46f);
    ASSERT_NE(Next, P) << "frozen at frame " << I;
    ASSERT_LT(Next, PhaseBound);
    if (P >= 1000.0f) {
      ASSERT_GE(Next, 1000.0f);
    }
    // Each step moves by 0.46 up to rounding, or back by a whole period.
    const double Step = static_cast<double>(Next) - static_cast<double>(P);
    ASSERT_TRUE(std::abs(Step - 0.46) < 1e-3 || std::abs(Step + 720.0 * std::numbers::pi - 0.46) < 1e-3) << Step;
    P = Next;
  }
}

// ------------------------------------------------------------- wrapping

TEST_F(FrameStateTest, WrapTablesAreTheRemaindersOfSizeMinusOne) {
  auto Picture = PlainSurface(10, 7);
  UsePicture(Picture.get());
  EXPECT_EQ(WrapWidth, 10);
  EXPECT_EQ(WrapHeight, 7);
  for (int32_t I = 0; I < WrapTableSize; ++I) {
    ASSERT_EQ(WrapX[I], I % 9) << I;
    ASSERT_EQ(WrapY[I], I % 6) << I;
  }
}

TEST_F(FrameStateTest, WrapCoordinateCases) {
  auto Picture = PlainSurface(472, 585);
  UsePicture(Picture.get());
  for (auto [Size, Table] : {std::pair{472, WrapX}, std::pair{585, WrapY}}) {
    EXPECT_EQ(WrapCoordinate(Size - 2, Size, Table), Size - 2);
    EXPECT_EQ(WrapCoordinate(Size - 1, Size, Table), 0);
    EXPECT_EQ(WrapCoordinate(Size, Size, Table), 1);
    EXPECT_EQ(WrapCoordinate(-1, Size, Table), Size - 3);
    EXPECT_EQ(WrapCoordinate(-(Size - 1), Size, Table), Size - 2);
    EXPECT_EQ(WrapCoordinate(-(Size - 2), Size, Table), 0);
    EXPECT_EQ(WrapCoordinate(0, Size, Table), 0);
    // The extremes of a 16-bit integer part stay inside the picture.
    EXPECT_GE(WrapCoordinate(-32768, Size, Table), 0);
    EXPECT_LE(WrapCoordinate(32767, Size, Table), Size - 2);
  }
}

TEST_F(FrameStateTest, WithoutAUsablePictureTheTablesAreEmpty) {
  auto Tiny = PlainSurface(1, 5);
  auto Colour = PlainSurface(8, 8, 24);
  for (TLumoDIB* Picture : {static_cast<TLumoDIB*>(nullptr), Tiny.get(), Colour.get()}) {
    EXPECT_FALSE(IsUsablePicture(Picture));
    UsePicture(Picture);
    EXPECT_EQ(WrapWidth, 0);
    EXPECT_EQ(WrapHeight, 0);
    EXPECT_EQ(WrapX[WrapTableSize - 1], 0);
  }
  auto Smallest = PlainSurface(2, 2);
  EXPECT_TRUE(IsUsablePicture(Smallest.get()));
}

// --------------------------------------------------------------- sampling

TEST_F(FrameStateTest, UnitScaleOnAPictureOfTheWindowsSizeShowsThePicture) {
  // A = 0, B = 65536 maps window pixel (x, y) to picture pixel (x, y): the
  // offsets are 0 and every fraction is 0, so the filter changes nothing.
  // The last column and row wrap to 0.
  auto Picture = RandomPicture(40, 30, 3);
  UsePicture(Picture.get());
  for (bool Filter : {false, true}) {
    auto Window = PlainSurface(40, 30);
    RenderPixels(*Window, *Picture, WrapX, WrapY, 0, 65536, Filter);
    for (int Y = 0; Y < 30; ++Y) {
      for (int X = 0; X < 40; ++X) {
        const int SourceX = X == 39 ? 0 : X, SourceY = Y == 29 ? 0 : Y;
        ASSERT_EQ(Window->Rows8[Y][X], Picture->Rows8[SourceY][SourceX])
            << (Filter ? "bilinear" : "point") << " at " << X << "," << Y;
      }
    }
  }
}

TEST_F(FrameStateTest, BilinearWithZeroFractionsEqualsPoint) {
  // Integer steps (A and B multiples of 65536) keep every fraction at 0 when
  // window and picture sizes are even.
  auto Picture = RandomPicture(24, 18, 4);
  UsePicture(Picture.get());
  for (auto [A, B] : {std::pair{65536, 0}, std::pair{0, -65536}, std::pair{-65536, 0}}) {
    auto Point = PlainSurface(50, 36);
    auto Filtered = PlainSurface(50, 36);
    RenderPixels(*Point, *Picture, WrapX, WrapY, A, B, false);
    RenderPixels(*Filtered, *Picture, WrapX, WrapY, A, B, true);
    for (int Y = 0; Y < 36; ++Y) {
      ASSERT_EQ(std::memcmp(Point->Rows8[Y], Filtered->Rows8[Y], 50), 0) << "row " << Y << " A " << A << " B " << B;
    }
  }
}

TEST_F(FrameStateTest, EveryPixelMatchesTheClosedForm) {
  // Odd and even sizes, a window larger and smaller than the picture, and
  // coefficients from the whole range of the animation.
  struct Case {
    int W, H, SW, SH;
  };
  for (const Case& C : {Case{64, 48, 37, 29}, Case{31, 17, 60, 70}, Case{20, 20, 2, 2}, Case{45, 33, 472, 585}}) {
    auto Picture = RandomPicture(C.SW, C.SH, static_cast<uint32_t>(C.W * 7 + C.SH));
    UsePicture(Picture.get());
    for (float P : {0.46f, 123.0f, 555.5f, 1000.0f, 2345.0f, 4000.0f}) {
      const TCoefficients K = Coefficients(P);
      for (bool Filter : {false, true}) {
        auto Window = PlainSurface(C.W, C.H);
        RenderPixels(*Window, *Picture, WrapX, WrapY, K.A, K.B, Filter);
        for (int Y = 0; Y < C.H; ++Y) {
          for (int X = 0; X < C.W; ++X) {
            ASSERT_EQ(Window->Rows8[Y][X], ClosedFormSample(C.W, C.H, *Picture, K.A, K.B, Filter, X, Y))
                << C.W << "x" << C.H << " on " << C.SW << "x" << C.SH << ", phase " << P << ", "
                << (Filter ? "bilinear" : "point") << " at " << X << "," << Y;
          }
        }
      }
    }
  }
}

TEST_F(FrameStateTest, BilinearFloorsTowardMinusInfinity) {
  // A 2 x 2 picture and a quarter-pixel offset: every step of the filter
  // goes from a high value to a lower one, where truncation would differ.
  auto Picture = PlainSurface(2, 2);
  Picture->Rows8[0][0] = 10;
  Picture->Rows8[0][1] = 0;
  Picture->Rows8[1][0] = 3;
  Picture->Rows8[1][1] = 0;
  UsePicture(Picture.get());
  // Window 1 x 1: u = offX = (2 - 1) * 32768 and the same for v, so the
  // position is (0.5, 0.5): pixel (0, 0) with both fractions one half.
  auto Window = PlainSurface(1, 1);
  RenderPixels(*Window, *Picture, WrapX, WrapY, 0, 65536, true);
  // top = 10 + floor(-10 / 2) = 5; bottom = 3 + floor(-3 / 2) = 1;
  // sample = 5 + floor((1 - 5) / 2) = 3.
  EXPECT_EQ(Window->Rows8[0][0], ClosedFormSample(1, 1, *Picture, 0, 65536, true, 0, 0));
  EXPECT_EQ(Window->Rows8[0][0], 3);
}

// ------------------------------------------------------------- overlay

// ------------------------------------------------------------ whole frames

class FrameTest : public FrameStateTest {
 protected:
  void SetUp() override {
    FrameStateTest::SetUp();
    Picture = RandomPicture(64, 48, 9);
    Window = std::make_unique<TLumoDIB>();
    Window->Allocate(40, 100, 8);
    FeedbackSurface = std::make_unique<TLumoDIB>();
    WindowDib = Window.get();
    FeedbackDib = FeedbackSurface.get();
    UsePicture(Picture.get());
  }
  std::unique_ptr<TLumoDIB> Picture, Window, FeedbackSurface;
};

TEST_F(FrameTest, HelpLinesGoOffAtPhase1000ForGood) {
  Phase = 999.0f;
  PhaseStep = 0.5f;
  RenderFrame();
  EXPECT_FALSE(HelpLinesDone);  // 999.5
  RenderFrame();
  EXPECT_TRUE(HelpLinesDone);  // 1000.0
  // Taken back below 1000 by hand: the lines stay off.
  Phase = 10.0f;
  RenderFrame();
  EXPECT_TRUE(HelpLinesDone);
  EXPECT_EQ(FrameCount, 3);
}

TEST_F(FrameTest, FirstFrameAdvancesThePhaseAndSamplesThePicture) {
  RenderFrame();
  EXPECT_EQ(Phase, 0.46f);
  auto Expected = PlainSurface(40, 100);
  RenderPixels(*Expected, *Picture, WrapX, WrapY, 9251, 65531, true);
  // The overlay covers the top rows on screen, the end of the bottom-up row
  // table; the rows below the text are the pure sample.
  for (int Y = 0; Y < 20; ++Y) {
    ASSERT_EQ(std::memcmp(Window->Rows8[Y], Expected->Rows8[Y], 40), 0) << "row " << Y;
  }
}

TEST_F(FrameTest, FeedbackStartsAtHalfAndConverges) {
  PhaseStep = 0.0f;  // the same frame every time
  Feedback = true;
  RenderFrame();
  ASSERT_EQ(FeedbackSurface->Header.biWidth, 40);
  ASSERT_EQ(FeedbackSurface->RowCount, 100);
  for (int Y = 0; Y < 100; ++Y) {
    for (int X = 0; X < 40; ++X) {
      ASSERT_EQ(FeedbackSurface->Rows8[Y][X], Window->Rows8[Y][X] / 2) << X << "," << Y;
    }
  }
  for (int I = 0; I < 8; ++I) RenderFrame();
  for (int Y = 0; Y < 100; ++Y) {
    for (int X = 0; X < 40; ++X) {
      const int Gap = Window->Rows8[Y][X] - FeedbackSurface->Rows8[Y][X];
      ASSERT_TRUE(Gap == 0 || Gap == 1) << X << "," << Y << " gap " << Gap;
    }
  }
}

TEST_F(FrameTest, WithoutFeedbackTheFeedbackSurfaceIsLeftAlone) {
  RenderFrame();
  EXPECT_EQ(FeedbackSurface->Pixels, nullptr);
  EXPECT_EQ(FeedbackSurface->RowCount, 0);
}

TEST_F(FrameTest, NoUsablePictureShowsTheClearedSurface) {
  auto Tiny = PlainSurface(1, 1);
  for (TLumoDIB* Bad : {static_cast<TLumoDIB*>(nullptr), Tiny.get()}) {
    UsePicture(Bad);
    std::memset(Window->Pixels, 7, Window->Header.biSizeImage);
    RenderFrame();
    // Rows below the text are uniformly the blue-green middle of the ramp.
    for (int Y = 0; Y < 10; ++Y) {
      for (int X = 0; X < 40; ++X) ASSERT_EQ(Window->Rows8[Y][X], 128);
    }
  }
}

TEST_F(FrameTest, TablesOfAnotherPictureAreNotUsed) {
  // A picture swapped in without rebuilding the tables would be read with
  // the old picture's wrap: the frame shows no picture instead.
  auto Small = RandomPicture(4, 4, 1);
  PictureDib = Small.get();
  RenderFrame();
  for (int X = 0; X < 40; ++X) ASSERT_EQ(Window->Rows8[0][X], 128);
  BuildWrapTables();
  RenderFrame();
  bool Sampled = false;
  for (int X = 0; X < 40; ++X) Sampled |= Window->Rows8[0][X] != 128;
  EXPECT_TRUE(Sampled);
}

// The text lands in the frame's pixels: black (entry 0 of the window palette)
// on the surface cleared for want of a picture, five lines 15 rows apart
// while the help shows, then the counter alone in the top line.
TEST_F(FrameTest, HelpLinesThenTheCounterLandInTheirBands) {
  UsePicture(nullptr);
  Window->RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(0, 100, 128), MakeColour(255, 255, 255)});
  Window->SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
  Window->TransparentText(true);
  auto InkedBands = [&] {
    std::vector<int> Bands;
    for (int Line = 0; Line * 15 < 100; ++Line) {
      bool Inked = false;
      for (int Y = Line * 15; Y < Line * 15 + 15 && Y < 100; ++Y) {
        for (int X = 0; X < 40; ++X) Inked |= Window->Rows8[Window->RowCount - 1 - Y][X] == 0;
      }
      if (Inked) Bands.push_back(Line);
    }
    return Bands;
  };
  FramesPerSecond = 7;
  RenderFrame();
  EXPECT_EQ(InkedBands(), std::vector<int>({0, 1, 2, 3, 4}));
  Phase = 1000.0f;
  RenderFrame();
  EXPECT_EQ(InkedBands(), std::vector<int>({0}));
}

// The bilinear filter's paired copy of the picture is built once per
// picture, not per frame, and never for a window without pixels.
TEST_F(FrameTest, ThePairedCopyIsBuiltOncePerPicture) {
  const int32_t Before = PairedPictureBuilds;
  RenderFrame();
  RenderFrame();
  Bilinear = false;
  RenderFrame();
  Bilinear = true;
  RenderFrame();
  EXPECT_EQ(PairedPictureBuilds, Before + 1);
  UsePicture(Picture.get());  // the program's sign of a new picture
  Window->Allocate(0, 0, 8);
  RenderFrame();
  EXPECT_EQ(PairedPictureBuilds, Before + 1);
  Window->Allocate(40, 100, 8);
  RenderFrame();
  EXPECT_EQ(PairedPictureBuilds, Before + 2);
  auto Expected = PlainSurface(40, 100);
  const TCoefficients C = Coefficients(Phase);
  RenderPixels(*Expected, *Picture, WrapX, WrapY, C.A, C.B, true);
  for (int Y = 0; Y < 20; ++Y) {
    ASSERT_EQ(std::memcmp(Window->Rows8[Y], Expected->Rows8[Y], 40), 0) << "row " << Y;
  }
}

TEST_F(FrameTest, ZeroSizedWindowDoesNoPixelWork) {
  Window->Allocate(0, 0, 8);
  Feedback = true;
  RenderFrame();
  RenderFrame();
  EXPECT_EQ(FrameCount, 2);
  EXPECT_EQ(FeedbackSurface->RowCount, 0);
}

// ------------------------------------------------------------------ tick

TEST_F(FrameStateTest, TickSetsTheSpeedFromTheFramesOfTheLastSecond) {
  FrameCount = 140;
  TickSecond();
  EXPECT_EQ(FramesPerSecond, 140);
  EXPECT_EQ(PhaseStep, 0.5f);
  EXPECT_EQ(FrameCount, 0);

  TickSecond();  // a second without frames
  EXPECT_EQ(FramesPerSecond, 0);
  EXPECT_EQ(PhaseStep, 0.46f);

  FrameCount = 3;
  TickSecond();
  EXPECT_EQ(PhaseStep, static_cast<float>(70.0 / 3.0));
}

}  // namespace
