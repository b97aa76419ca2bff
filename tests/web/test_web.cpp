// SPDX-License-Identifier: MIT
// The web layer's pieces that need no page, under node: key codes, the
// pixels a canvas takes, GDI's sizes of a canvas font, what a picture's
// headers say its format is, download names, and the codec module linked in
// and found by name. The page's own parts are tested in the browser.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LumoDIB.h"
#include "LumoGPlus.h"
#include "LumoPlatform.h"
#include "web/CanvasPixels.h"
#include "web/Downloads.h"
#include "web/PictureLayout.h"
#include "web/TextSizing.h"
#include "web/WebKeys.h"

namespace {

using lumo::web::KeyCodes;

KeyCodes Key(const char* code, const char* key) {
  KeyCodes k;
  EXPECT_TRUE(lumo::web::KeyFromEvent(code, key, &k)) << code;
  return k;
}

TEST(WebKeys, VirtualKeysFromWhatKeysTypeScanCodesFromWhereTheyAre) {
  EXPECT_EQ(Key("KeyS", "s").vk, 'S');
  EXPECT_EQ(Key("KeyS", "S").scan, 0x1F);
  // On a French layout the key where Q is types "a": A, at Q's scan code.
  const KeyCodes azerty = Key("KeyQ", "a");
  EXPECT_EQ(azerty.vk, 'A');
  EXPECT_EQ(azerty.scan, 0x10);
  // A digit key that types no digit keeps its own digit.
  EXPECT_EQ(Key("Digit1", "&").vk, '1');
  // Keys named like letter or digit keys are not taken for them.
  const KeyCodes del = Key("Delete", "Delete");
  EXPECT_EQ(del.vk, VK_DELETE);
  EXPECT_TRUE(del.extended);
  const KeyCodes rightShift = Key("ShiftRight", "Shift");
  EXPECT_EQ(rightShift.vk, VK_SHIFT);
  EXPECT_EQ(rightShift.scan, 0x36);
  EXPECT_TRUE(Key("NumpadEnter", "Enter").extended);
  EXPECT_EQ(Key("NumpadEnter", "Enter").vk, VK_RETURN);
  EXPECT_EQ(Key("Numpad7", "7").vk, VK_NUMPAD0 + 7);
  EXPECT_EQ(Key("Escape", "Escape").vk, VK_ESCAPE);
  EXPECT_EQ(Key("Space", " ").vk, VK_SPACE);

  KeyCodes unknown;
  EXPECT_FALSE(lumo::web::KeyFromEvent("IntlRo", "\\", &unknown));
  EXPECT_FALSE(lumo::web::KeyFromEvent(nullptr, "a", &unknown));
}

TEST(CanvasPixels, TheChangedRectangleInTheCanvasByteOrder) {
  // 0x00RRGGBB window pixels, 3 x 2.
  const uint32_t pixels[6] = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
  const RECT r = lumo::web::ClipToPicture(RECT{1, -5, 9, 2}, 3, 2);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 3);
  EXPECT_EQ(r.bottom, 2);
  uint8_t rgba[16];
  lumo::web::ToRgba(pixels, 3, r, rgba);
  const uint8_t expected[16] = {0x44, 0x55, 0x66, 0xFF, 0x77, 0x88, 0x99, 0xFF,
                                0xDD, 0xEE, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0xFF};
  EXPECT_EQ(std::memcmp(rgba, expected, 16), 0);
  const RECT nothing = lumo::web::ClipToPicture(RECT{4, 0, 9, 2}, 3, 2);
  EXPECT_GE(nothing.left, nothing.right);
}

LOGFONTA Font(const char* face, LONG height, LONG width, LONG weight) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfWeight = weight;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

