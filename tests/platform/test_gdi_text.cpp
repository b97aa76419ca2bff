// SPDX-License-Identifier: MIT
// Text drawn through a memory DC lands in the section's own pixels, in the
// cell GDI places it, in palette entries chosen when it is drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "LumoPlatform.h"
#include "platform/GdiTestSupport.h"

using gdi_test::BitmapInfo256;
using gdi_test::MakeInfo;
using gdi_test::Section;

namespace {

constexpr int kLime = 77;
constexpr int kWhite = 255;

// Greys everywhere except a lime entry, so the nearest entries are known.
BitmapInfo256 GreyInfo(int width, int height) {
  BitmapInfo256 info = MakeInfo(width, height, 8);
  for (int i = 0; i < 256; ++i) {
    const BYTE v = static_cast<BYTE>(i);
    info.colours[i] = RGBQUAD{v, v, v, 0};
  }
  info.colours[kLime] = RGBQUAD{0, 255, 0, 0};
  return info;
}

HFONT MakeFont(const char* face, int width, int height, int weight) {
  LOGFONTA lf = {};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
  int count = 0;
  void Add(int x, int y) {
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
    ++count;
  }
};

Box Find(const Section& s, int value) {
  Box box;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x)
      if (s.line(y)[x] == value) box.Add(x, y);
  return box;
}

class DigitsInPaletteSection : public testing::TestWithParam<int> {};

TEST_P(DigitsInPaletteSection, LandInTheNearestEntryInsideTheCell) {
  const int height = GetParam();  // sign picks the row order
  BitmapInfo256 info = GreyInfo(120, height);
  Section s(info);
  ASSERT_TRUE(s.ok());
  HFONT font = MakeFont("Tahoma", 7, 19, 800);
  ASSERT_NE(font, nullptr);
  HGDIOBJ old = SelectObject(s.dc(), font);
  SetTextColor(s.dc(), RGB(40, 240, 30));  // nearest entry: lime
  ASSERT_TRUE(TextOutA(s.dc(), 10, 20, "1234", 4));

  const Box ink = Find(s, kLime);
  ASSERT_GT(ink.count, 20);
  // Inside the cell: 19 lines from y = 20, starting at x = 10, a few
  // characters of about 7 pixels wide.
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.left, 14);
  EXPECT_LE(ink.right, 10 + 4 * 14);
  EXPECT_GE(ink.top, 20);
  EXPECT_LE(ink.bottom, 20 + 19 - 1);
  EXPECT_GE(ink.bottom - ink.top, 8);  // digits are tall

  // The opaque background filled the cell with the nearest entry to white,
  // and nothing outside the cell changed.
  const Box background = Find(s, kWhite);
  EXPECT_EQ(background.left, 10);
  EXPECT_EQ(background.top, 20);
  EXPECT_EQ(background.bottom, 38);
  EXPECT_GE(background.right, ink.right);
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      const bool inCell = x >= 10 && x <= background.right && y >= 20 && y <= 38;
      if (!inCell) {
        ASSERT_EQ(s.line(y)[x], 0) << x << "," << y;
      } else {
        ASSERT_TRUE(s.line(y)[x] == kLime || s.line(y)[x] == kWhite) << x << "," << y;
      }
    }
  }
  SelectObject(s.dc(), old);
  DeleteObject(font);
}

INSTANTIATE_TEST_SUITE_P(BothRowOrders, DigitsInPaletteSection, testing::Values(60, -60));

