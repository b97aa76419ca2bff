// SPDX-License-Identifier: MIT
// The presentation log line of the frame-rate benchmark.
#include "user/PresentLog.h"

#include <chrono>
#include <cstdio>

namespace lumo::user {

void LogPresents(int presents, const FrameSink& sink) {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  static Clock::time_point last;
  const Clock::time_point now = Clock::now();
  if (now - last < std::chrono::seconds(1)) return;
  last = now;
  const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count() / 1000.0;
  std::fprintf(stderr, "lumo-present: presents=%d ms=%.3f streamed=%d\n", presents, ms, sink.Streamed());
  std::fflush(stderr);
}

}  // namespace lumo::user
