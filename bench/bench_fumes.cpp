// SPDX-License-Identifier: MIT
// One smoke step (seeding and both passes) at 800 x 500, in free mode and in
// drawing mode, with the plain passes and each fast form.
#include <memory>

#include "FumesFast.h"
#include "FumesSim.h"
#include "bench_common.h"

namespace {

constexpr int32_t Width = 800;
constexpr int32_t Height = 500;

void StepBench(benchmark::State& State, TFumePasses Passes, bool Draw) {
  auto Field = std::make_unique<TLumoDIB>();
  Field->UseSection = false;
  Field->Allocate(Width, -Height, 8);
  Field->ClearTo(0);
  ResetFumeState();
  FumeDib = Field.get();
  SeedRandom(12345);
  if (Draw) {
    // A stroke of a few hundred points across the lower half.
    for (int I = 0; I < 300; ++I) {
      AddFumePoint(static_cast<uint16_t>(100 + 2 * I), static_cast<uint16_t>(300 + (I * 7) % 150));
    }
  }
  FumePasses = Passes;
  // Let the smoke fill the field before timing.
  for (int I = 0; I < 200; ++I) {
    StepFumes();
  }
  for (auto _ : State) {
    StepFumes();
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Field->Header.biSizeImage});
  FumePasses = FumePassesFast;
  ResetFumeState();
  FumeDib = nullptr;
}

// Each form of the family table, the scalar form from the decay bits, and
// the chosen form.
[[maybe_unused]] const bool FreeRegistered = lumo_bench::RegisterForms(
    "BM_FumesFree", FumePassesForms, [](benchmark::State& S, TFumePasses Passes) { StepBench(S, Passes, false); });
[[maybe_unused]] const bool DrawingRegistered = lumo_bench::RegisterForms(
    "BM_FumesDrawing", FumePassesForms, [](benchmark::State& S, TFumePasses Passes) { StepBench(S, Passes, true); });
void BM_FumesTableFree(benchmark::State& S) { StepBench(S, FumePassesTable, false); }
void BM_FumesFastFree(benchmark::State& S) { StepBench(S, FumePassesFast, false); }
void BM_FumesFastDrawing(benchmark::State& S) { StepBench(S, FumePassesFast, true); }
BENCHMARK(BM_FumesTableFree);
BENCHMARK(BM_FumesFastFree);
BENCHMARK(BM_FumesFastDrawing);

}  // namespace
