// SPDX-License-Identifier: MIT
// Copies to a device context and text drawn into the pixels, through real
// GDI calls (Wine's under Windows builds, the native layer otherwise).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "LumoDIB.h"

namespace {

const TColourBGR Lime = MakeColour(0, 255, 0);
constexpr uint8_t LimeIndex = 7;
constexpr uint8_t WhiteIndex = 200;

uint32_t PixelAt(const TLumoDIB& Target, int X, int Y) {
  uint32_t P;
  std::memcpy(&P, Target.Rows[Y] + 4 * X, 4);
  return P & 0xFFFFFF;
}

// A 32-bit top-down target whose row y is display line y.
void MakeTarget(TLumoDIB& Target, int W, int H) {
  ASSERT_TRUE(Target.Allocate(W, -H, 32));
  Target.ClearTo(0x00123456);
}

void CheckCopyOrientation(bool TopDown, bool Section) {
  SCOPED_TRACE(testing::Message() << (TopDown ? "top-down" : "bottom-up") << (Section ? " section" : " plain"));
  TLumoDIB Source;
  Source.UseSection = Section;
  Source.Palette[1] = RGBQUAD{0, 0, 255, 0};  // red
  Source.Palette[2] = RGBQUAD{255, 0, 0, 0};  // blue
  ASSERT_TRUE(Source.Allocate(3, TopDown ? -2 : 2, 8));
  std::memset(Source.Rows8[0], 1, 3);  // first row in memory
  std::memset(Source.Rows8[1], 2, 3);
  TLumoDIB Target;
  MakeTarget(Target, 5, 4);
  Source.DrawTo(Target.MemDC, 1, 1);
  const uint32_t FirstRowColour = 0xFF0000, SecondRowColour = 0x0000FF;
  const uint32_t Top = TopDown ? FirstRowColour : SecondRowColour;
  const uint32_t Below = TopDown ? SecondRowColour : FirstRowColour;
  for (int x = 0; x < 5; ++x) {
    const bool Inside = x >= 1 && x <= 3;
    EXPECT_EQ(PixelAt(Target, x, 0), 0x123456u) << x;
    EXPECT_EQ(PixelAt(Target, x, 1), Inside ? Top : 0x123456u) << x;
    EXPECT_EQ(PixelAt(Target, x, 2), Inside ? Below : 0x123456u) << x;
    EXPECT_EQ(PixelAt(Target, x, 3), 0x123456u) << x;
  }
}

TEST(DrawTo, RowOrderFollowsTheHeightSign) {
  CheckCopyOrientation(true, true);
  CheckCopyOrientation(false, true);
  CheckCopyOrientation(true, false);
  CheckCopyOrientation(false, false);
}

TEST(DrawTo, TwentyFourBitPlainMemory) {
  TLumoDIB Source;
  Source.UseSection = false;
  ASSERT_TRUE(Source.Allocate(3, -1, 24));
  Source.ClearTo(0x00A0B0C0);
  TLumoDIB Target;
  MakeTarget(Target, 3, 1);
  Source.DrawTo(Target.MemDC, 0, 0);
  EXPECT_EQ(PixelAt(Target, 2, 0), 0xA0B0C0u);
}

TEST(DrawTo, EmptySurfaceDrawsNothing) {
  TLumoDIB Source;
  TLumoDIB Target;
  MakeTarget(Target, 2, 2);
  Source.DrawTo(Target.MemDC, 0, 0);
  ASSERT_TRUE(Source.Allocate(0, 0, 8));
  Source.DrawTo(Target.MemDC, 0, 0);
  EXPECT_EQ(PixelAt(Target, 0, 0), 0x123456u);
}

// Which display lines and columns hold a given palette index.
struct Box {
  int Count = 0, Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1, Other = 0;
};

Box Find(const TLumoDIB& D, uint8_t Index) {
  Box B;
  const int H = D.RowCount;
  for (int y = 0; y < H; ++y) {
    // Display line y is memory row y when top-down, H - 1 - y when bottom-up.
    const uint8_t* Row = D.Rows8[D.Header.biHeight < 0 ? y : H - 1 - y];
    for (int x = 0; x < D.Header.biWidth; ++x) {
      if (Row[x] == Index) {
        ++B.Count;
        B.Left = std::min(B.Left, x);
        B.Right = std::max(B.Right, x);
        B.Top = std::min(B.Top, y);
        B.Bottom = std::max(B.Bottom, y);
      } else if (Row[x] != 0) {
        ++B.Other;
      }
    }
  }
  return B;
}

void PrepareTextSurface(TLumoDIB& D, int Height) {
  D.Palette[LimeIndex] = RGBQUAD{0, 255, 0, 0};
  D.Palette[WhiteIndex] = RGBQUAD{255, 255, 255, 0};
  ASSERT_TRUE(D.Allocate(96, Height, 8));
  D.SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
  D.TextColour(ColourToRef(Lime));
}

void CheckDigitsInCell(int Height) {
  SCOPED_TRACE(Height < 0 ? "top-down" : "bottom-up");
  TLumoDIB D;
  PrepareTextSurface(D, Height);
  D.TransparentText(true);
  D.PrintText(10, 5, "0123");
  const Box B = Find(D, LimeIndex);
  EXPECT_GT(B.Count, 40) << "the digits reach the pixels";
  EXPECT_EQ(B.Other, 0) << "only the text colour's palette index is drawn";
  // The cell is 19 lines from y = 5, digits of about 7 pixels from x = 10.
  EXPECT_GE(B.Top, 5);
  EXPECT_LE(B.Bottom, 5 + 19 - 1);
  EXPECT_GE(B.Bottom - B.Top, 8) << "digits of a 19-line cell are tall";
  EXPECT_GE(B.Left, 10);
  EXPECT_LE(B.Right, 10 + 4 * 12);
  EXPECT_GE(B.Right - B.Left, 16) << "four digits side by side";
}

TEST(Text, DigitsLandInTheirPaletteIndexInsideTheCell) {
  CheckDigitsInCell(-40);
  CheckDigitsInCell(40);
}

TEST(Text, OpaqueBackgroundFillsTheCellWithTheNearestEntry) {
  TLumoDIB D;
  PrepareTextSurface(D, -40);
  D.PrintText(10, 5, "42");  // a new DC paints an opaque white box
  const Box Glyphs = Find(D, LimeIndex);
  const Box Cell = Find(D, WhiteIndex);
  EXPECT_GT(Glyphs.Count, 10);
  EXPECT_GT(Cell.Count, 50);
  EXPECT_EQ(Cell.Top, 5);
  EXPECT_EQ(Cell.Left, 10);
  EXPECT_LE(Cell.Bottom, 5 + 19 - 1);
  EXPECT_GE(Glyphs.Top, Cell.Top);
  EXPECT_LE(Glyphs.Right, Cell.Right + 1);
}

TEST(Text, FontChangesAndEmptyText) {
  TLumoDIB D;
  PrepareTextSurface(D, -40);
  const HFONT First = D.FontHandle;
  D.SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
  EXPECT_NE(D.FontHandle, nullptr);
  EXPECT_NE(D.FontHandle, First);
  D.TransparentText(true);
  D.PrintText(0, 0, "");
  EXPECT_EQ(Find(D, LimeIndex).Count, 0);
  // A face name longer than the 31 characters LOGFONTA holds still makes a
  // usable font instead of overrunning the structure.
  D.SelectFont(std::string(200, 'Q'), 7, 19, 800, 0, 0, 0);
  EXPECT_NE(D.FontHandle, nullptr);
  D.PrintText(2, 2, "8");
  EXPECT_GT(Find(D, LimeIndex).Count, 0);
}

TEST(Text, ReallocationResetsTheDeviceContext) {
  TLumoDIB D;
  PrepareTextSurface(D, -40);
  ASSERT_TRUE(D.Allocate(64, -30, 8));
  EXPECT_EQ(D.FontHandle, nullptr);
  D.TransparentText(true);
  D.PrintText(2, 2, "8");  // default text colour is black: index 0
  EXPECT_EQ(Find(D, LimeIndex).Count, 0);
}

}  // namespace
