// SPDX-License-Identifier: MIT
// Process-wide kernel calls: the error slot, the clock, the process id and
// the end of the process.
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "LumoPlatform.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

DWORD GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Milliseconds since an arbitrary start, wrapping at 2^32 as on Windows.
  return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

#if !defined(__EMSCRIPTEN__)
void Sleep(DWORD dwMilliseconds) {
  timespec pause{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  // A signal cuts the pause short only by the time already slept.
  while (nanosleep(&pause, &pause) != 0) {
  }
}
#endif

#if !defined(__EMSCRIPTEN__)  // the page's own is in web/WebProcess.cpp
// Callers rely on the process ending at once: a program that ends from its
// window's destruction must not run its normal termination (static
// destructors, the picture library's shutdown) afterwards. So buffered
// output is flushed and the process ends without unwinding anything.
void ExitProcess(UINT uExitCode) {
  std::fflush(nullptr);
  _exit(static_cast<int>(uExitCode));
}
#endif