TEST(TextInPaletteSection, UsesTheColourTableAsItIsWhenDrawing) {
  BitmapInfo256 info = GreyInfo(100, -40);
  Section s(info);
  ASSERT_TRUE(s.ok());
  HFONT font = MakeFont("Tahoma", 0, 16, 400);
  HGDIOBJ old = SelectObject(s.dc(), font);
  SetBkMode(s.dc(), TRANSPARENT);
  SetTextColor(s.dc(), RGB(0, 255, 0));
  ASSERT_TRUE(TextOutA(s.dc(), 0, 0, "88", 2));
  EXPECT_GT(Find(s, kLime).count, 0);

  // Move lime to entry 150; later text follows, earlier pixels stay.
  RGBQUAD entries[2] = {{128, 128, 128, 0}, {0, 255, 0, 0}};
  SetDIBColorTable(s.dc(), kLime, 1, &entries[0]);
  SetDIBColorTable(s.dc(), 150, 1, &entries[1]);
  ASSERT_TRUE(TextOutA(s.dc(), 50, 0, "88", 2));
  const Box moved = Find(s, 150);
  EXPECT_GT(moved.count, 0);
  EXPECT_GE(moved.left, 50);
  EXPECT_LT(Find(s, kLime).right, 50);
  SelectObject(s.dc(), old);
  DeleteObject(font);
}

TEST(TextInPaletteSection, TransparentModeLeavesTheBackground) {
  BitmapInfo256 info = GreyInfo(60, -30);
  Section s(info);
  ASSERT_TRUE(s.ok());
  std::memset(s.bits(), 9, static_cast<size_t>(s.stride()) * 30);
  HFONT font = MakeFont("Tahoma", 0, 16, 400);
  HGDIOBJ old = SelectObject(s.dc(), font);
  SetBkMode(s.dc(), TRANSPARENT);
  ASSERT_TRUE(TextOutA(s.dc(), 2, 2, "W", 1));
  int black = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      const int v = s.line(y)[x];
      ASSERT_TRUE(v == 0 || v == 9) << x << "," << y;  // default black text
      if (v == 0) ++black;
    }
  EXPECT_GT(black, 5);
  SelectObject(s.dc(), old);
  DeleteObject(font);
}

TEST(TextInDirectColourSection, DrawsInTheTextColour) {
  BitmapInfo256 info = MakeInfo(60, 30, 32);
  Section s(info);
  ASSERT_TRUE(s.ok());
  HFONT font = MakeFont("Tahoma", 0, 20, 700);
  HGDIOBJ old = SelectObject(s.dc(), font);
  SetBkMode(s.dc(), TRANSPARENT);
  SetTextColor(s.dc(), RGB(255, 0, 0));
  ASSERT_TRUE(TextOutA(s.dc(), 0, 0, "H", 1));
  int red = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      const COLORREF c = GetPixel(s.dc(), x, y);
      EXPECT_EQ(GetGValue(c), 0);
      EXPECT_EQ(GetBValue(c), 0);
      if (GetRValue(c) == 255) ++red;
    }
  EXPECT_GT(red, 10);
  SelectObject(s.dc(), old);
  DeleteObject(font);
}

TEST(TextOut, IsClippedToTheBitmap) {
  BitmapInfo256 info = GreyInfo(24, 20);
  Section s(info);
  ASSERT_TRUE(s.ok());
  HFONT font = MakeFont("Tahoma", 0, 19, 800);
  HGDIOBJ old = SelectObject(s.dc(), font);
  SetTextColor(s.dc(), RGB(0, 255, 0));
  // Cells hanging over every edge: only pixels inside change, none outside.
  EXPECT_TRUE(TextOutA(s.dc(), -6, -8, "88", 2));
  EXPECT_TRUE(TextOutA(s.dc(), 16, 10, "88", 2));
  EXPECT_TRUE(TextOutA(s.dc(), 1000, -1000, "8", 1));
  const Box ink = Find(s, kLime);
  EXPECT_GT(ink.count, 0);
  EXPECT_EQ(Find(s, kWhite).top, 0);
  EXPECT_EQ(Find(s, kWhite).right, 23);
  SelectObject(s.dc(), old);
  DeleteObject(font);
}

TEST(TextOut, ZeroLengthDrawsNothing) {
  BitmapInfo256 info = GreyInfo(20, 20);
  Section s(info);
  ASSERT_TRUE(s.ok());
  EXPECT_TRUE(TextOutA(s.dc(), 0, 0, "", 0));
  EXPECT_EQ(Find(s, 0).count, 400);
}

}  // namespace
