// SPDX-License-Identifier: MIT
// Queueing for the thread that owns a window, and sending to its procedure.
#pragma once

#include "LumoPlatform.h"
#include "user/State.h"

namespace lumo::user {

// False when `window` is not a window (or, for posts, is being destroyed).
bool PostToWindow(HWND window, const MSG& msg);
bool EnqueueAction(HWND window, Action action);

// Sends to the procedure at once (same thread) or through the owner's queue.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace lumo::user
