// SPDX-License-Identifier: MIT
// What the SDL backend does for windows inside another program's window
// (ForeignWindows.cpp).
#pragma once

struct SDL_Window;

namespace lumo::user {

// A new SDL window filling X window `parent`; null when there can be none.
SDL_Window* CreateInForeignParent(unsigned long parent, int width, int height);
// Destroys an SDL window, placed in a foreign parent or not.
void DestroyPlacedWindow(SDL_Window* window);
// Follows the parents' sizes and ends the children of parents that went;
// on the windows' thread, at most every 100 ms.
void PollForeignWindows();

}  // namespace lumo::user
