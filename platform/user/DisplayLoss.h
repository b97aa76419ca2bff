// SPDX-License-Identifier: MIT
// Losing the display ends the program: from the thread that runs its windows,
// with one line of its own on stderr ("fumes: lost the connection to the
// display") and exit status 1. Xlib's own handling would print its message
// and call exit() from whichever thread met the loss first, running the exit
// handlers while the program's frame loop goes on.
#pragma once

struct SDL_Window;

namespace lumo::user {

// Ends the process at once, without exit handlers: the display is gone, so
// nothing is left to shut down cleanly.
[[noreturn]] void EndForLostDisplay();

// Takes over the loss of the X connection behind an SDL window (a no-op on
// other window systems): SDL uses that connection on the windows' thread
// only, which then ends the program with EndForLostDisplay().
void WatchDisplayOf(SDL_Window* window);

}  // namespace lumo::user
