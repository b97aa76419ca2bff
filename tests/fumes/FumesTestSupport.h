// SPDX-License-Identifier: MIT
// Shared helpers of the fumes tests: a scripted random generator and a field
// the simulation runs on.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "FumesSim.h"
#include "LumoDIB.h"

namespace fumes_test {

// Answers RandomInt from a script and records every range asked for. When
// the script runs dry it answers 0.
struct ScriptedRandom {
  static inline std::deque<int32_t> Answers;
  static inline std::vector<int32_t> Ranges;
  static int32_t Next(int32_t N) {
    Ranges.push_back(N);
    if (Answers.empty()) {
      return 0;
    }
    int32_t Value = Answers.front();
    Answers.pop_front();
    return Value;
  }
  static void Install(std::initializer_list<int32_t> Script) {
    Answers.assign(Script.begin(), Script.end());
    Ranges.clear();
    RandomFunction = Next;
  }
};

// Leaves the buffer exactly as seeding left it, so seeding can be observed.
inline void NoPasses(uint8_t*, uint32_t, uint32_t, uint32_t) {}

// Points FumeDib at a fresh top-down 8-bit field of its own and puts every
// global back afterwards.
class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFumeState();
    SavedPasses = FumePasses;
  }
  void TearDown() override {
    FumeDib = nullptr;
    Field.reset();
    ResetFumeState();
    RandomFunction = DefaultRandom;
    FumePasses = SavedPasses;
  }
  TLumoDIB& MakeField(int32_t Width, int32_t Height) {
    Field = std::make_unique<TLumoDIB>();
    EXPECT_TRUE(Field->Allocate(Width, -Height, 8));
    Field->ClearTo(0);
    FumeDib = Field.get();
    return *Field;
  }
  uint8_t* Bytes() { return Field->Pixels; }
  uint32_t Size() const { return Field->Header.biSizeImage; }
  uint32_t Stride() const { return static_cast<uint32_t>(Field->RowBytes); }

  std::unique_ptr<TLumoDIB> Field;
  TFumePasses SavedPasses = nullptr;
};

}  // namespace fumes_test