TEST(TextSizing, HeightsAndWidthsAsGdiReadsThem) {
  // DejaVu Sans's proportions: what the canvas measures where Tahoma is missing.
  lumo::web::FaceProportions dejaVu;
  dejaVu.ascent = 1901.0 / 2048;
  dejaVu.descent = 483.0 / 2048;
  dejaVu.averageWidth = 1173.0 / 2048;
  // A positive height is the cell.
  const lumo::web::TextSizing cell = lumo::web::SizeText(Font("Tahoma", 19, 7, 800), dejaVu);
  EXPECT_EQ(cell.metrics.cellHeight, 19);
  EXPECT_EQ(cell.metrics.ascent, 15);
  EXPECT_EQ(cell.metrics.descent, 4);
  EXPECT_NEAR(cell.emHeight, 19 / (2384.0 / 2048), 1e-9);
  // The width asked for is the face's average width.
  EXPECT_NEAR(cell.emHeight * cell.scaleX * dejaVu.averageWidth, 7, 1e-9);
  EXPECT_GE(cell.metrics.underlinePos, 1);
  EXPECT_LE(cell.metrics.underlinePos + cell.metrics.underlineThickness, cell.metrics.descent);
  EXPECT_LT(cell.metrics.strikePos, 0);
  // A negative height is the em; 0 a 16-line cell; absurd heights stop at 1000.
  const lumo::web::TextSizing em = lumo::web::SizeText(Font("Tahoma", -12, 0, 400), dejaVu);
  EXPECT_EQ(em.emHeight, 12);
  EXPECT_EQ(em.metrics.cellHeight, 14);
  EXPECT_EQ(em.scaleX, 1);
  EXPECT_EQ(lumo::web::SizeText(Font("", 0, 0, 0), dejaVu).metrics.cellHeight, 16);
  EXPECT_EQ(lumo::web::SizeText(Font("", INT32_MIN, 0, 0), dejaVu).emHeight, 1000);
}

TEST(TextSizing, FaceNamesCannotLeaveTheirCssString) {
  const std::string font = lumo::web::CssFont(Font("Evil\"; font: 99px x\\", 12, 0, FW_BOLD), 10);
  EXPECT_EQ(font.find("700 10.000px \""), 0u) << font;
  // Only the string's own quotes remain, and the fallbacks follow it.
  const size_t open = font.find('"'), close = font.find('"', open + 1);
  EXPECT_EQ(font.substr(close), "\", \"DejaVu Sans\", sans-serif");
  EXPECT_EQ(font.substr(open + 1, close - open - 1).find('"'), std::string::npos);
  EXPECT_EQ(font.substr(open + 1, close - open - 1).find(';'), std::string::npos);
  // No face: the fallbacks alone; weight 0 is normal; italic first.
  LOGFONTA italic = Font("", 12, 0, 0);
  italic.lfItalic = 1;
  EXPECT_EQ(lumo::web::CssFont(italic, 0), "italic 400 100px \"DejaVu Sans\", sans-serif");
  // Sizes to the thousandth of a pixel, the fraction's leading zeros kept.
  EXPECT_EQ(lumo::web::CssFont(Font("", 12, 0, 0), 9.0504), "400 9.050px \"DejaVu Sans\", sans-serif");
  EXPECT_EQ(lumo::web::CssFont(Font("", 12, 0, 0), 12.3456), "400 12.346px \"DejaVu Sans\", sans-serif");
}

// ---- pictures: the format the headers give, the pixels put into it

std::vector<uint8_t> Jpeg(int components, uint16_t width, uint16_t height) {
  std::vector<uint8_t> j = {0xFF,
                            0xD8,
                            0xFF,
                            0xE0,
                            0x00,
                            0x04,
                            'J',
                            'F',
                            0xFF,
                            0xC0,
                            0x00,
                            uint8_t(8 + 3 * components),
                            8,
                            uint8_t(height >> 8),
                            uint8_t(height),
                            uint8_t(width >> 8),
                            uint8_t(width),
                            uint8_t(components)};
  for (int c = 0; c < components; ++c) j.insert(j.end(), {uint8_t(c + 1), 0x11, 0});
  j.insert(j.end(), {0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9});
  return j;
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& body) {
  const uint32_t n = uint32_t(body.size());
  png.insert(png.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), body.begin(), body.end());
  png.insert(png.end(), 4, 0);  // the CRC is the browser's to check
}

std::vector<uint8_t> Png(uint8_t depth, uint8_t colour,
                         const std::vector<std::pair<const char*, std::vector<uint8_t>>>& chunks) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(png, "IHDR", {0, 0, 0, 3, 0, 0, 0, 1, depth, colour, 0, 0, 0});
  for (const auto& [type, body] : chunks) Chunk(png, type, body);
  Chunk(png, "IDAT", {});
  Chunk(png, "IEND", {});
  return png;
}

using namespace lumo::gdiplus;

