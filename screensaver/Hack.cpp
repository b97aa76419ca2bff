// SPDX-License-Identifier: MIT
#include "Hack.h"

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "lumo_native/ForeignWindow.h"

namespace {

sigset_t EndingSignals() {
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGTERM);
  sigaddset(&Set, SIGINT);
  return Set;
}

// Blocked in every thread (they inherit the mask), and taken here: the
// window is closed like any other, so the run ends through its own
// shutdown, and the exit status is 0.
void WatchForEnd() {
  const sigset_t Set = EndingSignals();
  int Signal = 0;
  sigwait(&Set, &Signal);
  for (;;) {
    HWND Window = SaverWindow.load();
    if (Window != nullptr && PostMessageA(Window, WM_CLOSE, 0, 0)) return;
    if (Window == nullptr) {
      // Not started yet, or already ending: nothing of ours outlives the process.
      std::fflush(nullptr);
      std::_Exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

bool WantsHack(int argc, const char* const* argv) {
  return argc > 1 && std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "--version") != 0;
}

int RunHack(int argc, const char* const* argv, const THackProgram& Program) {
  THackArguments Arguments;
  if (!ParseHackArguments(argc, argv, Program.Name, Program.Options, Program.OptionCount, Arguments, stderr)) return 2;

  const sigset_t Set = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
  std::thread(WatchForEnd).detach();

  TSaverRun Run;
  Run.PauseMicroseconds = Arguments.DelayMicroseconds;
  if (Arguments.Where != THackWhere::OwnWindow) {
    unsigned long Id = Arguments.WindowId;
    if (Arguments.Where == THackWhere::Root) {
      const char* Given = std::getenv("XSCREENSAVER_WINDOW");
      const auto FromDaemon = ParseWindowId(Given);
      if (Given != nullptr && *Given != '\0' && !FromDaemon) {
        std::fprintf(stderr, "%s: XSCREENSAVER_WINDOW is no window id: \"%s\"\n", Program.Name, Given);
        return 2;
      }
      Id = FromDaemon ? *FromDaemon : 0;  // 0: the root window
    }
    Run.Place = TSaverPlace::Inside;
    Run.Parent = lumo::platform::ForeignWindow(Id);
    if (Run.Parent == nullptr) {
      std::fprintf(stderr, "%s: the display has no window 0x%lx\n", Program.Name, Id);
      return 1;
    }
  }
  return RunSaver(Program.Configure(Arguments), Run);
}
