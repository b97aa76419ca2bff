// Counters shared by the speed benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace lumo_bench {

// Besides the time per iteration (one frame): the pixels or bytes of a frame,
// so the time per unit can be worked out, and the throughput in units per
// second.
inline void CountUnits(benchmark::State& State, int64_t UnitsPerFrame) {
  State.counters["units"] = benchmark::Counter(static_cast<double>(UnitsPerFrame));
  State.counters["units_per_s"] =
      benchmark::Counter(static_cast<double>(UnitsPerFrame), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace lumo_bench
