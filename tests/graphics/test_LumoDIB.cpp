// SPDX-License-Identifier: MIT
// Surface memory model: sizes, masks, row tables, reuse, palettes, caller
// memory and clearing. Runs natively and against real GDI under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "LumoDIB.h"

namespace {

uint32_t Word(const RGBQUAD& Entry) {
  uint32_t W;
  std::memcpy(&W, &Entry, 4);
  return W;
}

void ExpectRowTable(const TLumoDIB& D) {
  ASSERT_EQ(D.Rows, D.Rows8);
  for (int32_t i = 0; i < D.RowCount; ++i) {
    ASSERT_EQ(D.Rows[i], D.Pixels + i * D.RowBytes) << "row " << i;
  }
}

TEST(SurfaceCreate, StartsEmptyWithBareHeader) {
  TLumoDIB D;
  EXPECT_EQ(D.Pixels, nullptr);
  EXPECT_EQ(D.Rows, nullptr);
  EXPECT_EQ(D.MemDC, nullptr);
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_TRUE(D.UseSection);
  EXPECT_EQ(D.ColourTable, D.Palette);
  EXPECT_EQ(D.Header.biSize, 40u);
  EXPECT_EQ(D.Header.biPlanes, 1);
  EXPECT_EQ(D.Header.biWidth, 0);
  ASSERT_NE(D.ShareCount, nullptr);
  EXPECT_EQ(*D.ShareCount, 1);
  for (const RGBQUAD& E : D.Palette) {
    ASSERT_EQ(Word(E), 0u);
  }
  // One BITMAPINFO block.
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&D.Palette), reinterpret_cast<const uint8_t*>(&D.Header) + 40);
}

TEST(SurfaceAllocate, EightBitsPerPixel) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(640, 480, 8));
  EXPECT_EQ(D.RowBytes, 640);
  EXPECT_EQ(D.RowGap, 0);
  EXPECT_EQ(D.RowCount, 480);
  EXPECT_EQ(D.Header.biSizeImage, 640u * 480u);
  EXPECT_EQ(D.Header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(D.BytesPerPixel, 1);
  EXPECT_NE(D.MemDC, nullptr);
  EXPECT_NE(D.SectionHandle, nullptr);
  EXPECT_TRUE(D.OwnsDC && D.OwnsSection);
  EXPECT_FALSE(D.OwnsPixels);
  ExpectRowTable(D);
}

TEST(SurfaceAllocate, RowPaddingAtSmallDepths) {
  struct Case {
    int32_t W;
    uint8_t Bpp;
    int32_t RowBytes, RowGap, BytesPerPixel;
  };
  for (const Case& C : {Case{3, 24, 12, 3, 3}, Case{5, 4, 4, 1, 0}, Case{9, 1, 4, 2, 0}, Case{1, 1, 4, 3, 0},
                        Case{33, 1, 8, 3, 0}, Case{3, 16, 8, 2, 2}, Case{7, 32, 28, 0, 4}, Case{13, 8, 16, 3, 1}}) {
    TLumoDIB D;
    ASSERT_TRUE(D.Allocate(C.W, 2, C.Bpp)) << C.W << "x2x" << int(C.Bpp);
    EXPECT_EQ(D.RowBytes, C.RowBytes) << C.W << "x" << int(C.Bpp);
    EXPECT_EQ(D.RowGap, C.RowGap) << C.W << "x" << int(C.Bpp);
    EXPECT_EQ(D.BytesPerPixel, C.BytesPerPixel);
    EXPECT_EQ(D.Header.biSizeImage, static_cast<DWORD>(2 * C.RowBytes));
    ExpectRowTable(D);
  }
}

