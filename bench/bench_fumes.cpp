// One smoke step (seeding and both passes) at 800 x 500, in free mode and in
// drawing mode, with the plain passes and each fast form.
#include <memory>

#include "FumesFast.h"
#include "FumesSim.h"
#include "bench_common.h"

namespace {

constexpr int32_t Width = 800;
constexpr int32_t Height = 500;

void StepBench(benchmark::State& State, TFumePasses Passes, bool Draw, bool Available) {
  if (!Available) {
    State.SkipWithError("not available on this processor");
    return;
  }
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

void BM_FumesPlainFree(benchmark::State& S) { StepBench(S, FumePassesPlain, false, true); }
void BM_FumesPlainDrawing(benchmark::State& S) { StepBench(S, FumePassesPlain, true, true); }
void BM_FumesTableFree(benchmark::State& S) { StepBench(S, FumePassesTable, false, true); }
void BM_FumesSSE2Free(benchmark::State& S) { StepBench(S, FumePassesSSE2, false, CanRunFumePassesSSE2()); }
void BM_FumesSSE2Drawing(benchmark::State& S) { StepBench(S, FumePassesSSE2, true, CanRunFumePassesSSE2()); }
void BM_FumesAVX2Free(benchmark::State& S) { StepBench(S, FumePassesAVX2, false, CanRunFumePassesAVX2()); }
void BM_FumesAVX2Drawing(benchmark::State& S) { StepBench(S, FumePassesAVX2, true, CanRunFumePassesAVX2()); }
void BM_FumesFastFree(benchmark::State& S) { StepBench(S, FumePassesFast, false, true); }
void BM_FumesFastDrawing(benchmark::State& S) { StepBench(S, FumePassesFast, true, true); }
BENCHMARK(BM_FumesPlainFree);
BENCHMARK(BM_FumesPlainDrawing);
BENCHMARK(BM_FumesTableFree);
BENCHMARK(BM_FumesSSE2Free);
BENCHMARK(BM_FumesSSE2Drawing);
BENCHMARK(BM_FumesAVX2Free);
BENCHMARK(BM_FumesAVX2Drawing);
BENCHMARK(BM_FumesFastFree);
BENCHMARK(BM_FumesFastDrawing);

}  // namespace
