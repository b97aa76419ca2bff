// SPDX-License-Identifier: MIT
// Copies onto a window DC land in the window's pixels as 0x00RRGGBB, top
// row first, upright whatever the row order of the source.
#include <gtest/gtest.h>

#include <vector>

#include "LumoPlatform.h"
#include "platform/GdiTestSupport.h"
#include "seams/GdiSeams.h"

using gdi_test::BitmapInfo256;
using gdi_test::MakeInfo;
using gdi_test::Section;

namespace {

class WindowCopies : public testing::Test {
 protected:
  void SetUp() override {
    window_ = lumo::test::CreateOffscreenWindow(kWidth, kHeight);
    ASSERT_NE(window_, nullptr);
    dc_ = GetDC(window_);
    ASSERT_NE(dc_, nullptr);
  }
  void TearDown() override {
    ReleaseDC(window_, dc_);
    lumo::test::DestroyOffscreenWindow(window_);
  }
  uint32_t Pixel(int x, int y) const { return lumo::test::OffscreenWindowPixels(window_)[y * kWidth + x]; }

  static constexpr int kWidth = 8;
  static constexpr int kHeight = 6;
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// An 8-bit picture whose index at display (x, y) is 10 * y + x, through a
// palette whose entry i is 0x00(i)(255-i)(i/2) as RGB.
BitmapInfo256 RampInfo(int width, int height) {
  BitmapInfo256 info = MakeInfo(width, height, 8);
  for (int i = 0; i < 256; ++i)
    info.colours[i] = RGBQUAD{static_cast<BYTE>(i / 2), static_cast<BYTE>(255 - i), static_cast<BYTE>(i), 0};
  return info;
}
uint32_t RampColour(int index) {
  return (static_cast<uint32_t>(index) << 16) | (static_cast<uint32_t>(255 - index) << 8) |
         static_cast<uint32_t>(index / 2);
}

class BothRowOrders : public WindowCopies, public testing::WithParamInterface<int> {};

TEST_P(BothRowOrders, BitBltShowsThePictureUpright) {
  const int sign = GetParam();
  BitmapInfo256 info = RampInfo(4, sign * 3);
  Section s(info);
  ASSERT_TRUE(s.ok());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) s.line(y)[x] = static_cast<uint8_t>(10 * y + x);
  ASSERT_TRUE(BitBlt(dc_, 2, 1, 4, 3, s.dc(), 0, 0, SRCCOPY));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 1 && y < 4;
      EXPECT_EQ(Pixel(x, y), inside ? RampColour(10 * (y - 1) + (x - 2)) : 0u) << x << "," << y;
    }
  }
}

TEST_P(BothRowOrders, StretchDIBitsFromCallerMemoryShowsThePictureUpright) {
  const int sign = GetParam();
  BitmapInfo256 info = RampInfo(4, sign * 3);
  std::vector<uint8_t> memory(4 * 3);
  for (int row = 0; row < 3; ++row) {
    const int y = sign < 0 ? row : 2 - row;  // display line of this memory row
    for (int x = 0; x < 4; ++x) memory[row * 4 + x] = static_cast<uint8_t>(10 * y + x);
  }
  EXPECT_EQ(StretchDIBits(dc_, 0, 0, 4, 3, 0, 0, 4, 3, memory.data(), reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_RGB_COLORS, SRCCOPY),
            3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(x, y), RampColour(10 * y + x)) << x << "," << y;
}

// A copy of the window's whole size, from either row order.
TEST_P(BothRowOrders, AWholeWindowCopyShowsEveryRow) {
  const int sign = GetParam();
  BitmapInfo256 info = RampInfo(kWidth, sign * kHeight);
  Section s(info);
  ASSERT_TRUE(s.ok());
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) s.line(y)[x] = static_cast<uint8_t>(10 * y + x);
  ASSERT_TRUE(BitBlt(dc_, 0, 0, kWidth, kHeight, s.dc(), 0, 0, SRCCOPY));
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) EXPECT_EQ(Pixel(x, y), RampColour(10 * y + x)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Rows, BothRowOrders, testing::Values(1, -1));