TEST(SurfaceAllocate, SixteenBitsDefaultsToFiveFiveFive) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(10, 4, 16));
  EXPECT_EQ(D.Header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(D.RedBits, 5);
  EXPECT_EQ(D.GreenBits, 5);
  EXPECT_EQ(D.BlueBits, 5);
  EXPECT_EQ(Word(D.Palette[0]), 0x7C00u);
  EXPECT_EQ(Word(D.Palette[1]), 0x03E0u);
  EXPECT_EQ(Word(D.Palette[2]), 0x001Fu);
  EXPECT_EQ(D.RedMask(), 0x7C00u);
  EXPECT_EQ(D.GreenMask(), 0x03E0u);
  EXPECT_EQ(D.BlueMask(), 0x001Fu);
  EXPECT_EQ(D.BlueShift, 0);
  EXPECT_EQ(D.GreenShift, 5);
  EXPECT_EQ(D.RedShift, 10);
  EXPECT_EQ(D.RedLoss, 3);
  EXPECT_EQ(D.GreenLoss, 3);
  EXPECT_EQ(D.BlueLoss, 3);
}

TEST(SurfaceAllocate, ExplicitFieldsChooseBitFields) {
  TLumoDIB D;
  ASSERT_TRUE(D.AllocateWith(nullptr, 10, 4, 16, 5, 6, 5));
  EXPECT_EQ(D.Header.biCompression, static_cast<DWORD>(BI_BITFIELDS));
  EXPECT_EQ(D.RedMask(), 0xF800u);
  EXPECT_EQ(D.GreenMask(), 0x07E0u);
  EXPECT_EQ(D.BlueMask(), 0x001Fu);
  EXPECT_EQ(D.GreenLoss, 2);
  EXPECT_EQ(D.RedShift, 11);

  TLumoDIB E;
  ASSERT_TRUE(E.Allocate(4, 4, 32));
  EXPECT_EQ(E.Header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(E.RedMask(), 0x00FF0000u);
  EXPECT_EQ(E.GreenMask(), 0x0000FF00u);
  EXPECT_EQ(E.BlueMask(), 0x000000FFu);
  EXPECT_EQ(E.RedLoss + E.GreenLoss + E.BlueLoss, 0);
  EXPECT_EQ(E.RedShift, 16);
}

TEST(SurfaceAllocate, ScreenDepthOnDefaultScreen) {
  // Both the native layer's default screen and Wine under Xvfb are 32-bit.
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(8, 8, 0));
  EXPECT_EQ(D.Header.biBitCount, 32);
  EXPECT_EQ(D.Header.biCompression, static_cast<DWORD>(BI_BITFIELDS));
  EXPECT_EQ(D.RedBits, 8);
  EXPECT_EQ(D.GreenBits, 8);
  EXPECT_EQ(D.BlueBits, 8);
  EXPECT_EQ(D.RedMask(), 0x00FF0000u);
}

TEST(SurfaceAllocate, HeightSignDecidesWhichLineIsRowZero) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(800, -500, 8));
  EXPECT_EQ(D.Header.biHeight, -500);
  EXPECT_EQ(D.RowCount, 500);
  EXPECT_EQ(D.Rows[0], D.Pixels);
  ExpectRowTable(D);
}

TEST(SurfaceAllocate, NoPixelsGivesNoRows) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(16, 0, 8));
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_EQ(D.Rows, nullptr);
  EXPECT_EQ(D.Pixels, nullptr);
  EXPECT_EQ(D.Header.biSizeImage, 0u);
  D.ClearTo(3);  // nothing to clear, nothing to crash

  // A window squeezed to no width: no rows either, whatever the height.
  ASSERT_TRUE(D.Allocate(0, 300, 8));
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_EQ(D.Header.biHeight, 0);
  EXPECT_EQ(D.Rows, nullptr);

  // And back to a real size.
  ASSERT_TRUE(D.Allocate(16, 4, 8));
  EXPECT_EQ(D.RowCount, 4);
  ExpectRowTable(D);
}

