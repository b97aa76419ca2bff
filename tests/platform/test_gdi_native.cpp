// SPDX-License-Identifier: MIT
// The native GDI layer's own behaviour, read through its test seams: the
// simulated screen, object accounting, forced failures and font choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "LumoPlatform.h"
#include "platform/GdiTestSupport.h"
#include "seams/GdiSeams.h"

using gdi_test::BitmapInfo256;
using gdi_test::MakeInfo;
using gdi_test::Section;

namespace {

class ScreenFormats : public testing::Test {
 protected:
  void TearDown() override { lumo::test::SetScreenFormat(32, 8); }
};

// What the screen keeps of green 100, the way a 16-bit format probe asks.
int GreenRoundTrip() {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SetPixel(memory, 0, 0, 0x006400);
  const COLORREF c = GetPixel(memory, 0, 0);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return GetGValue(c);
}

TEST_F(ScreenFormats, DepthAndGreenRoundingFollowTheSimulatedScreen) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1280);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 1024);
  EXPECT_EQ(GreenRoundTrip(), 100);

  lumo::test::SetScreenFormat(16, 5);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
  EXPECT_LT(GreenRoundTrip(), 100);

  lumo::test::SetScreenFormat(16, 6);
  EXPECT_GE(GreenRoundTrip(), 100);
  ReleaseDC(nullptr, screen);
}

TEST(CompatibleBitmap, OfAFreshMemoryDCIsMonochromeAsInGdi) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateCompatibleBitmap(dc, 2, 1);
  HGDIOBJ old = SelectObject(dc, mono);
  EXPECT_EQ(SetPixel(dc, 0, 0, RGB(200, 180, 160)), RGB(255, 255, 255));
  EXPECT_EQ(SetPixel(dc, 1, 0, RGB(20, 10, 60)), RGB(0, 0, 0));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(mono);
}

class ObjectAccounting : public testing::Test {
 protected:
  void SetUp() override { baseline_ = lumo::test::LiveGdiObjects(); }
  void TearDown() override { EXPECT_EQ(lumo::test::LiveGdiObjects(), baseline_); }
  int baseline_ = 0;
};

TEST_F(ObjectAccounting, CountsEveryNonStockObjectUntilItIsGone) {
  HDC dc = CreateCompatibleDC(nullptr);
  BitmapInfo256 info = MakeInfo(8, 8, 8);
  HBITMAP section =
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  LOGFONTA lf = {};
  HFONT font = CreateFontIndirectA(&lf);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(lumo::test::LiveGdiObjects(), baseline_ + 4);
  ReleaseDC(nullptr, screen);
  SelectObject(dc, section);
  SelectObject(dc, font);
  // The library's release order: the DC first, then what was in it.
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(section));
  EXPECT_TRUE(DeleteObject(font));
  // Stock objects are neither counted nor deleted.
  EXPECT_TRUE(DeleteObject(GetStockObject(SYSTEM_FONT)));
  EXPECT_EQ(lumo::test::LiveGdiObjects(), baseline_);
}

TEST_F(ObjectAccounting, SelectedObjectsGoWhenTheirDCLetsGo) {
  HDC dc = CreateCompatibleDC(nullptr);
  BitmapInfo256 info = MakeInfo(4, 4, 8);
  HBITMAP section =
      CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  LOGFONTA lf = {};
  HFONT font = CreateFontIndirectA(&lf);
  SelectObject(dc, section);
  SelectObject(dc, font);
  // Deleted while selected: still there for the DC, and gone with it.
  EXPECT_TRUE(DeleteObject(section));
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_NE(GetPixel(dc, 0, 0), CLR_INVALID);
  EXPECT_EQ(lumo::test::LiveGdiObjects(), baseline_ + 3);
  // A deleted object cannot be selected anywhere else.
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, font), nullptr);
  DeleteDC(other);
  EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(ObjectAccounting, ABitmapLivesInOneDCAtATime) {
  BitmapInfo256 info = MakeInfo(4, 4, 8);
  Section s(info);
  ASSERT_TRUE(s.ok());
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, s.bitmap()), nullptr);
  DeleteDC(other);
}

TEST_F(ObjectAccounting, StaleAndForeignHandlesAreRefused) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), 0);
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
  int local = 0;
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(&local)));
  HDC live = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(live, reinterpret_cast<HGDIOBJ>(&local)), nullptr);
  DeleteDC(live);
}

