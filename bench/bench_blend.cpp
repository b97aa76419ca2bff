// SPDX-License-Identifier: MIT
// The feedback blend at twistview's window size, 8 bits, in place as the
// program runs it: each form of the row kernel's family table row by row,
// the blend with its chosen form, and memcpy of the same bytes as the floor.
#include <cstring>
#include <memory>
#include <random>

#include "LumoBlend.h"
#include "bench_common.h"
#include "kernels/LumoBlendWide.h"

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

void KernelBench(benchmark::State& State, TRowKernel Kernel) {
  TPair P;
  for (auto _ : State) {
    BlendRows(P.Feedback, P.Feedback, P.Frame, AvgBlendDepths, 0x7F7F7F7Fu, Kernel, Kernel);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}
[[maybe_unused]] const bool KernelsRegistered = lumo_bench::RegisterForms("BM_Blend", AvgRowForms, KernelBench);

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
