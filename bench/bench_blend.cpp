// The feedback blend at twistview's window size, 8 bits, in place as the
// program runs it: each row kernel, the dispatcher, and memcpy of the same
// bytes as the floor.
#include <cstring>
#include <memory>
#include <random>

#include "LumoBlend.h"
#include "bench_common.h"
#include "kernels/LumoBlendWide.h"
#include "kernels/LumoCpu.h"

namespace {

constexpr int32_t Width = 768;
constexpr int32_t Height = 536;

struct TPair {
  TLumoDIB Feedback, Frame;
  TPair() {
    for (TLumoDIB* D : {&Feedback, &Frame}) {
      D->UseSection = false;
      D->Allocate(Width, Height, 8);
    }
    std::mt19937 Random(5);
    for (uint32_t I = 0; I < Frame.Header.biSizeImage; ++I) {
      Frame.Pixels[I] = static_cast<uint8_t>(Random());
      Feedback.Pixels[I] = static_cast<uint8_t>(Random());
    }
  }
};

void KernelBench(benchmark::State& State, TRowKernel Kernel, bool Available) {
  if (!Available) {
    State.SkipWithError("not available on this processor");
    return;
  }
  TPair P;
  for (auto _ : State) {
    BlendRows(P.Feedback, P.Feedback, P.Frame, AvgBlendDepths, 0x7F7F7F7Fu, Kernel, Kernel);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}

void BM_BlendPlain(benchmark::State& S) { KernelBench(S, AvgRowPlain, true); }
void BM_BlendMMX(benchmark::State& S) { KernelBench(S, AvgRowMMX, ProcessorInfo.Has(pfMMX)); }
void BM_BlendSSE2(benchmark::State& S) { KernelBench(S, AvgRowSSE2, LumoHasSSE2()); }
void BM_BlendAVX2(benchmark::State& S) { KernelBench(S, AvgRowAVX2, LumoHasAVX2()); }
void BM_BlendAVX512(benchmark::State& S) { KernelBench(S, AvgRowAVX512, LumoHasAVX512()); }
BENCHMARK(BM_BlendPlain);
BENCHMARK(BM_BlendMMX);
BENCHMARK(BM_BlendSSE2);
BENCHMARK(BM_BlendAVX2);
BENCHMARK(BM_BlendAVX512);

void BM_BlendAvgBlend(benchmark::State& State) {
  TPair P;
  for (auto _ : State) {
    AvgBlend(P.Feedback, P.Feedback, P.Frame);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}
BENCHMARK(BM_BlendAvgBlend);

void BM_BlendMemcpy(benchmark::State& State) {
  TPair P;
  for (auto _ : State) {
    std::memcpy(P.Feedback.Pixels, P.Frame.Pixels, P.Frame.Header.biSizeImage);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}
BENCHMARK(BM_BlendMemcpy);

}  // namespace
