// SPDX-License-Identifier: MIT
// The program's end when its display is gone.
#include "user/DisplayLoss.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>

namespace lumo::user {

void EndForLostDisplay() {
  std::fprintf(stderr, "%s: lost the connection to the display\n", program_invocation_short_name);
  std::fflush(nullptr);
  _exit(1);
}

}  // namespace lumo::user