TEST(PictureLayout, FormatsAndPalettesAsTheNativeDecodersGiveThem) {
  lumo::web::PictureLayout l;
  std::vector<uint8_t> grey = Jpeg(1, 472, 585);
  ASSERT_TRUE(lumo::web::ReadJpegLayout(grey.data(), grey.size(), &l));
  EXPECT_EQ(l.width, 472u);
  EXPECT_EQ(l.height, 585u);
  EXPECT_EQ(l.format, Format8bppIndexed);
  ASSERT_EQ(l.palette.size(), 256u);
  EXPECT_EQ(l.palette[200], 0xFFC8C8C8u);
  EXPECT_EQ(l.paletteFlags, PaletteFlagsGrayScale);
  // A few bytes cannot hold that many pixels: the data is missing.
  EXPECT_FALSE(l.holdsItsPixels);
  std::vector<uint8_t> colour = Jpeg(3, 2, 2);
  ASSERT_TRUE(lumo::web::ReadJpegLayout(colour.data(), colour.size(), &l));
  EXPECT_EQ(l.format, Format24bppRGB);
  EXPECT_TRUE(l.palette.empty());
  EXPECT_TRUE(l.holdsItsPixels);

  std::vector<uint8_t> indexed = Png(4, 3, {{"PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}}, {"tRNS", {0}}});
  ASSERT_TRUE(lumo::web::ReadPngLayout(indexed.data(), indexed.size(), &l));
  EXPECT_EQ(l.format, Format4bppIndexed);
  EXPECT_EQ(l.palette, (std::vector<uint32_t>{0x00FF0000u, 0xFF00FF00u, 0xFF0000FFu}));
  EXPECT_EQ(l.paletteFlags, PaletteFlagsHasAlpha);
  struct Case {
    uint8_t depth, colour;
    bool transparency;
    int32_t format;
  };
  for (const Case& c :
       {Case{8, 0, false, Format8bppIndexed}, Case{2, 0, false, Format8bppIndexed}, Case{16, 0, false, Format48bppRGB},
        Case{8, 0, true, Format32bppARGB}, Case{8, 2, false, Format24bppRGB}, Case{16, 6, false, Format64bppARGB},
        Case{2, 3, false, Format8bppIndexed}}) {
    std::vector<std::pair<const char*, std::vector<uint8_t>>> chunks;
    if (c.colour == 3) chunks.push_back({"PLTE", {1, 2, 3}});
    if (c.transparency) chunks.push_back({"tRNS", {0, 0}});
    std::vector<uint8_t> png = Png(c.depth, c.colour, chunks);
    ASSERT_TRUE(lumo::web::ReadPngLayout(png.data(), png.size(), &l)) << int(c.depth) << "/" << int(c.colour);
    EXPECT_EQ(l.format, c.format) << int(c.depth) << "/" << int(c.colour);
  }
}

TEST(PictureLayout, BrokenHeadersAreRefused) {
  lumo::web::PictureLayout l;
  std::vector<uint8_t> jpeg = Jpeg(1, 8, 8);
  for (size_t cut = 0; cut < 20; ++cut) EXPECT_FALSE(lumo::web::ReadJpegLayout(jpeg.data(), cut, &l)) << cut;
  std::vector<uint8_t> noSize = Jpeg(1, 0, 8);
  EXPECT_FALSE(lumo::web::ReadJpegLayout(noSize.data(), noSize.size(), &l));
  const std::vector<uint8_t> scanFirst = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9};
  EXPECT_FALSE(lumo::web::ReadJpegLayout(scanFirst.data(), scanFirst.size(), &l));
  // A palette picture without its palette, a depth the colour type has not,
  // and a chunk longer than the file.
  std::vector<uint8_t> noPalette = Png(8, 3, {});
  EXPECT_FALSE(lumo::web::ReadPngLayout(noPalette.data(), noPalette.size(), &l));
  std::vector<uint8_t> badDepth = Png(4, 2, {});
  EXPECT_FALSE(lumo::web::ReadPngLayout(badDepth.data(), badDepth.size(), &l));
  std::vector<uint8_t> overlong = Png(8, 3, {{"PLTE", {1, 2, 3}}});
  overlong[8 + 25 + 0] = 0x7F;
  EXPECT_FALSE(lumo::web::ReadPngLayout(overlong.data(), overlong.size(), &l));
}

TEST(PictureLayout, PixelsGoIntoTheFormat) {
  // Indexed, 4 bits: the first entry of an exact colour, else the nearest;
  // packed from the high nibble.
  lumo::web::PictureLayout indexed;
  indexed.width = 3;
  indexed.height = 1;
  indexed.format = Format4bppIndexed;
  indexed.palette = {0xFF000000u, 0xFFFF0000u, 0xFFFF0000u, 0xFF00FF00u};
  const uint8_t rgba[12] = {255, 0, 0, 255, 0, 250, 5, 255, 0, 0, 0, 255};
  Picture p;
  ASSERT_EQ(lumo::web::FillPicture(indexed, rgba, p), Ok);
  EXPECT_EQ(p.Stride, 4u);
  EXPECT_EQ(p.Pixels[0], 0x13);
  EXPECT_EQ(p.Pixels[1], 0x00);
  EXPECT_EQ(p.Palette, indexed.palette);
  // Grey levels from red; 48-bit samples widened, blue first.
  lumo::web::PictureLayout wide = indexed;
  wide.format = Format48bppRGB;
  wide.palette.clear();
  ASSERT_EQ(lumo::web::FillPicture(wide, rgba, p), Ok);
  EXPECT_EQ(p.Pixels[4], 0xFF);  // red of the first pixel, low byte
  EXPECT_EQ(p.Pixels[6], 0x05);  // blue of the second, low byte
  EXPECT_EQ(p.Pixels[9], 0xFA);  // green of the second, high byte
  EXPECT_EQ(p.Pixels[10], 0x00);
  lumo::web::PictureLayout absurd = wide;
  absurd.width = 1u << 20;
  absurd.height = 1u << 20;
  EXPECT_EQ(lumo::web::FillPicture(absurd, rgba, p), OutOfMemory);
}

TEST(Downloads, OnlyTheNameOfWhatTheUserTypedIsKept) {
  EXPECT_EQ(lumo::web::DownloadPath("smoke.bmp"), "/downloads/smoke.bmp");
  EXPECT_EQ(lumo::web::DownloadPath("  ../../etc\\passwd  "), "/downloads/passwd");
  EXPECT_EQ(lumo::web::DownloadPath("a\nb\x7f"), "/downloads/a_b_");
  EXPECT_EQ(lumo::web::DownloadPath("   "), "");
  EXPECT_EQ(lumo::web::DownloadPath("folder/.."), "");
  EXPECT_EQ(lumo::web::DownloadPath("/"), "");
}

// ---- the codec module, linked in and found by name

TEST(BuiltInModules, TheCodecIsFoundByItsNameAndItsEntriesByTheirs) {
  HMODULE codec = LoadLibraryA("GdiPlus.dll");
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\system32\\gdiplus"), codec);
  EXPECT_EQ(GetModuleHandleA("GDIPLUS.DLL"), codec);
  EXPECT_NE(GetProcAddress(codec, "GdipGetImageWidth"), nullptr);
  EXPECT_EQ(GetProcAddress(codec, "gdipgetimagewidth"), nullptr);
  EXPECT_EQ(GetProcAddress(codec, reinterpret_cast<LPCSTR>(1)), nullptr);
  EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), "GdipGetImageWidth"), nullptr);
  EXPECT_TRUE(FreeLibrary(codec));
  EXPECT_TRUE(FreeLibrary(codec));
  EXPECT_FALSE(FreeLibrary(codec));
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("elsewhere.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
  // Names are told from numbers by their address, as on Windows.
  EXPECT_FALSE(IS_INTRESOURCE("velro1"));
}

