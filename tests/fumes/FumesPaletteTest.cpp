// Both colour schemes at the entries that define them, and switching back.
#include <cstring>

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
