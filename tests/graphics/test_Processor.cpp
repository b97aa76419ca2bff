// SPDX-License-Identifier: MIT
// Processor detection against fake CPUID answers, and the real processor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "LumoDIB.h"

namespace {

struct FakeProcessor {
  bool IdFlag = true;
  std::map<uint32_t, std::vector<uint32_t>> Leaves;  // EAX, EBX, ECX, EDX
  uint32_t Count = 4;
  std::vector<uint32_t> Asked;

  TCpuidSource Source() {
    return TCpuidSource{[this] { return IdFlag; },
                        [this](uint32_t Leaf, uint32_t Regs[4]) {
                          Asked.push_back(Leaf);
                          auto It = Leaves.find(Leaf);
                          for (int i = 0; i < 4; ++i) {
                            Regs[i] = It == Leaves.end() ? 0 : It->second[i];
                          }
                        },
                        [this] { return Count; }};
  }
  bool WasAsked(uint32_t Leaf) const { return std::find(Asked.begin(), Asked.end(), Leaf) != Asked.end(); }
};

// "GenuineIntel" as CPUID leaf 0 spreads it over EBX, EDX, ECX.
constexpr uint32_t Genu = 0x756E6547, ineI = 0x49656E69, ntel = 0x6C65746E;

TEST(DetectProcessor, WithoutCpuidOnlyTheCountIsKnown) {
  FakeProcessor P;
  P.IdFlag = false;
  P.Count = 0x102;  // only the low byte is kept
  const TProcessorInfo Info = DetectProcessor(P.Source());
  EXPECT_EQ(Info.Vendor.Length, 0);
  EXPECT_EQ(Info.Features, 0);
  EXPECT_EQ(Info.Family, 0);
  EXPECT_EQ(Info.Model, 0);
  EXPECT_EQ(Info.ProcessorCount, 2);
  EXPECT_TRUE(P.Asked.empty());
}

TEST(DetectProcessor, HighestLeafZeroKeepsTheVendorOnly) {
  FakeProcessor P;
  P.Leaves[0] = {0, Genu, ntel, ineI};
  P.Leaves[1] = {0x0F7A, 0, 0, 0xFFFFFFFF};
  const TProcessorInfo Info = DetectProcessor(P.Source());
  EXPECT_EQ(Info.Vendor.View(), "GenuineIntel");
  EXPECT_EQ(Info.Features, 0);
  EXPECT_EQ(Info.Family, 0);
  EXPECT_EQ(Info.Model, 0);
  EXPECT_FALSE(P.WasAsked(1));
  EXPECT_EQ(Info.ProcessorCount, 4);
}

TEST(DetectProcessor, VendorBytesComeFromEbxEdxEcx) {
  FakeProcessor P;
  P.Leaves[0] = {1, 0x64636261, 0x6C6B6A69, 0x68676665};  // "abcd", "ijkl", "efgh"
  const TProcessorInfo Info = DetectProcessor(P.Source());
  EXPECT_EQ(Info.Vendor.Length, 12);
  EXPECT_EQ(Info.Vendor.View(), "abcdefghijkl");
}

TEST(DetectProcessor, OnlyMmxBitGivesFeatureByteFour) {
  FakeProcessor P;
  P.Leaves[0] = {1, Genu, ntel, ineI};
  P.Leaves[1] = {0, 0, 0xFFFFFFFF, 1u << 23};  // ECX bits are never read
  const TProcessorInfo Info = DetectProcessor(P.Source());
  EXPECT_EQ(Info.Features, 4);
  EXPECT_TRUE(Info.Has(pfMMX));
}

TEST(DetectProcessor, ExtendedLeafExactlyBaseIsNotQueried) {
  FakeProcessor P;
  P.Leaves[0] = {1, Genu, ntel, ineI};
  P.Leaves[0x80000000] = {0x80000000, 0, 0, 0};
  P.Leaves[0x80000001] = {0, 0, 0, 0xFFFFFFFF};
  const TProcessorInfo Info = DetectProcessor(P.Source());
  EXPECT_TRUE(P.WasAsked(0x80000000));
  EXPECT_FALSE(P.WasAsked(0x80000001));
  EXPECT_EQ(Info.Features, 0);
}

TEST(DetectProcessor, EveryFeatureBitAndFamilyModel) {
  FakeProcessor P;
  P.Leaves[0] = {2, Genu, ntel, ineI};
  // Extended family and model bits set too: they must not leak in.
  P.Leaves[1] = {0x0FF006A5, 0, 0, (1u << 8) | (1u << 15) | (1u << 23) | (1u << 25) | (1u << 26)};
  P.Leaves[0x80000000] = {0x80000008, 0, 0, 0};
  P.Leaves[0x80000001] = {0, 0, 0, (1u << 22) | (1u << 30) | (1u << 31)};
  const TProcessorInfo Info = DetectProcessor(P.Source());
  EXPECT_EQ(Info.Features, 0xFF);
  EXPECT_EQ(Info.Family, 6);
  EXPECT_EQ(Info.Model, 0xA);

  struct One {
    uint32_t Leaf;
    int Bit;
    uint8_t Value;
  };
  for (const One& O : {One{1, 8, 1}, One{1, 15, 2}, One{1, 23, 4}, One{0x80000001, 22, 8}, One{1, 25, 16},
                       One{1, 26, 32}, One{0x80000001, 31, 64}, One{0x80000001, 30, 128}}) {
    FakeProcessor Q;
    Q.Leaves[0] = {1, Genu, ntel, ineI};
    Q.Leaves[0x80000000] = {0x80000001, 0, 0, 0};
    Q.Leaves[O.Leaf] = {0, 0, 0, 1u << O.Bit};
    EXPECT_EQ(DetectProcessor(Q.Source()).Features, O.Value) << "leaf " << O.Leaf << " bit " << O.Bit;
  }
}

// The record start-up filled, against the processor read here directly: a
// record left zero, or filled from the wrong registers, shows.
TEST(DetectProcessor, StartUpRecordDescribesThisMachine) {
  SYSTEM_INFO System{};
  GetSystemInfo(&System);
  EXPECT_EQ(ProcessorInfo.ProcessorCount, static_cast<uint8_t>(System.dwNumberOfProcessors & 0xFF));
#if defined(__i386__) || defined(__x86_64__)
  unsigned A = 0, B = 0, C = 0, D = 0;
  __cpuid(0, A, B, C, D);
  char Vendor[12];
  std::memcpy(Vendor, &B, 4);
  std::memcpy(Vendor + 4, &D, 4);
  std::memcpy(Vendor + 8, &C, 4);
  EXPECT_EQ(ProcessorInfo.Vendor.View(), std::string_view(Vendor, 12));
  __cpuid(1, A, B, C, D);
  EXPECT_EQ(ProcessorInfo.Family, (A >> 8) & 15);
  EXPECT_EQ(ProcessorInfo.Model, (A >> 4) & 15);
  EXPECT_EQ(ProcessorInfo.Has(pfMMX), ((D >> 23) & 1) != 0);
  EXPECT_EQ(ProcessorInfo.Has(pfSSE2), ((D >> 26) & 1) != 0);
  EXPECT_EQ(ProcessorInfo.Has(pfCMov), ((D >> 15) & 1) != 0);
#else
  EXPECT_EQ(ProcessorInfo.Features, 0);
#endif
}

// Under an emulated processor model the test command names the features the
// model has (LUMO_EXPECT_FEATURES, e.g. "CmpXchg8B CMov MMX"): the record
// holds exactly those, so an emulator that let SSE through would show.
TEST(DetectProcessor, StartUpRecordHoldsTheNamedModelsFeatures) {
  const char* Expected = std::getenv("LUMO_EXPECT_FEATURES");
  if (Expected == nullptr) {
    GTEST_SKIP() << "no processor model named";
  }
  const std::pair<TProcessorFeature, const char*> Names[] = {
      {pfCmpXchg8B, "CmpXchg8B"}, {pfCMov, "CMov"},   {pfMMX, "MMX"},          {pfMMXExt, "MMXExt"}, {pfSSE, "SSE"},
      {pfSSE2, "SSE2"},           {pf3DNow, "3DNow"}, {pf3DNowExt, "3DNowExt"}};
  std::string Got;
  for (const auto& [Feature, Name] : Names) {
    if (ProcessorInfo.Has(Feature)) {
      if (!Got.empty()) {
        Got += ' ';
      }
      Got += Name;
    }
  }
  EXPECT_EQ(Got, Expected);
}

}  // namespace
