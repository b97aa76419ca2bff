// SPDX-License-Identifier: MIT
// Counters shared by the speed benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumo_bench {

// Besides the time per iteration (one frame): the pixels or bytes of a frame,
// so the time per unit can be worked out, and the throughput in units per
// second.
inline void CountUnits(benchmark::State& State, int64_t UnitsPerFrame) {
  State.counters["units"] = benchmark::Counter(static_cast<double>(UnitsPerFrame));
  State.counters["units_per_s"] =
      benchmark::Counter(static_cast<double>(UnitsPerFrame), benchmark::Counter::kIsIterationInvariantRate);
}

// One benchmark per form of a family table (see LumoFastPath.h), named
// Prefix/level in the table's order; Body(State, Function) times the form.
// A form this processor lacks is reported as skipped.
template <class TForm, std::size_t N, class TBody>
bool RegisterForms(const std::string& Prefix, const TForm (&Forms)[N], TBody Body) {
  for (const TForm& Form : Forms) {
    benchmark::RegisterBenchmark((Prefix + "/" + Form.Level).c_str(), [&Form, Body](benchmark::State& State) {
      if (!Form.Available()) {
        State.SkipWithError("not available on this processor");
        return;
      }
      Body(State, Form.Function);
    });
  }
  return true;
}

}  // namespace lumo_bench
