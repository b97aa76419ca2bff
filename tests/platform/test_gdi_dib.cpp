// SPDX-License-Identifier: MIT
// DIB sections, memory DCs, pixels and copies between memory DCs, through
// the Win32 calls alone (so they hold against the real GDI as well).
#include <gtest/gtest.h>

#include "LumoPlatform.h"
#include "platform/GdiTestSupport.h"

using gdi_test::BitmapInfo256;
using gdi_test::MakeInfo;
using gdi_test::Section;

namespace {

// A few distinct colours at the start of every palette used here.
void FillPalette(BitmapInfo256& info) {
  for (int i = 0; i < 256; ++i) {
    info.colours[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 0};
  }
}

COLORREF PaletteColour(const BitmapInfo256& info, int index) {
  const RGBQUAD& q = info.colours[index];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

struct LayoutCase {
  int bpp;
  int width;
  int height;
};

class DibLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(DibLayout, IsZeroFilledAndAddressedAsTheHeaderSays) {
  const LayoutCase c = GetParam();
  BitmapInfo256 info = MakeInfo(c.width, c.height, c.bpp);
  FillPalette(info);
  Section s(info);
  ASSERT_TRUE(s.ok());
  const int rows = c.height < 0 ? -c.height : c.height;
  // Every byte of the block the header describes is there and zero.
  const size_t size = static_cast<size_t>(s.stride()) * rows;
  for (size_t i = 0; i < size; ++i) ASSERT_EQ(s.bits()[i], 0) << "byte " << i;

  // Mark the last pixel of display line 1 in memory; GDI must find it there.
  const int x = c.width - 1, y = 1;
  uint8_t* row = s.line(y);
  COLORREF expected = 0;
  switch (c.bpp) {
    case 1:
      row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      expected = PaletteColour(info, 1);
      break;
    case 4:
      row[x / 2] |= static_cast<uint8_t>(x % 2 ? 0x07 : 0x70);
      expected = PaletteColour(info, 7);
      break;
    case 8:
      row[x] = 200;
      expected = PaletteColour(info, 200);
      break;
    case 16:  // 5-5-5: pure red
      row[2 * x] = 0x00;
      row[2 * x + 1] = 0x7C;
      expected = RGB(255, 0, 0);
      break;
    case 24:
      row[3 * x] = 0x30;  // blue
      row[3 * x + 1] = 0x20;
      row[3 * x + 2] = 0x10;
      expected = RGB(0x10, 0x20, 0x30);
      break;
    case 32:
      row[4 * x] = 0x33;
      row[4 * x + 1] = 0x22;
      row[4 * x + 2] = 0x11;
      expected = RGB(0x11, 0x22, 0x33);
      break;
  }
  EXPECT_EQ(GetPixel(s.dc(), x, y), expected);
  EXPECT_EQ(GetPixel(s.dc(), x, 0), c.bpp <= 8 ? PaletteColour(info, 0) : RGB(0, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(AllDepths, DibLayout,
                         testing::Values(LayoutCase{1, 9, 3}, LayoutCase{1, 33, -3}, LayoutCase{4, 5, 2},
                                         LayoutCase{4, 6, -2}, LayoutCase{8, 3, 2}, LayoutCase{8, 640, -3},
                                         LayoutCase{16, 3, 2}, LayoutCase{16, 4, -2}, LayoutCase{24, 3, 2},
                                         LayoutCase{24, 5, -4}, LayoutCase{32, 2, 3}, LayoutCase{32, 7, -2}));

TEST(DibSection, BitFieldsFollowTheMasks) {
  BitmapInfo256 info = MakeInfo(2, -1, 16, BI_BITFIELDS);
  gdi_test::SetMasks(info, 0xF800, 0x07E0, 0x001F);
  Section s(info);
  ASSERT_TRUE(s.ok());
  const uint16_t green = 0x07E0;
  std::memcpy(s.bits(), &green, 2);
  EXPECT_EQ(GetPixel(s.dc(), 0, 0), RGB(0, 255, 0));
}

TEST(DibSection, RefusesHeadersGdiCannotHold) {
  void* bits = reinterpret_cast<void*>(1);
  const auto create = [&](const BitmapInfo256& info) {
    return CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  };
  BitmapInfo256 oddDepth = MakeInfo(4, 4, 7);
  EXPECT_EQ(create(oddDepth), nullptr);
  EXPECT_EQ(bits, nullptr);
  BitmapInfo256 negativeWidth = MakeInfo(-4, 4, 8);
  EXPECT_EQ(create(negativeWidth), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(DibSection, ColourTableTakesAtMostItsSize) {
  BitmapInfo256 info = MakeInfo(4, 4, 8);
  Section s(info);
  ASSERT_TRUE(s.ok());
  RGBQUAD entries[256] = {};
  entries[0] = RGBQUAD{10, 20, 30, 0};
  EXPECT_EQ(SetDIBColorTable(s.dc(), 0, 256, entries), 256u);
  EXPECT_EQ(SetDIBColorTable(s.dc(), 250, 10, entries), 6u);
  EXPECT_EQ(SetDIBColorTable(s.dc(), 256, 1, entries), 0u);
  // From now on the section shows the new entry 250 for index 250.
  s.bits()[0] = 250;
  const int bottom = s.height() - 1;
  EXPECT_EQ(GetPixel(s.dc(), 0, bottom), RGB(30, 20, 10));

  BitmapInfo256 info4 = MakeInfo(4, 4, 4);
  Section s4(info4);
  ASSERT_TRUE(s4.ok());
  EXPECT_EQ(SetDIBColorTable(s4.dc(), 0, 256, entries), 16u);

  BitmapInfo256 info24 = MakeInfo(4, 4, 24);
  Section s24(info24);
  ASSERT_TRUE(s24.ok());
  EXPECT_EQ(SetDIBColorTable(s24.dc(), 0, 256, entries), 0u);
}

TEST(DibSection, SetPixelKeepsWhatTheFormatCanHold) {
  BitmapInfo256 info555 = MakeInfo(1, 1, 16);
  Section s555(info555);
  ASSERT_TRUE(s555.ok());
  SetPixel(s555.dc(), 0, 0, 0x006400);
  EXPECT_LT(GetGValue(GetPixel(s555.dc(), 0, 0)), 100);

  BitmapInfo256 info565 = MakeInfo(1, 1, 16, BI_BITFIELDS);
  gdi_test::SetMasks(info565, 0xF800, 0x07E0, 0x001F);
  Section s565(info565);
  ASSERT_TRUE(s565.ok());
  SetPixel(s565.dc(), 0, 0, 0x006400);
  EXPECT_GE(GetGValue(GetPixel(s565.dc(), 0, 0)), 100);

  BitmapInfo256 info8 = MakeInfo(2, 1, 8);
  info8.colours[3] = RGBQUAD{0, 250, 0, 0};
  info8.colours[4] = RGBQUAD{0, 0, 250, 0};
  Section s8(info8);
  ASSERT_TRUE(s8.ok());
  SetPixel(s8.dc(), 1, 0, RGB(240, 10, 0));
  EXPECT_EQ(s8.bits()[1], 4);  // nearest entry
  EXPECT_EQ(GetPixel(s8.dc(), 1, 0), RGB(250, 0, 0));
}

TEST(MemoryDC, StartsWithGdiDefaults) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
  EXPECT_EQ(SetBkColor(dc, RGB(4, 5, 6)), RGB(255, 255, 255));
  EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
  EXPECT_EQ(SetTextColor(dc, 0), RGB(1, 2, 3));
  EXPECT_EQ(SetBkColor(dc, 0), RGB(4, 5, 6));

  LOGFONTA lf = {};
  lf.lfHeight = 12;
  HFONT font = CreateFontIndirectA(&lf);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), font);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(MemoryDC, SelectObjectHandsBackTheReplacedBitmap) {
  BitmapInfo256 info = MakeInfo(2, 2, 24);
  HBITMAP a = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  HBITMAP b = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_TRUE(a && b);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ original = SelectObject(dc, a);
  EXPECT_NE(original, nullptr);
  EXPECT_EQ(SelectObject(dc, b), a);
  EXPECT_EQ(SelectObject(dc, original), b);
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_TRUE(DeleteObject(b));
}

TEST(StockObjects, SurviveDeleteObject) {
  HGDIOBJ font = GetStockObject(SYSTEM_FONT);
  ASSERT_NE(font, nullptr);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(GetStockObject(SYSTEM_FONT), font);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectObject(dc, font), nullptr);
  DeleteDC(dc);
}

// Copies between memory DCs convert through the source's format.
TEST(BitBltBetweenMemoryDCs, ConvertsPaletteToDirectColour) {
  BitmapInfo256 srcInfo = MakeInfo(4, 2, 8);  // bottom-up
  FillPalette(srcInfo);
  Section src(srcInfo);
  BitmapInfo256 dstInfo = MakeInfo(4, -2, 32);  // top-down
  Section dst(dstInfo);
  ASSERT_TRUE(src.ok() && dst.ok());
  for (int x = 0; x < 4; ++x) {
    src.line(0)[x] = static_cast<uint8_t>(10 + x);
    src.line(1)[x] = static_cast<uint8_t>(100 + x);
  }
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, SRCCOPY));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      const RGBQUAD& q = srcInfo.colours[y == 0 ? 10 + x : 100 + x];
      uint32_t px;
      std::memcpy(&px, dst.line(y) + 4 * x, 4);
      EXPECT_EQ(px & 0xFFFFFF, (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue) << x << "," << y;
    }
  }
}

TEST(BitBltBetweenMemoryDCs, MapsColoursToTheNearestEntry) {
  BitmapInfo256 srcInfo = MakeInfo(3, -1, 24);
  Section src(srcInfo);
  BitmapInfo256 dstInfo = MakeInfo(3, 1, 8);
  dstInfo.colours[1] = RGBQUAD{0, 0, 255, 0};  // red
  dstInfo.colours[2] = RGBQUAD{0, 255, 0, 0};  // green
  dstInfo.colours[3] = RGBQUAD{255, 255, 255, 0};
  Section dst(dstInfo);
  ASSERT_TRUE(src.ok() && dst.ok());
  const uint8_t pixels[9] = {0, 0, 230, 0, 220, 10, 250, 250, 250};  // reddish, greenish, light
  std::memcpy(src.bits(), pixels, 9);
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.bits()[0], 1);
  EXPECT_EQ(dst.bits()[1], 2);
  EXPECT_EQ(dst.bits()[2], 3);
}

