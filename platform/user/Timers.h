// SPDX-License-Identifier: MIT
// The clock behind message times, and the timer bookkeeping the queue reads.
#pragma once

#include <atomic>
#include <thread>

#include "LumoPlatform.h"

namespace lumo::user {

DWORD Now();
// While on, Now() stands at `now`, which only the test seams move.
struct FakeClock {
  std::atomic<bool> on{false};
  std::atomic<DWORD> now{0};
};
FakeClock& TheFakeClock();

bool TakeDueTimer(std::thread::id thread, HWND filter, UINT min, UINT max, bool remove, MSG* out);
bool IsTimerProc(TIMERPROC proc);
long MillisecondsToNextTimer(std::thread::id thread);  // -1 when none
void DropTimersOf(HWND window);
void DropAllTimers();

}  // namespace lumo::user
