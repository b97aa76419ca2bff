// SPDX-License-Identifier: MIT
// Size changes and invalidation that the backends and the test seams make
// happen to a window, as the user or the window manager would.
#pragma once

#include "LumoPlatform.h"
#include "user/State.h"

namespace lumo::user {

enum class SizeKind { Restored = SIZE_RESTORED, Minimised = SIZE_MINIMIZED, Maximised = SIZE_MAXIMIZED };

// Size changes as the user or ShowWindow makes them: resizes the pixels,
// sends WM_SIZE when the client size or kind changed, and invalidates.
void ApplyClientSize(HWND window, SizeKind kind, int width, int height);
void InvalidateAll(const WindowPtr& w);

}  // namespace lumo::user