TEST(SurfaceAllocate, RefusesWhatNoBitmapCanDescribe) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(16, 16, 8));
  EXPECT_FALSE(D.Allocate(-4, 16, 8));
  EXPECT_EQ(D.Pixels, nullptr);
  EXPECT_EQ(D.Rows, nullptr);
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_EQ(D.MemDC, nullptr);
  EXPECT_EQ(D.Header.biSizeImage, 0u);
  EXPECT_FALSE(D.Allocate(16, 16, 7));
  EXPECT_FALSE(D.Allocate(16, 16, 64));
  EXPECT_FALSE(D.Allocate(100000, 100000, 32));  // beyond 2 GB
  EXPECT_FALSE(D.AllocateWith(nullptr, 4, 4, 8, 5, 6, 5));
  EXPECT_FALSE(D.AllocateWith(nullptr, 4, 4, 16, 8, 8, 8));
  // Red (resp. green) would start at bit 32: refused even where no GDI
  // section would check the masks.
  TLumoDIB Plain;
  Plain.UseSection = false;
  EXPECT_FALSE(Plain.AllocateWith(nullptr, 4, 4, 32, 0, 16, 16));
  EXPECT_FALSE(Plain.AllocateWith(nullptr, 4, 4, 32, 0, 0, 32));
  EXPECT_TRUE(Plain.AllocateWith(nullptr, 4, 4, 32, 8, 8, 8));
  EXPECT_EQ(D.RowCount, 0);
  D.ClearTo(1);
  EXPECT_TRUE(D.Allocate(16, 16, 8));
  ExpectRowTable(D);
}

TEST(SurfaceReuse, SameRequestKeepsSectionPixelsAndFont) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(32, 16, 8));
  D.SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
  D.Pixels[5] = 77;
  uint8_t* const Pixels = D.Pixels;
  const HDC DC = D.MemDC;
  const HBITMAP Section = D.SectionHandle;
  const HFONT Font = D.FontHandle;
  ASSERT_NE(Font, nullptr);

  ASSERT_TRUE(D.Allocate(32, 16, 8));
  EXPECT_EQ(D.Pixels, Pixels);
  EXPECT_EQ(D.MemDC, DC);
  EXPECT_EQ(D.SectionHandle, Section);
  EXPECT_EQ(D.FontHandle, Font);
  EXPECT_EQ(D.Pixels[5], 77);

  // The sign of the height alone is a different bitmap.
  ASSERT_TRUE(D.Allocate(32, -16, 8));
  EXPECT_EQ(D.FontHandle, nullptr);
  EXPECT_EQ(D.Header.biHeight, -16);
  EXPECT_EQ(D.Pixels[5], 0) << "a new section starts zero-filled";
  ExpectRowTable(D);
}

TEST(SurfaceReuse, PlainMemoryIsAlwaysRebuilt) {
  TLumoDIB D;
  D.UseSection = false;
  ASSERT_TRUE(D.Allocate(20, 10, 24));
  EXPECT_EQ(D.MemDC, nullptr);
  EXPECT_EQ(D.SectionHandle, nullptr);
  EXPECT_TRUE(D.OwnsPixels);
  ExpectRowTable(D);
  ASSERT_TRUE(D.Allocate(20, 10, 24));
  EXPECT_TRUE(D.OwnsPixels);
  EXPECT_EQ(*D.ShareCount, 1);
  ExpectRowTable(D);
}

TEST(SurfacePalette, SurvivesAllocationAndReachesTheSection) {
  TLumoDIB D;
  D.Palette[1] = RGBQUAD{10, 20, 30, 0};
  D.Palette[255] = RGBQUAD{1, 2, 3, 0};
  ASSERT_TRUE(D.Allocate(4, 4, 8));
  ASSERT_TRUE(D.Allocate(8, 8, 8));
  ASSERT_TRUE(D.Allocate(8, 8, 24));
  D.ReleaseSurface();
  EXPECT_EQ(Word(D.Palette[1]), Word(RGBQUAD{10, 20, 30, 0}));
  EXPECT_EQ(Word(D.Palette[255]), Word(RGBQUAD{1, 2, 3, 0}));

  // What GDI sees: index 1 drawn into a 32-bit target comes out as entry 1.
  ASSERT_TRUE(D.Allocate(4, -2, 8));
  D.ClearTo(1);
  TLumoDIB Target;
  ASSERT_TRUE(Target.Allocate(4, -2, 32));
  D.DrawTo(Target.MemDC, 0, 0);
  uint32_t Pixel;
  std::memcpy(&Pixel, Target.Rows[1] + 12, 4);
  EXPECT_EQ(Pixel & 0xFFFFFF, 0x1E140Au);  // red 30, green 20, blue 10
}