TEST(ForcedFailures, HitOnlyTheNextCall) {
  lumo::test::ResetGdiCallCounts();
  const int before = lumo::test::LiveGdiObjects();
  lumo::test::FailNextCreateDIBSection();
  BitmapInfo256 info = MakeInfo(4, 4, 8);
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0),
            nullptr);
  EXPECT_EQ(bits, nullptr);
  HBITMAP second = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  EXPECT_NE(second, nullptr);
  DeleteObject(second);

  lumo::test::FailNextCreateCompatibleDC();
  EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_NE(dc, nullptr);
  DeleteDC(dc);

  const lumo::test::GdiCallCounts counts = lumo::test::GetGdiCallCounts();
  EXPECT_EQ(counts.createDIBSection, 2);
  EXPECT_EQ(counts.createCompatibleDC, 2);
  EXPECT_EQ(lumo::test::LiveGdiObjects(), before);
}

// A failure asked for before a reset still comes, once, and a failed
// selection leaves the DC's font as it was.
TEST(CallCounts, ResetKeepsAPendingFailure) {
  BitmapInfo256 info = MakeInfo(4, 4, 8);
  Section s(info);
  LOGFONTA font{};
  font.lfHeight = 12;
  HFONT first = CreateFontIndirectA(&font);
  HFONT second = CreateFontIndirectA(&font);
  HGDIOBJ stock = SelectObject(s.dc(), first);
  ASSERT_NE(stock, nullptr);
  lumo::test::FailNextSelectObject();
  lumo::test::ResetGdiCallCounts();
  EXPECT_EQ(SelectObject(s.dc(), second), nullptr);
  EXPECT_EQ(SelectObject(s.dc(), second), first) << "the failed call changed nothing, the next one works";
  SelectObject(s.dc(), stock);
  DeleteObject(first);
  DeleteObject(second);
}

TEST(DibSectionHeaders, OddMasksAndSizesAreRefused) {
  const auto create = [](const BitmapInfo256& info) {
    HBITMAP b =
        CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
    if (b) DeleteObject(b);
    return b != nullptr;
  };
  BitmapInfo256 gaps = MakeInfo(2, 2, 16, BI_BITFIELDS);
  gdi_test::SetMasks(gaps, 0xF000, 0x0505, 0x000F);  // green not contiguous
  EXPECT_FALSE(create(gaps));
  BitmapInfo256 overlap = MakeInfo(2, 2, 32, BI_BITFIELDS);
  gdi_test::SetMasks(overlap, 0xFF0000, 0x01FF00, 0xFF);
  EXPECT_FALSE(create(overlap));
  BitmapInfo256 bitfields24 = MakeInfo(2, 2, 24, BI_BITFIELDS);
  gdi_test::SetMasks(bitfields24, 0xFF0000, 0xFF00, 0xFF);
  EXPECT_FALSE(create(bitfields24));
  EXPECT_FALSE(create(MakeInfo(2, 0, 8)));
  EXPECT_FALSE(create(MakeInfo(1 << 20, 1 << 20, 32)));  // far too large
  BitmapInfo256 shortHeader = MakeInfo(2, 2, 8);
  shortHeader.header.biSize = 12;
  EXPECT_FALSE(create(shortHeader));
}

