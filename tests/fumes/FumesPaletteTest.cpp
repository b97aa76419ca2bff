// SPDX-License-Identifier: MIT
// Both colour schemes at the entries that define them, and switching back.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FumesPalette.h"
#include "FumesSim.h"
#include "FumesTestSupport.h"

using fumes_test::FieldTest;

namespace {

struct Rgb {
  uint8_t Red, Green, Blue;
  bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const Rgb& C) {
  return Out << "(" << int(C.Red) << ", " << int(C.Green) << ", " << int(C.Blue) << ")";
}

Rgb Entry(const TLumoDIB& Dib, int Index) {
  const RGBQUAD& Q = Dib.Palette[Index];
  return {Q.rgbRed, Q.rgbGreen, Q.rgbBlue};
}

constexpr Rgb kBlack{0, 0, 0}, kYellow{255, 255, 0}, kBlue{0, 0, 255}, kNavy{0, 0, 128};

class FumesPalette : public FieldTest {
 protected:
  void SetUp() override {
    FieldTest::SetUp();
    AltScheme = false;
  }
};

TEST_F(FumesPalette, StartUpSchemeHasItsKeyColoursWhereExpected) {
  TLumoDIB& Dib = MakeField(16, 8);
  ApplyPalette(false);
  EXPECT_EQ(Entry(Dib, 0), kBlack);
  EXPECT_EQ(Entry(Dib, 100), kYellow);
  EXPECT_EQ(Entry(Dib, 150), kBlue);
  EXPECT_EQ(Entry(Dib, 255), kBlack);
  // Somewhere between black and yellow the smoke is grey-ish, not black.
  EXPECT_NE(Entry(Dib, 25), kBlack);
}

TEST_F(FumesPalette, AlternativeSchemeHasItsKeyColoursWhereExpected) {
  TLumoDIB& Dib = MakeField(16, 8);
  ApplyPalette(true);
  EXPECT_EQ(Entry(Dib, 0), kBlack);
  EXPECT_EQ(Entry(Dib, 120), kBlue);
  EXPECT_EQ(Entry(Dib, 136), kNavy);
  EXPECT_EQ(Entry(Dib, 255), kBlack);
}

struct Ramp {
  int First, Last;
  std::vector<Rgb> Keys;
};

// The ramp written out again here, from each entry's own position rather
// than a running sum: keys spread evenly, a key within half a step lands
// unblended, the rest is the truncated weighted mean.
void Expect(const std::vector<Rgb>& Got, const std::vector<Ramp>& Scheme) {
  std::vector<Rgb> Want(256);
  for (const Ramp& R : Scheme) {
    const int64_t L = static_cast<int64_t>(R.Keys.size()) - 1, Step = L * 65536 / (R.Last - R.First);
    Rgb Next = R.Keys[0];
    for (int E = R.First; E < R.Last; ++E) {
      const int64_t Pos = (E - R.First) * Step, K = Pos >> 16, Fb = Pos & 0xFFFF, Fa = 65536 - Fb;
      const Rgb A = R.Keys[static_cast<size_t>(K)];
      Next = R.Keys[static_cast<size_t>(K < L ? K + 1 : K)];
      auto Mix = [&](uint8_t Ca, uint8_t Cb) { return static_cast<uint8_t>((Ca * Fa + Cb * Fb) >> 16); };
      Want[static_cast<size_t>(E)] = 2 * Fa < Step ? Next
                                     : 2 * Fb < Step
                                         ? A
                                         : Rgb{Mix(A.Red, Next.Red), Mix(A.Green, Next.Green), Mix(A.Blue, Next.Blue)};
    }
    Want[static_cast<size_t>(R.Last)] = Next;
  }
  for (int E = 0; E < 256; ++E) EXPECT_EQ(Got[static_cast<size_t>(E)], Want[static_cast<size_t>(E)]) << "entry " << E;
}

TEST_F(FumesPalette, BothSchemesMatchTheirRampsEntryByEntry) {
  constexpr Rgb kGrey{128, 128, 128}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kLime{0, 255, 0};
  TLumoDIB& Dib = MakeField(16, 8);
  auto Table = [&] {
    std::vector<Rgb> T;
    for (int E = 0; E < 256; ++E) T.push_back(Entry(Dib, E));
    return T;
  };
  ApplyPalette(false);
  Expect(Table(), {{0, 100, {kBlack, kGrey, kYellow, kWhite, kYellow}},
                   {100, 150, {kYellow, kRed, kBlue}},
                   {150, 255, {kBlue, kBlack}}});
  ApplyPalette(true);
  Expect(Table(), {{0, 120, {kBlack, kGrey, kLime, kBlue, kLime, kRed, kBlue}},
                   {120, 136, {kBlue, kNavy}},
                   {136, 255, {kNavy, kBlack, kNavy, kBlack}}});
}

TEST_F(FumesPalette, SwitchingBackRestoresTheFirstSchemeExactlyAndLeavesPixelsAlone) {
  TLumoDIB& Dib = MakeField(16, 8);
  Dib.Pixels[5] = 123;
  ApplyPalette(false);
  RGBQUAD First[256];
  std::memcpy(First, Dib.Palette, sizeof(First));
  ApplyPalette(true);
  EXPECT_NE(std::memcmp(First, Dib.Palette, sizeof(First)), 0);
  ApplyPalette(false);
  EXPECT_EQ(std::memcmp(First, Dib.Palette, sizeof(First)), 0);
  EXPECT_EQ(Dib.Pixels[5], 123);
}

TEST_F(FumesPalette, SchemeSurvivesReallocationAtANewSize) {
  TLumoDIB& Dib = MakeField(16, 8);
  ApplyPalette(true);
  ASSERT_TRUE(Dib.Allocate(40, -30, 8));
  EXPECT_EQ(Entry(Dib, 120), kBlue);
  EXPECT_EQ(Entry(Dib, 136), kNavy);
}

}  // namespace