TEST(SurfaceCallerMemory, UsedButNeverOwned) {
  std::vector<uint8_t> Memory(16 * 4 + 8, 0xAB);
  {
    TLumoDIB D;
    ASSERT_TRUE(D.AllocateWith(Memory.data(), 16, 4, 8, 0, 0, 0));
    EXPECT_EQ(D.Pixels, Memory.data());
    EXPECT_EQ(D.MemDC, nullptr);
    EXPECT_FALSE(D.OwnsPixels || D.OwnsDC || D.OwnsSection);
    ExpectRowTable(D);
    D.ClearTo(0x11);
    // Text needs a device context; without one nothing is drawn anywhere.
    D.SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
    D.TextColour(0x00FF00);
    D.PrintText(0, 0, "88");
    EXPECT_EQ(D.FontHandle, nullptr);
    D.ReleaseSurface();
    EXPECT_EQ(D.Pixels, nullptr);
  }
  for (size_t i = 0; i < 64; ++i) {
    ASSERT_EQ(Memory[i], 0x11) << i;
  }
  EXPECT_EQ(Memory[64], 0xAB) << "nothing past the image";
}

TEST(SurfaceRelease, LeavesHeaderAndAllowsReallocation) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(12, 6, 8));
  D.ReleaseSurface();
  EXPECT_EQ(D.Pixels, nullptr);
  EXPECT_EQ(D.Rows, nullptr);
  EXPECT_EQ(D.MemDC, nullptr);
  EXPECT_EQ(D.SectionHandle, nullptr);
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_EQ(D.Header.biWidth, 12);
  D.ReleaseSurface();  // twice is harmless
  D.ClearTo(0);
  ASSERT_TRUE(D.Allocate(12, 6, 8));
  EXPECT_EQ(*D.ShareCount, 1);
  ExpectRowTable(D);
}

// ------------------------------------------------------------------ masks

TEST(Masks, ComputedFromFieldWidths) {
  struct Case {
    uint8_t R, G, B;
    uint32_t Red, Green, Blue;
  };
  for (const Case& C :
       {Case{5, 5, 5, 0x7C00, 0x03E0, 0x001F}, Case{5, 6, 5, 0xF800, 0x07E0, 0x001F},
        Case{8, 8, 8, 0x00FF0000, 0x0000FF00, 0x000000FF}, Case{10, 11, 11, 0xFFC00000, 0x003FF800, 0x000007FF},
        Case{8, 16, 8, 0xFF000000, 0x00FFFF00, 0x000000FF}}) {
    uint32_t R, G, B;
    ComputeMasks(C.R, C.G, C.B, R, G, B);
    EXPECT_EQ(R, C.Red) << int(C.R) << int(C.G) << int(C.B);
    EXPECT_EQ(G, C.Green);
    EXPECT_EQ(B, C.Blue);
  }
}

TEST(Masks, RowSizeRoundsUpToWholeWords) {
  EXPECT_EQ(RowSize(640, 8, 32), 640);
  EXPECT_EQ(RowSize(3, 24, 32), 12);
  EXPECT_EQ(RowSize(9, 1, 32), 4);
  EXPECT_EQ(RowSize(0, 8, 32), 0);
  EXPECT_EQ(RowSize(3, 8, 16), 4);
}

// --------------------------------------------------------------- clearing