TEST(BitBltBetweenMemoryDCs, PlacesAndClipsTheRectangle) {
  BitmapInfo256 info = MakeInfo(4, -4, 8);
  FillPalette(info);
  Section src(info);
  Section dst(info);
  ASSERT_TRUE(src.ok() && dst.ok());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) src.line(y)[x] = static_cast<uint8_t>(1 + y * 4 + x);
  // Partly off the left and bottom edges.
  ASSERT_TRUE(BitBlt(dst.dc(), -1, 2, 4, 4, src.dc(), 0, 0, SRCCOPY));
  const uint8_t expected[4][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {2, 3, 4, 0}, {6, 7, 8, 0}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.line(y)[x], expected[y][x]) << x << "," << y;
}

TEST(StretchDIBitsToMemoryDC, RespectsTheSourceRowOrder) {
  // Two rows of a bottom-up 24-bit DIB in caller memory: memory row 0 is the
  // bottom line.
  BitmapInfo256 srcInfo = MakeInfo(1, 2, 24);
  uint8_t memory[8] = {0, 0, 255, 0, 255, 0, 0, 0};  // red bottom, blue top
  BitmapInfo256 dstInfo = MakeInfo(1, -2, 32);
  Section dst(dstInfo);
  ASSERT_TRUE(dst.ok());
  EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 1, 2, 0, 0, 1, 2, memory, reinterpret_cast<BITMAPINFO*>(&srcInfo),
                          DIB_RGB_COLORS, SRCCOPY),
            2);
  EXPECT_EQ(GetPixel(dst.dc(), 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dst.dc(), 0, 1), RGB(255, 0, 0));

  // The same bytes declared top-down come out the other way round.
  srcInfo.header.biHeight = -2;
  EXPECT_EQ(StretchDIBits(dst.dc(), 0, 0, 1, 2, 0, 0, 1, 2, memory, reinterpret_cast<BITMAPINFO*>(&srcInfo),
                          DIB_RGB_COLORS, SRCCOPY),
            2);
  EXPECT_EQ(GetPixel(dst.dc(), 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dst.dc(), 0, 1), RGB(0, 0, 255));
}

}  // namespace
