// SPDX-License-Identifier: MIT
// Whole-surface operations at the fumes window size.
#include <benchmark/benchmark.h>

#include "LumoDIB.h"
#include "LumoFX.h"

namespace {

constexpr int32_t Width = 800;
constexpr int32_t Height = 500;

void AllocateOrSkip(benchmark::State& State, TLumoDIB& D, uint8_t Bpp) {
  if (!D.Allocate(Width, -Height, Bpp)) {
    State.SkipWithError("surface allocation failed");
  }
}

void BM_ClearTo8(benchmark::State& State) {
  TLumoDIB D;
  AllocateOrSkip(State, D, 8);
  uint32_t Value = 0;
  for (auto _ : State) {
    D.ClearTo(++Value & 0xFF);
    benchmark::DoNotOptimize(D.Pixels);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * int64_t{D.Header.biSizeImage});
}
BENCHMARK(BM_ClearTo8);

void BM_ClearTo24(benchmark::State& State) {
  TLumoDIB D;
  AllocateOrSkip(State, D, 24);
  uint32_t Value = 0;
  for (auto _ : State) {
    D.ClearTo(++Value & 0xFFFFFF);
    benchmark::DoNotOptimize(D.Pixels);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * int64_t{D.Header.biSizeImage});
}
BENCHMARK(BM_ClearTo24);

void BM_FillRow24(benchmark::State& State) {
  TLumoDIB D;
  AllocateOrSkip(State, D, 24);
  const TColourBGR Colour = MakeColour(12, 34, 56);
  for (auto _ : State) {
    for (int32_t y = 0; y < D.RowCount; ++y) {
      FillRow24(D.Rows[y], Width, Colour);
    }
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * int64_t{Width} * 3 * Height);
}
BENCHMARK(BM_FillRow24);

void BM_FlipRows(benchmark::State& State) {
  TLumoDIB D;
  AllocateOrSkip(State, D, 8);
  for (auto _ : State) {
    FlipRows(D);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * int64_t{D.Header.biSizeImage});
}
BENCHMARK(BM_FlipRows);

}  // namespace