TEST_F(WindowCopies, ClipsToTheWindow) {
  BitmapInfo256 info = RampInfo(20, -20);
  Section s(info);
  ASSERT_TRUE(s.ok());
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) s.line(y)[x] = static_cast<uint8_t>(10 * y + x);
  ASSERT_TRUE(BitBlt(dc_, -3, -2, 20, 20, s.dc(), 0, 0, SRCCOPY));
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) EXPECT_EQ(Pixel(x, y), RampColour(10 * (y + 2) + (x + 3)));
}

TEST_F(WindowCopies, OnlyTheChangedRectangleIsShown) {
  BitmapInfo256 info = RampInfo(20, -20);
  Section s(info);
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(BitBlt(dc_, 2, 1, 4, 3, s.dc(), 0, 0, SRCCOPY));
  RECT r = lumo::test::LastPresentedRect(window_);
  EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{2, 1, 6, 4}));
  ASSERT_TRUE(BitBlt(dc_, -3, 4, 20, 20, s.dc(), 0, 0, SRCCOPY));
  r = lumo::test::LastPresentedRect(window_);
  EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{0, 4, kWidth, kHeight}));
}

// The palette is made ready once per change: a new colour table, pushed to
// the section or passed with the bits, shows from the very next copy.
TEST_F(WindowCopies, ANewColourTableShowsFromTheNextCopy) {
  BitmapInfo256 info = RampInfo(4, -1);
  Section s(info);
  ASSERT_TRUE(s.ok());
  for (int x = 0; x < 4; ++x) s.line(0)[x] = static_cast<uint8_t>(x + 1);
  ASSERT_TRUE(BitBlt(dc_, 0, 0, 4, 1, s.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(2, 0), RampColour(3));
  const RGBQUAD red{0, 0, 255, 0};
  ASSERT_EQ(SetDIBColorTable(s.dc(), 3, 1, &red), 1u);
  ASSERT_TRUE(BitBlt(dc_, 0, 0, 4, 1, s.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(2, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(1, 0), RampColour(2));

  const uint8_t bits[4] = {1, 2, 3, 4};
  auto* header = reinterpret_cast<BITMAPINFO*>(&info);
  ASSERT_EQ(StretchDIBits(dc_, 0, 1, 4, 1, 0, 0, 4, 1, bits, header, DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(Pixel(2, 1), RampColour(3));
  info.colours[3] = red;
  ASSERT_EQ(StretchDIBits(dc_, 0, 1, 4, 1, 0, 0, 4, 1, bits, header, DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(Pixel(2, 1), 0xFF0000u);
  // Fewer colours than before: the entries past the count read as black.
  info.header.biClrUsed = 3;
  ASSERT_EQ(StretchDIBits(dc_, 0, 1, 4, 1, 0, 0, 4, 1, bits, header, DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(Pixel(1, 1), RampColour(2));
  EXPECT_EQ(Pixel(3, 1), 0u);
}

TEST_F(WindowCopies, ConvertsSixteenBitPixels) {
  BitmapInfo256 info = MakeInfo(2, -1, 16, BI_BITFIELDS);
  gdi_test::SetMasks(info, 0xF800, 0x07E0, 0x001F);
  Section s(info);
  ASSERT_TRUE(s.ok());
  const uint16_t px[2] = {0xFFFF, 0x07E0};
  std::memcpy(s.bits(), px, 4);
  ASSERT_TRUE(BitBlt(dc_, 0, 0, 2, 1, s.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(1, 0), 0x00FF00u);
}

TEST_F(WindowCopies, TextCanBeDrawnStraightOntoTheWindow) {
  SetTextColor(dc_, RGB(255, 255, 255));
  SetBkMode(dc_, TRANSPARENT);
  ASSERT_TRUE(TextOutA(dc_, 0, 0, "#", 1));
  int lit = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) lit += Pixel(x, y) != 0;
  EXPECT_GT(lit, 0);
}

TEST(WindowDC, NeedsARegisteredWindow) {
  int notAWindow = 0;
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(&notAWindow)), nullptr);
  HWND gone = lumo::test::CreateOffscreenWindow(2, 2);
  HDC dc = GetDC(gone);
  lumo::test::DestroyOffscreenWindow(gone);
  BitmapInfo256 info = MakeInfo(2, 2, 32);
  Section s(info);
  EXPECT_FALSE(BitBlt(dc, 0, 0, 2, 2, s.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(ReleaseDC(gone, dc), 1);
}

}  // namespace
