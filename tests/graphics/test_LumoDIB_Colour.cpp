// SPDX-License-Identifier: MIT
// Colour records, COLORREF conversion and palette ramps.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "LumoDIB.h"

namespace {

const TColourBGR Black = MakeColour(0, 0, 0);
const TColourBGR White = MakeColour(255, 255, 255);

void ExpectEntry(const RGBQUAD& E, TColourBGR C, const char* What) {
  EXPECT_EQ(E.rgbRed, C.Red) << What;
  EXPECT_EQ(E.rgbGreen, C.Green) << What;
  EXPECT_EQ(E.rgbBlue, C.Blue) << What;
}

std::vector<RGBQUAD> Table(uint8_t Fill) {
  std::vector<RGBQUAD> T(256);
  std::memset(T.data(), Fill, 256 * sizeof(RGBQUAD));
  return T;
}

TEST(Colour, RecordAndColourRef) {
  const TColourBGR C = MakeColour(3, 2, 1);
  EXPECT_EQ(C.Red, 3);
  EXPECT_EQ(C.Green, 2);
  EXPECT_EQ(C.Blue, 1);
  uint8_t Bytes[3];
  std::memcpy(Bytes, &C, 3);
  EXPECT_EQ(Bytes[0], 1) << "blue first, like a 24-bit pixel";
  EXPECT_EQ(Bytes[2], 3);
  EXPECT_EQ(ColourToRef(C), 0x00010203u);
  EXPECT_EQ(ColourToRef(MakeColour(0, 255, 0)), static_cast<COLORREF>(RGB(0, 255, 0)));
  EXPECT_EQ(ColourToRef(MakeColour(255, 0, 0)), 0x000000FFu);
}

TEST(Ramp, TwoKeysBlendEvenly) {
  auto T = Table(0);
  const TColourBGR Keys[] = {Black, White};
  FillRamp(T.data(), 0, 255, Keys, 2);
  ExpectEntry(T[0], Black, "first");
  ExpectEntry(T[255], White, "last");
  ExpectEntry(T[128], MakeColour(127, 127, 127), "middle");
  for (int e = 1; e < 255; ++e) {
    ASSERT_LE(T[e - 1].rgbRed, T[e].rgbRed) << e;
  }
}

TEST(Ramp, ThreeKeysSnapToTheMiddleKey) {
  auto T = Table(0);
  const TColourBGR Teal = MakeColour(0, 100, 128);
  const TColourBGR Keys[] = {Black, Teal, White};
  FillRamp(T.data(), 0, 255, Keys, 3);
  ExpectEntry(T[0], Black, "key 0");
  ExpectEntry(T[128], Teal, "key 1 snapped");
  ExpectEntry(T[255], White, "key 2");
}

TEST(Ramp, OneKeyFillsTheRange) {
  auto T = Table(0x99);
  const TColourBGR Keys[] = {MakeColour(1, 2, 3)};
  FillRamp(T.data(), 10, 20, Keys, 1);
  for (int e = 10; e <= 20; ++e) {
    ExpectEntry(T[e], Keys[0], "inside");
  }
  EXPECT_EQ(T[9].rgbRed, 0x99);
  EXPECT_EQ(T[21].rgbRed, 0x99);
}

TEST(Ramp, ReservedByteAndOutsideEntriesUntouched) {
  auto T = Table(0x5A);
  const TColourBGR Keys[] = {Black, White, Black, MakeColour(9, 8, 7)};
  FillRamp(T.data(), 100, 150, Keys, 4);
  for (int e = 0; e < 256; ++e) {
    ASSERT_EQ(T[e].rgbReserved, 0x5A) << e;
    if (e < 100 || e > 150) {
      ASSERT_EQ(T[e].rgbRed, 0x5A) << e;
    }
  }
  ExpectEntry(T[150], Keys[3], "last key");
}

TEST(Ramp, MoreKeysThanEntriesStaysInsideTheKeys) {
  auto T = Table(0);
  std::vector<TColourBGR> Keys;
  for (int k = 0; k < 7; ++k) {
    Keys.push_back(MakeColour(static_cast<uint8_t>(k * 10), 0, 0));
  }
  FillRamp(T.data(), 120, 122, Keys.data(), 7);  // two steps of three keys each
  for (int e = 120; e <= 122; ++e) {
    EXPECT_EQ(T[e].rgbRed % 10, 0) << "entry " << e << " is one of the keys";
    EXPECT_LE(T[e].rgbRed, 60);
  }
  // The last entry is the B of the final step: key 4, not the last key.
  ExpectEntry(T[122], Keys[4], "last");
}

TEST(Ramp, BadRangesWriteNothing) {
  const TColourBGR Keys[] = {Black, White};
  struct Case {
    int32_t First, Last, Count;
  };
  for (const Case& C :
       {Case{10, 10, 2}, Case{20, 10, 2}, Case{-1, 10, 2}, Case{0, 256, 2}, Case{0, 255, 0}, Case{0, 255, -5}}) {
    auto T = Table(0x77);
    FillRamp(T.data(), C.First, C.Last, Keys, C.Count);
    for (int e = 0; e < 256; ++e) {
      ASSERT_EQ(T[e].rgbRed, 0x77) << C.First << ".." << C.Last << " keys " << C.Count;
    }
  }
  auto T = Table(0x77);
  FillRamp(T.data(), 0, 10, nullptr, 2);
  EXPECT_EQ(T[0].rgbRed, 0x77);
  FillRamp(nullptr, 0, 10, Keys, 2);  // must simply return
}

TEST(Ramp, PaletteOfAnUnallocatedSurfaceWaitsForTheSection) {
  TLumoDIB D;
  D.RampPalette(0, 255, {Black, MakeColour(0, 100, 128), White});
  ExpectEntry(D.Palette[255], White, "ramped without a section");
  ASSERT_TRUE(D.Allocate(2, -1, 8));
  D.Rows8[0][0] = 255;
  D.Rows8[0][1] = 128;
  TLumoDIB Target;
  ASSERT_TRUE(Target.Allocate(2, -1, 32));
  D.DrawTo(Target.MemDC, 0, 0);
  uint32_t Pixels[2];
  std::memcpy(Pixels, Target.Pixels, 8);
  EXPECT_EQ(Pixels[0] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(Pixels[1] & 0xFFFFFF, 0x006480u);

  // A later ramp on the allocated surface shows at once.
  D.RampPalette(0, 255, std::vector<TColourBGR>{MakeColour(255, 0, 0), MakeColour(255, 0, 0)});
  D.DrawTo(Target.MemDC, 0, 0);
  std::memcpy(Pixels, Target.Pixels, 8);
  EXPECT_EQ(Pixels[0] & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
