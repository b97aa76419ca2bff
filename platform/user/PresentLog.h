// SPDX-License-Identifier: MIT
// The presentation log the environment can ask for (LUMO_PRESENT_LOG, see
// the README), read by the frame-rate benchmark (scripts/bench_frames.py).
#pragma once

#include "user/FrameSink.h"

namespace lumo::user {

// Called after each presentation; prints at most once a second.
void LogPresents(int presents, const FrameSink& sink);

}  // namespace lumo::user
