// SPDX-License-Identifier: MIT
// The presentation options parsed from the environment.
#include "user/PresentOptions.h"

#include <sched.h>

#include <cstdlib>
#include <string_view>

#include "user/PresentWayTuner.h"

namespace lumo::user {

namespace {

std::string_view Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

PresentOptions FromEnvironment() {
  PresentOptions o;
  const std::string_view shm = Variable("LUMO_X11_SHM");
  const std::string_view thread = Variable("LUMO_X11_THREAD");
  const std::string_view log = Variable("LUMO_PRESENT_LOG");
  o.sharedMemory = shm != "0";
  o.alternate = shm == "alternate";
  if (shm == "stream")
    o.fixedWays |= PresentWayTuner::kStream;
  else if (shm != "cached")
    o.timedWays |= PresentWayTuner::kStream;
  // A second thread can only pay where it runs beside the drawing one.
  cpu_set_t cpus;
  const bool twoProcessors = sched_getaffinity(0, sizeof(cpus), &cpus) == 0 && CPU_COUNT(&cpus) >= 2;
  if (thread == "1")
    o.fixedWays |= PresentWayTuner::kThread;
  else if (thread != "0" && twoProcessors)
    o.timedWays |= PresentWayTuner::kThread;
  o.log = !log.empty() && log != "0";
  return o;
}

}  // namespace

const PresentOptions& Options() {
  static const PresentOptions options = FromEnvironment();
  return options;
}

}  // namespace lumo::user
