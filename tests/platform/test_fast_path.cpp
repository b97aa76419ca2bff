// SPDX-License-Identifier: MIT
// The fast-path chooser on a family of its own: the first form the processor
// has, levels turned off by name however they are separated, and the plain
// form kept whatever the switch says.
#include <gtest/gtest.h>

#include "LumoFastPath.h"

namespace {

bool Yes() { return true; }
bool No() { return false; }

constexpr TLumoForm<int> Forms[] = {{"avx512", No, 512}, {"avx2", Yes, 2}, {"sse2", Yes, 1}, {"plain", Yes, 0}};
static_assert(LumoWellFormed(Forms));

TEST(FastPath, FirstAvailableFormNotTurnedOff) {
  EXPECT_EQ(LumoChoose(Forms, "").Function, 2);
  EXPECT_EQ(LumoChoose(Forms, "avx2").Function, 1);
  EXPECT_EQ(LumoChoose(Forms, "avx512 avx2").Function, 1);
  EXPECT_EQ(LumoChoose(Forms, ",avx2,,\tsse2 ").Function, 0);
  // Names count whole: neither a prefix nor another case turns a level off.
  EXPECT_EQ(LumoChoose(Forms, "avx AVX2 avx22").Function, 2);
}

TEST(FastPath, ThePlainFormCannotBeTurnedOff) {
  EXPECT_EQ(LumoChoose(Forms, "avx512 avx2 sse2 plain").Function, 0);
  constexpr TLumoForm<int> OnlyPlain[] = {{"plain", No, 7}};
  EXPECT_EQ(LumoChoose(OnlyPlain, "plain").Function, 7);
}

TEST(FastPath, TablesGoFromWideToPlain) {
  constexpr TLumoForm<int> PlainFirst[] = {{"plain", Yes, 0}, {"avx2", Yes, 2}};
  constexpr TLumoForm<int> NarrowFirst[] = {{"sse2", Yes, 1}, {"avx2", Yes, 2}, {"plain", Yes, 0}};
  constexpr TLumoForm<int> Unknown[] = {{"altivec", Yes, 1}, {"plain", Yes, 0}};
  EXPECT_FALSE(LumoWellFormed(PlainFirst));
  EXPECT_FALSE(LumoWellFormed(NarrowFirst));
  EXPECT_FALSE(LumoWellFormed(Unknown));
}

}  // namespace
