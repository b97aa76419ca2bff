// SPDX-License-Identifier: MIT
// Another program's window as the parent of the layer's windows: a screen
// saver daemon's or locker's window (an X window id). A window created with
// WS_CHILD and this parent fills it and follows its size, and is destroyed
// when it goes. Not part of the Win32 surface.
#pragma once

#include "LumoPlatform.h"

namespace lumo::platform {

// The handle of X window `id` (0: the root window of the display), or null
// when the display has no such window or no display is open.
HWND ForeignWindow(unsigned long id);

}  // namespace lumo::platform
