// SPDX-License-Identifier: MIT
// ExitProcess on the web: the program ends at once, as a process does (no
// static destructors, no library shutdown), and the page learns of it. Its
// page runs main through ccall, which keeps the runtime alive while main has
// not returned; that hold is let go first, so the runtime really ends: the
// page's onExit runs and no event reaches the program any more.
#include <emscripten.h>
#include <unistd.h>

#include <cstdio>

#include "LumoPlatform.h"

namespace {

// clang-format off
EM_JS(void, LumoLetRuntimeEnd, (), {
  runtimeKeepaliveCounter = 0;
});
// clang-format on

}  // namespace

void ExitProcess(UINT uExitCode) {
  std::fflush(nullptr);
  LumoLetRuntimeEnd();
  _exit(static_cast<int>(uExitCode));
}