TEST(BuiltInModules, PicturesLoadThroughTheLinkedCodec) {
  // A BMP the surface library writes comes back through GDI+'s entries.
  TLumoDIB Out;
  ASSERT_TRUE(Out.Allocate(5, 3, 8));
  Out.Palette[7] = RGBQUAD{1, 2, 3, 0};
  Out.Rows8[0][4] = 7;
  // The module's own in-memory file system: nothing reaches the machine's /tmp.
  ASSERT_TRUE(Out.WriteBitmapFile("/tmp/web-test.bmp"));
  std::ifstream in("/tmp/web-test.bmp", std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  TLumoDIB Back;
  ASSERT_TRUE(LoadDIBFromMemory(bytes.data(), static_cast<int32_t>(bytes.size()), &Back));
  EXPECT_EQ(Back.Header.biWidth, 5);
  EXPECT_EQ(Back.Header.biBitCount, 8);
  EXPECT_EQ(Back.Rows8[0][4], 7);
  EXPECT_EQ(Back.Palette[7].rgbRed, 3);
  // Without a browser there are no JPEG decoders: a clear failure.
  const std::vector<uint8_t> jpeg = Jpeg(1, 4, 4);
  EXPECT_FALSE(LoadDIBFromMemory(jpeg.data(), static_cast<int32_t>(jpeg.size()), &Back));
  EXPECT_EQ(Back.Header.biWidth, 5);
}

}  // namespace