TEST(ClearTo, EveryDepth) {
  struct Case {
    uint8_t Bpp;
    int32_t W;
    uint32_t Value;
    std::vector<uint8_t> Pattern;  // repeated over the whole image, padding included
  };
  const Case Cases[] = {
      {1, 9, 1, {0xFF}},
      {1, 9, 0, {0x00}},
      {4, 5, 0x5, {0x55}},
      {8, 13, 0xA7, {0xA7}},
      {16, 3, 0x1234, {0x34, 0x12}},
      {32, 3, 0x00112233, {0x33, 0x22, 0x11, 0x00}},
  };
  for (const Case& C : Cases) {
    TLumoDIB D;
    ASSERT_TRUE(D.Allocate(C.W, 3, C.Bpp));
    std::memset(D.Pixels, 0x5A, D.Header.biSizeImage);
    D.ClearTo(C.Value);
    for (DWORD i = 0; i < D.Header.biSizeImage; ++i) {
      ASSERT_EQ(D.Pixels[i], C.Pattern[i % C.Pattern.size()]) << "bpp " << int(C.Bpp) << " byte " << i;
    }
  }
}

TEST(ClearTo, TwentyFourBitsLeavesPadding) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(7, 4, 24));  // 21 bytes of pixels, 3 of padding
  std::memset(D.Pixels, 0xEE, D.Header.biSizeImage);
  D.ClearTo(0x00112233);
  for (int32_t y = 0; y < D.RowCount; ++y) {
    for (int32_t x = 0; x < 7; ++x) {
      ASSERT_EQ(D.Rows[y][3 * x], 0x33);
      ASSERT_EQ(D.Rows[y][3 * x + 1], 0x22);
      ASSERT_EQ(D.Rows[y][3 * x + 2], 0x11);
    }
    for (int32_t p = 21; p < 24; ++p) {
      ASSERT_EQ(D.Rows[y][p], 0xEE) << "padding of row " << y;
    }
  }
}

TEST(ClearTo, RowByRowWhenImageSizeIsUnknown) {
  // A header whose size field was cleared (allowed for BI_RGB) still clears
  // every row, but leaves the padding alone.
  TLumoDIB D;
  D.UseSection = false;
  ASSERT_TRUE(D.Allocate(5, 3, 8));
  std::memset(D.Pixels, 0xEE, 24);
  D.Header.biSizeImage = 0;
  D.ClearTo(4);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      ASSERT_EQ(D.Rows[y][x], x < 5 ? 4 : 0xEE) << y << "," << x;
    }
  }
}

TEST(Fill, ValueWritesWordsThenHalfThenByte) {
  for (int32_t Count = 0; Count <= 11; ++Count) {
    uint8_t Buffer[16];
    std::memset(Buffer, 0xCC, sizeof(Buffer));
    FillValue(Buffer + 1, Count, 0x44332211);  // unaligned on purpose
    EXPECT_EQ(Buffer[0], 0xCC);
    for (int32_t i = 0; i < Count; ++i) {
      const int32_t Tail = Count - (Count & 3);
      // Whole words repeat all four bytes; the half and the byte restart at
      // the low end of the value.
      const uint8_t Expected = i < Tail ? 0x11 * (1 + i % 4) : 0x11 * (1 + (i - Tail) % 2);
      ASSERT_EQ(Buffer[1 + i], Expected) << "count " << Count << " byte " << i;
    }
    EXPECT_EQ(Buffer[1 + Count], 0xCC) << "count " << Count;
  }
  uint8_t Untouched = 0xCC;
  FillValue(&Untouched, -3, 0);
  EXPECT_EQ(Untouched, 0xCC);
}

TEST(Fill, Row24WritesExactlyCountPixels) {
  const TColourBGR Colour = MakeColour(0x11, 0x22, 0x33);
  for (int32_t Count = 0; Count <= 13; ++Count) {
    uint8_t Buffer[48];
    std::memset(Buffer, 0xCC, sizeof(Buffer));
    FillRow24(Buffer + 1, Count, Colour);
    for (int32_t i = 0; i < 3 * Count; ++i) {
      const uint8_t Expected[3] = {0x33, 0x22, 0x11};
      ASSERT_EQ(Buffer[1 + i], Expected[i % 3]) << "count " << Count << " byte " << i;
    }
    EXPECT_EQ(Buffer[0], 0xCC);
    EXPECT_EQ(Buffer[1 + 3 * Count], 0xCC) << "count " << Count;
  }
}

}  // namespace