TEST(FarOffCoordinates, DrawNothingAndDoNotOverflow) {
  BitmapInfo256 info = MakeInfo(4, 4, 32);
  Section s(info);
  Section t(info);
  ASSERT_TRUE(s.ok() && t.ok());
  EXPECT_TRUE(BitBlt(t.dc(), INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, s.dc(), INT32_MAX, INT32_MIN, SRCCOPY));
  EXPECT_TRUE(BitBlt(t.dc(), INT32_MAX, 0, INT32_MAX, 4, s.dc(), INT32_MIN, 0, SRCCOPY));
  std::vector<uint8_t> memory(64, 0xFF);
  StretchDIBits(t.dc(), 0, 0, 4, INT32_MAX, 0, INT32_MIN, 4, INT32_MAX, memory.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
  SetBkColor(t.dc(), RGB(255, 255, 255));
  EXPECT_TRUE(TextOutA(t.dc(), INT32_MAX - 2, INT32_MAX - 2, "WW", 2));
  EXPECT_TRUE(TextOutA(t.dc(), INT32_MIN, INT32_MIN, "WW", 2));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(GetPixel(t.dc(), x, y), RGB(0, 0, 0));
}

TEST(StretchDIBits, OnlyCopiesAtEqualSizes) {
  BitmapInfo256 info = MakeInfo(4, 4, 32);
  Section s(info);
  std::vector<uint8_t> memory(64, 0xFF);
  EXPECT_EQ(StretchDIBits(s.dc(), 0, 0, 2, 2, 0, 0, 4, 4, memory.data(), reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_RGB_COLORS, SRCCOPY),
            0);
  EXPECT_EQ(GetPixel(s.dc(), 0, 0), RGB(0, 0, 0));
}

HFONT Font(const char* face, int width, int height, int weight) {
  LOGFONTA lf = {};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfWeight = weight;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

// Draws text on blue with a red opaque background and returns the red box.
struct Cell {
  int width = 0, height = 0, ink = 0;
};
Cell Measure(HFONT font, const char* text) {
  BitmapInfo256 info = MakeInfo(300, -80, 32);
  Section s(info);
  RGBQUAD blue = {255, 0, 0, 0};
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 300; ++x) std::memcpy(s.line(y) + 4 * x, &blue, 4);
  HGDIOBJ old = SelectObject(s.dc(), font);
  SetBkColor(s.dc(), RGB(255, 0, 0));
  SetTextColor(s.dc(), RGB(0, 255, 0));
  TextOutA(s.dc(), 5, 5, text, static_cast<int>(std::strlen(text)));
  Cell cell;
  int right = -1, bottom = -1;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 300; ++x) {
      const COLORREF c = GetPixel(s.dc(), x, y);
      if (GetBValue(c) != 255) {
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
      if (GetGValue(c) > 128) ++cell.ink;
    }
  cell.width = right - 5 + 1;
  cell.height = bottom - 5 + 1;
  SelectObject(s.dc(), old);
  return cell;
}

TEST(FontSizing, FollowsGdiRules) {
  HFONT cell19 = Font("Tahoma", 0, 19, 400);
  HFONT em19 = Font("Tahoma", 0, -19, 400);
  HFONT wide = Font("Tahoma", 12, 19, 400);
  HFONT narrow = Font("Tahoma", 5, 19, 400);
  HFONT bold = Font("Tahoma", 0, 19, 800);
  // A face without a bold style is emboldened.
  HFONT plain = Font("Symbol", 0, 19, 400);
  HFONT synthetic = Font("Symbol", 0, 19, 800);
  const Cell a = Measure(cell19, "0000");
  const Cell b = Measure(em19, "0000");
  const Cell w = Measure(wide, "0000");
  const Cell n = Measure(narrow, "0000");
  const Cell heavy = Measure(bold, "0000");
  const Cell thin = Measure(plain, "0000");
  const Cell thick = Measure(synthetic, "0000");
  EXPECT_EQ(a.height, 19);  // positive height: the whole cell
  EXPECT_GT(b.height, 19);  // negative height: the em, so a taller cell
  EXPECT_GT(w.width, a.width);
  EXPECT_LT(n.width, a.width);
  EXPECT_GT(heavy.width, a.width);
  EXPECT_GT(thick.ink, thin.ink);
  EXPECT_GT(thick.width, thin.width);
  for (HFONT f : {cell19, em19, wide, narrow, bold, plain, synthetic}) DeleteObject(f);
}

TEST(FontStyles, UnderlineStrikeOutAndItalicChangeTheInk) {
  LOGFONTA lf = {};
  lf.lfHeight = 19;
  std::strcpy(lf.lfFaceName, "Tahoma");
  HFONT plain = CreateFontIndirectA(&lf);
  lf.lfUnderline = 1;
  HFONT underlined = CreateFontIndirectA(&lf);
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 1;
  HFONT struck = CreateFontIndirectA(&lf);
  lf.lfStrikeOut = 0;
  lf.lfItalic = 1;
  HFONT italic = CreateFontIndirectA(&lf);
  const Cell a = Measure(plain, "ii");
  const Cell u = Measure(underlined, "ii");
  const Cell s = Measure(struck, "ii");
  const Cell i = Measure(italic, "ii");
  // A line under or through the whole advance adds at least its length.
  EXPECT_GE(u.ink, a.ink + a.width);
  EXPECT_GE(s.ink, a.ink + a.width / 2);
  EXPECT_EQ(u.height, a.height);
  EXPECT_NE(i.ink, 0);
  for (HFONT f : {plain, underlined, struck, italic}) DeleteObject(f);
}

TEST(FontChoice, UnknownFacesFallBackAndSaySoOnce) {
  const char* name = "No Such Face For Lumo Tests";
  testing::internal::CaptureStderr();
  HFONT first = Font(name, 0, 16, 400);
  HFONT second = Font(name, 0, 16, 400);
  const Cell a = Measure(first, "Hi");
  const Cell b = Measure(second, "Hi");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_GT(a.ink, 0);
  EXPECT_EQ(a.width, b.width);
  EXPECT_NE(said.find("DejaVu Sans"), std::string::npos);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
  DeleteObject(first);
  DeleteObject(second);
}

TEST(FontChoice, FaceNamesFillingAllBytesAreCutTo31) {
  LOGFONTA lf = {};
  lf.lfHeight = 16;
  std::memset(lf.lfFaceName, 'x', LF_FACESIZE);  // no terminator at all
  testing::internal::CaptureStderr();
  HFONT font = CreateFontIndirectA(&lf);
  ASSERT_NE(font, nullptr);
  const Cell c = Measure(font, "ok");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_GT(c.ink, 0);
  EXPECT_NE(said.find('"' + std::string(31, 'x') + '"'), std::string::npos);
  DeleteObject(font);
}

}  // namespace
