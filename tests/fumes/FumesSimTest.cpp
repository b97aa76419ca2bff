// SPDX-License-Identifier: MIT
// The smoke step against its rules: where and what it seeds, which random
// numbers it draws, the two passes, the noise-driven decay and the edges of
// the flat buffer.
#include <algorithm>
#include <vector>

#include "FumesSim.h"
#include "FumesTestSupport.h"

using fumes_test::FieldTest;
using fumes_test::NoPasses;
using fumes_test::ScriptedRandom;

namespace {

// ---- seeding -------------------------------------------------------------

class FumesSeeding : public FieldTest {};

TEST_F(FumesSeeding, FreeModePlants51SourcesInTheLastTwoRowsOffsetBeforeValue) {
  MakeField(16, 8);  // s = 16, Size = 128, band starts at 96
  FumePasses = NoPasses;
  // Noise, then (offset, value) pairs: the first source at the band's first
  // byte, the second at the highest offset allowed (the next-to-last byte).
  std::initializer_list<int32_t> Script = {3, 0, 11, 30, 22};
  ScriptedRandom::Install(Script);
  ASSERT_TRUE(StepFumes());

  ASSERT_EQ(ScriptedRandom::Ranges.size(), 1u + 2u * 51u);
  EXPECT_EQ(ScriptedRandom::Ranges[0], 10);
  for (size_t i = 1; i < ScriptedRandom::Ranges.size(); i += 2) {
    EXPECT_EQ(ScriptedRandom::Ranges[i], 2 * 16 - 1) << "offset draw " << i;
    EXPECT_EQ(ScriptedRandom::Ranges[i + 1], 255) << "value draw " << i;
  }
  EXPECT_EQ(Bytes()[96 + 30], 22);
  EXPECT_EQ(Bytes()[127], 0) << "the very last byte is never a source";
  // The remaining 49 sources all hit offset 96 with value 0: the later write wins.
  EXPECT_EQ(Bytes()[96], 0);
  // Nothing above the band was touched.
  EXPECT_TRUE(std::all_of(Bytes(), Bytes() + 96, [](uint8_t b) { return b == 0; }));
}

TEST_F(FumesSeeding, PlantedValueIsRandomPlusBaseModulo256) {
  struct Case {
    int32_t Range, Base, Drawn;
    uint8_t Expected;
  };
  const Case Cases[] = {
      {255, 0, 200, 200},  // normal
      {0, 0, 0, 0},        // Space held: everything planted dark
      {0, 255, 0, 255},    // Shift held: everything planted at full heat
      {10, 250, 9, 3},     // 259 wraps
      {0, 256 + 7, 0, 7},  // only the low byte of the base counts
  };
  for (const Case& C : Cases) {
    MakeField(8, 6);
    FumePasses = NoPasses;
    SeedRange = C.Range;
    SeedBase = C.Base;
    ScriptedRandom::Install({0, 5, C.Drawn});
    ASSERT_TRUE(StepFumes());
    EXPECT_EQ(Bytes()[Size() - 2 * Stride() + 5], C.Expected) << "range " << C.Range << " base " << C.Base;
    // The generator is asked for [0, SeedRange) even when that range is empty.
    EXPECT_EQ(ScriptedRandom::Ranges[2], C.Range);
  }
}

TEST_F(FumesSeeding, SourcesCanLandOnRowPaddingButNeverOnTheLastByte) {
  MakeField(6, 5);  // 6 pixels in rows of 8 bytes: two padding bytes per row
  FumePasses = NoPasses;
  SeedBase = 255;
  SeedRange = 0;
  // Offsets 6 and 14 are padding bytes of the last two rows; 14 is the largest offset.
  ScriptedRandom::Install({0, 6, 0, 14, 0});
  ASSERT_TRUE(StepFumes());
  const uint8_t* Band = Bytes() + Size() - 16;
  EXPECT_EQ(Band[6], 255);
  EXPECT_EQ(Band[14], 255);
  EXPECT_EQ(Band[15], 0);
  EXPECT_EQ(ScriptedRandom::Ranges[1], 15);
}

TEST_F(FumesSeeding, DrawnPointsReplaceBottomSourcesAndOutsidePointsDrawNoRandom) {
  MakeField(10, 6);
  FumePasses = NoPasses;
  Drawing = true;
  FumePoints = {{1, 2}, {10, 0}, {3, 6}, {9, 5}, {65535, 65535}};
  ScriptedRandom::Install({4, 100, 101});
  ASSERT_TRUE(StepFumes());

  // Noise plus one value per point inside the field, in list order.
  EXPECT_EQ(ScriptedRandom::Ranges, (std::vector<int32_t>{10, 255, 255}));
  EXPECT_EQ(Field->Rows8[2][1], 100);
  EXPECT_EQ(Field->Rows8[5][9], 101);
  // Exactly those two bytes changed: no bottom sources while drawing.
  const int Changed = static_cast<int>(std::count_if(Bytes(), Bytes() + Size(), [](uint8_t b) { return b != 0; }));
  EXPECT_EQ(Changed, 2);
}

TEST_F(FumesSeeding, PointsOutsideAShrunkFieldPlantAgainOnceItGrows) {
  MakeField(4, 4);
  FumePasses = NoPasses;
  Drawing = true;
  FumePoints = {{6, 5}};
  ScriptedRandom::Install({0, 77});
  ASSERT_TRUE(StepFumes());
  EXPECT_EQ(ScriptedRandom::Ranges.size(), 1u);

  MakeField(8, 8);
  ScriptedRandom::Install({0, 77});
  ASSERT_TRUE(StepFumes());
  EXPECT_EQ(Field->Rows8[5][6], 77);
}

TEST_F(FumesSeeding, FewerThanFourRowsOrNoBytesDoNothingAtAll) {
  for (auto [Width, Height] : {std::pair{8, 3}, std::pair{8, 0}, std::pair{0, 8}}) {
    MakeField(Width, Height);
    ScriptedRandom::Install({});
    EXPECT_FALSE(StepFumes()) << Width << " x " << Height;
    EXPECT_TRUE(ScriptedRandom::Ranges.empty());
  }
  FumeDib = nullptr;
  EXPECT_FALSE(StepFumes());
}

// ---- the passes ------------------------------------------------------------

class FumesPasses : public FieldTest {};

// Bytes (0-based) of the main pass that decay when the noise starts at 1:
// the noise runs 1, 2, 3, 5, 8, 12, 18, 27, 41, 62, 93, 140, 210, 315.
const std::vector<size_t> kDecayedFromOne = {5, 7, 9, 10, 11, 13};

TEST_F(FumesPasses, NoiseSequenceDecidesWhichBytesDecay) {
  const uint32_t s = 16, Size = 16 * 12;
  std::vector<uint8_t> B(Size, 4);
  FumePassesPlain(B.data(), Size, s, 1);
  for (size_t p = 0; p < 14; ++p) {
    const bool Decays = std::find(kDecayedFromOne.begin(), kDecayedFromOne.end(), p) != kDecayedFromOne.end();
    EXPECT_EQ(B[p], Decays ? 3 : 4) << "byte " << p;
  }
  // Low bits 10 do not decay, 15 do: from 10 the noise runs 10, 15, ...
  std::vector<uint8_t> C(Size, 4);
  FumePassesPlain(C.data(), Size, s, 10);
  EXPECT_EQ(C[0], 4);
  EXPECT_EQ(C[1], 3);
  // Every average of a uniform field is that value or one less, nothing else.
  EXPECT_TRUE(std::all_of(B.begin(), B.begin() + (Size - 4 * s), [](uint8_t b) { return b == 3 || b == 4; }));
}

TEST_F(FumesPasses, StepTakesItsNoiseFromTheFirstRandomNumber) {
  MakeField(16, 12);
  std::fill(Bytes(), Bytes() + Size(), 4);
  SeedRange = 0;
  SeedBase = 4;  // keep the bottom rows at 4 as well
  ScriptedRandom::Install({1});
  ASSERT_TRUE(StepFumes());
  for (size_t p = 0; p < 14; ++p) {
    const bool Decays = std::find(kDecayedFromOne.begin(), kDecayedFromOne.end(), p) != kDecayedFromOne.end();
    EXPECT_EQ(Bytes()[p], Decays ? 3 : 4) << "byte " << p;
  }
}

TEST_F(FumesPasses, NoiseZeroNeverDecaysAndZeroNeverWraps) {
  const uint32_t s = 8, Size = 8 * 10;
  std::vector<uint8_t> B(Size, 8);
  FumePassesPlain(B.data(), Size, s, 0);
  const uint32_t Tail = Size - 4 * s;
  EXPECT_TRUE(std::all_of(B.begin(), B.begin() + Tail, [](uint8_t b) { return b == 8; }));
  // Three eights divided by four.
  EXPECT_TRUE(std::all_of(B.begin() + Tail, B.begin() + Tail + 2 * s - 1, [](uint8_t b) { return b == 6; }));
  EXPECT_TRUE(std::all_of(B.begin() + Tail + 2 * s - 1, B.end(), [](uint8_t b) { return b == 8; }));

  for (uint32_t Noise : {0u, 1u, 11u, 13u, 15u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> Dark(Size, 0);
    FumePassesPlain(Dark.data(), Size, s, Noise);
    EXPECT_TRUE(std::all_of(Dark.begin(), Dark.end(), [](uint8_t b) { return b == 0; })) << "noise " << Noise;
  }
}

TEST_F(FumesPasses, TailBandDividesThreeNeighboursByFour) {
  const uint32_t s = 8, Rows = 6, Size = s * Rows;
  std::vector<uint8_t> B(Size, 0);
  std::fill(B.end() - 2 * s, B.end(), 255);
  FumePassesPlain(B.data(), Size, s, 0);
  const uint32_t Tail = Size - 4 * s;
  // The tail's first byte has the never-averaged last byte of the third-last
  // row (still 0) as its left neighbour.
  EXPECT_EQ(B[Tail], 127);
  for (uint32_t p = Tail + 1; p < Tail + 2 * s - 1; ++p) {
    EXPECT_EQ(B[p], 191) << "byte " << p;  // 765 / 4
  }
  EXPECT_EQ(B[Size - 2 * s - 1], 0) << "the last byte of the third-last row is never averaged";
  EXPECT_TRUE(std::all_of(B.end() - 2 * s, B.end(), [](uint8_t b) { return b == 255; }));

  // With decaying noise the tail gives 191 or 190.
  std::vector<uint8_t> C(Size, 0);
  std::fill(C.end() - 2 * s, C.end(), 255);
  FumePassesPlain(C.data(), Size, s, 1);
  for (uint32_t p = Tail + 1; p < Tail + 2 * s - 1; ++p) {
    EXPECT_TRUE(C[p] == 191 || C[p] == 190) << "byte " << p << " is " << int(C[p]);
  }
}

TEST_F(FumesPasses, FourRowsRunOnlyTheTail) {
  const uint32_t s = 8, Size = 4 * s;
  std::vector<uint8_t> B(Size, 0);
  std::fill(B.begin() + 2 * s, B.end(), 200);
  B[2 * s - 1] = 0;
  FumePassesPlain(B.data(), Size, s, 0);
  EXPECT_EQ(B[0], 100);  // 0 + 200 + 200
  for (uint32_t p = 1; p < 2 * s - 1; ++p) {
    EXPECT_EQ(B[p], 150) << "byte " << p;
  }
  EXPECT_EQ(B[2 * s - 1], 0);
}

TEST_F(FumesPasses, NeighboursRunAcrossRowEndsOfTheFlatBuffer) {
  const uint32_t s = 8, Size = s * 10;  // 6 pixels and 2 padding bytes per row, say

  // Column 0 of row 0: its left neighbour two rows down is the last byte of row 1.
  std::vector<uint8_t> Left(Size, 0);
  Left[2 * s - 1] = 200;
  FumePassesPlain(Left.data(), Size, s, 0);
  EXPECT_EQ(Left[0], 50);

  // The last byte of row 0: its right neighbour two rows down is the first byte of row 3.
  std::vector<uint8_t> Right(Size, 0);
  Right[3 * s] = 200;
  FumePassesPlain(Right.data(), Size, s, 0);
  EXPECT_EQ(Right[s - 1], 50);
  EXPECT_EQ(Right[s], 50);      // directly above, two rows up
  EXPECT_EQ(Right[s + 1], 50);  // that byte is its left neighbour two rows down
  EXPECT_EQ(Right[s - 2], 0);
}

// ---- points and sparks -----------------------------------------------------

class FumesPoints : public FieldTest {};

TEST_F(FumesPoints, FirstPointClearsTheFieldAndLaterOnesDoNot) {
  MakeField(8, 8);
  std::fill(Bytes(), Bytes() + Size(), 9);
  AddFumePoint(1, 1);
  EXPECT_TRUE(Drawing);
  EXPECT_TRUE(std::all_of(Bytes(), Bytes() + Size(), [](uint8_t b) { return b == 0; }));

  std::fill(Bytes(), Bytes() + Size(), 9);
  AddFumePoint(70, 80);  // stored as given, no bounds check
  EXPECT_EQ(Bytes()[0], 9);
  ASSERT_EQ(FumePoints.size(), 2u);
  EXPECT_EQ(FumePoints[1].X, 70);
  EXPECT_EQ(FumePoints[1].Y, 80);
}

TEST_F(FumesPoints, ClearingForgetsEveryPointButKeepsThePicture) {
  MakeField(8, 8);
  AddFumePoint(1, 1);
  AddFumePoint(2, 2);
  Bytes()[10] = 42;
  ClearFumePoints();
  EXPECT_FALSE(Drawing);
  EXPECT_TRUE(FumePoints.empty());
  EXPECT_EQ(Bytes()[10], 42);
  // Free mode again: the bottom sources come back.
  FumePasses = NoPasses;
  ScriptedRandom::Install({});
  StepFumes();
  EXPECT_EQ(ScriptedRandom::Ranges.size(), 1u + 2u * 51u);
}

TEST_F(FumesPoints, SparksWriteZeroTo254OnlyInsideTheField) {
  MakeField(6, 5);
  ScriptedRandom::Install({254, 7, 7});
  SeedRange = 0;
  SeedBase = 255;  // sparks ignore the seeding values
  SparkAt(5, 4);
  EXPECT_EQ(Field->Rows8[4][5], 254);
  EXPECT_EQ(ScriptedRandom::Ranges, std::vector<int32_t>{255});

  SparkAt(6, 0);  // the first padding column is not a pixel
  SparkAt(0, 5);
  SparkAt(65535, 65535);
  EXPECT_EQ(ScriptedRandom::Ranges.size(), 1u);
  EXPECT_EQ(Field->Rows8[0][6], 0);
}

// ---- the generator -----------------------------------------------------------

TEST(FumesRandom, StaysInRangeAnswersZeroForAnEmptyRangeAndCoversIt) {
  RandomFunction = DefaultRandom;
  SeedRandom(12345);
  EXPECT_EQ(RandomInt(0), 0);
  EXPECT_EQ(RandomInt(-3), 0);
  std::vector<int> Seen(10, 0);
  for (int i = 0; i < 2000; ++i) {
    const int32_t v = RandomInt(10);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 10);
    ++Seen[static_cast<size_t>(v)];
    ASSERT_EQ(RandomInt(1), 0);
  }
  // Roughly uniform: each of ten values near 200 of 2000 draws.
  for (int Count : Seen) {
    EXPECT_GT(Count, 120);
    EXPECT_LT(Count, 280);
  }
  // Different seeds give different runs.
  SeedRandom(1);
  const int32_t A = RandomInt(1 << 30);
  SeedRandom(2);
  EXPECT_NE(A, RandomInt(1 << 30));
}

}  // namespace
