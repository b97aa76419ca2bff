// SPDX-License-Identifier: MIT
// The fast smoke passes against the plain ones, byte for byte: every row
// length from 1 to 40 and some odd larger ones, the smallest heights, every
// starting noise, and whole steps in free and drawing mode.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "FumesFast.h"
#include "FumesSim.h"
#include "FumesTestSupport.h"

using fumes_test::FieldTest;

namespace {

struct TNamedPasses {
  const char* Name;
  TFumePasses Passes;
  bool Runs;
};

// The chosen form when the decay bits cannot be had: it falls back to the
// plain passes.
void ChosenWithoutTables(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  SetFumeDecayTablesUnavailable(true);
  FumePassesFast(B, Size, s, Noise);
  SetFumeDecayTablesUnavailable(false);
}

// Every form of the family table, the scalar form from the decay bits, and
// the chosen one with and without its decay bits.
std::vector<TNamedPasses> FastForms() {
  std::vector<TNamedPasses> Forms;
  for (const auto& Form : FumePassesForms) {
    Forms.push_back({Form.Level, Form.Function, Form.Available()});
  }
  Forms.push_back({"table", FumePassesTable, true});
  Forms.push_back({"chosen", FumePassesFast, true});
  Forms.push_back({"chosen without tables", ChosenWithoutTables, true});
  return Forms;
}

// Fields that exercise the sums: noise, bright, sparse, a ramp that carries
// through every low-bit combination, and all 255 (the largest sums).
std::vector<uint8_t> Field(uint32_t Size, int Kind, std::mt19937& Random) {
  std::vector<uint8_t> B(Size);
  for (uint32_t i = 0; i < Size; ++i) {
    switch (Kind) {
      case 0:
        B[i] = static_cast<uint8_t>(Random());
        break;
      case 1:
        B[i] = static_cast<uint8_t>(192 + Random() % 64);
        break;
      case 2:
        B[i] = Random() % 7 == 0 ? static_cast<uint8_t>(1 + Random() % 4) : 0;
        break;
      case 3:
        B[i] = static_cast<uint8_t>(i * 37 + i / 3);
        break;
      default:
        B[i] = 255;
        break;
    }
  }
  return B;
}

// Runs the plain and every fast form on copies of B and reports the first
// byte where one differs.
void ExpectSamePasses(const std::vector<uint8_t>& Start, uint32_t s, uint32_t Noise, const std::string& What) {
  const uint32_t Size = static_cast<uint32_t>(Start.size());
  std::vector<uint8_t> Expected = Start;
  FumePassesPlain(Expected.data(), Size, s, Noise);
  for (const TNamedPasses& Form : FastForms()) {
    if (!Form.Runs) {
      continue;
    }
    // Guard bytes around the field catch a write outside it.
    std::vector<uint8_t> Got(Size + 64, 0xA5);
    std::memcpy(Got.data() + 32, Start.data(), Size);
    Form.Passes(Got.data() + 32, Size, s, Noise);
    for (uint32_t i = 0; i < 32; ++i) {
      ASSERT_EQ(Got[i], 0xA5) << Form.Name << " wrote before the field, " << What;
      ASSERT_EQ(Got[32 + Size + i], 0xA5) << Form.Name << " wrote after the field, " << What;
    }
    for (uint32_t i = 0; i < Size; ++i) {
      ASSERT_EQ(Got[32 + i], Expected[i]) << Form.Name << " differs at byte " << i << ", " << What;
    }
  }
}

TEST(FumesFast, EveryNarrowWidthTinyHeightAndSeed) {
  std::mt19937 Random(7);
  for (uint32_t s = 1; s <= 40; ++s) {
    for (uint32_t H : {4u, 5u, 6u, 7u, 9u}) {
      for (uint32_t Noise = 0; Noise < 10; ++Noise) {
        const int Kind = static_cast<int>((s + H + Noise) % 5);
        ExpectSamePasses(Field(s * H, Kind, Random), s, Noise,
                         "s=" + std::to_string(s) + " H=" + std::to_string(H) + " noise=" + std::to_string(Noise));
      }
    }
  }
}

TEST(FumesFast, OddAndProgramSizesEveryFieldKind) {
  std::mt19937 Random(11);
  const uint32_t Sizes[][2] = {{63, 11}, {65, 8}, {97, 5}, {100, 33}, {801, 7}, {800, 40}, {1021, 4}};
  for (const auto& Size : Sizes) {
    for (int Kind = 0; Kind < 5; ++Kind) {
      for (uint32_t Noise = 0; Noise < 10; ++Noise) {
        ExpectSamePasses(Field(Size[0] * Size[1], Kind, Random), Size[0], Noise,
                         "s=" + std::to_string(Size[0]) + " H=" + std::to_string(Size[1]) +
                             " kind=" + std::to_string(Kind) + " noise=" + std::to_string(Noise));
      }
    }
  }
}

TEST(FumesFast, NoiseOutsideTheProgramsRangeAndTablesThatGrow) {
  std::mt19937 Random(3);
  // A starting value the program never uses still follows its sequence, and
  // a table built for a small field is extended for a larger one.
  for (uint32_t Noise : {0xFFFFFFFFu, 12345u, 0x80000000u, 10u, 5u}) {
    for (uint32_t s : {8u, 33u, 160u}) {
      ExpectSamePasses(Field(s * 6, 0, Random), s, Noise, "noise=" + std::to_string(Noise));
      ExpectSamePasses(Field(s * 50, 0, Random), s, Noise, "grown, noise=" + std::to_string(Noise));
      ExpectSamePasses(Field(s * 5, 3, Random), s, Noise, "shrunk, noise=" + std::to_string(Noise));
    }
  }
  ForgetFumeDecayTables();
  ExpectSamePasses(Field(64 * 9, 0, Random), 64, 7, "after forgetting");
}

// Whole steps, seeding included, with the same random numbers for both.
class FumesFastSteps : public FieldTest {
 protected:
  std::vector<uint8_t> Run(TFumePasses Passes, bool Draw, int32_t Width, int32_t Height, int Steps) {
    MakeField(Width, Height);
    SeedRandom(99);
    FumePasses = Passes;
    if (Draw) {
      // Points inside, on the edges and outside the field.
      for (int i = 0; i < 40; ++i) {
        AddFumePoint(static_cast<uint16_t>((i * 37) % (Width + 3)), static_cast<uint16_t>((i * 11) % (Height + 2)));
      }
    }
    for (int i = 0; i < Steps; ++i) {
      EXPECT_TRUE(StepFumes());
    }
    std::vector<uint8_t> Out(Bytes(), Bytes() + Size());
    ResetFumeState();
    return Out;
  }
};

TEST_F(FumesFastSteps, FreeAndDrawingModeMatchThePlainStepsOverManyFrames) {
  for (bool Draw : {false, true}) {
    for (const auto& Size : {std::pair{800, 500}, std::pair{13, 4}, std::pair{35, 9}}) {
      const std::vector<uint8_t> Expected = Run(FumePassesPlain, Draw, Size.first, Size.second, 30);
      const std::vector<uint8_t> Got = Run(FumePassesFast, Draw, Size.first, Size.second, 30);
      ASSERT_EQ(Got.size(), Expected.size());
      EXPECT_TRUE(Got == Expected) << (Draw ? "drawing" : "free") << " mode at " << Size.first << "x" << Size.second;
    }
  }
}

}  // namespace
