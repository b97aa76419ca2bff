// SPDX-License-Identifier: MIT
// Keyboard and mouse reports turned into the messages of a window.
#pragma once

#include "LumoPlatform.h"

namespace lumo::user {

void PostKey(HWND window, int vk, int scanCode, bool extended, bool down, bool repeat);
void PostMouseMove(HWND window, int x, int y);
void PostMouseButton(HWND window, int button, bool down, int x, int y);
void PostMouseWheel(HWND window, int delta, int x, int y);
// Forgets held keys and buttons and the last press.
void ResetInput();

}  // namespace lumo::user
