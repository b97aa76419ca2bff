// SPDX-License-Identifier: MIT
// With LUMO_PRESENT_LOG set, a line on stderr about once a second gives a
// window's presentations so far and how many of them were written around the
// caches, for the frame-rate benchmark (scripts/bench_frames.py).
#pragma once

#include "user/FrameSink.h"

namespace lumo::user {

// Called after each presentation; prints at most once a second.
void LogPresents(int presents, const FrameSink& sink);

}  // namespace lumo::user
