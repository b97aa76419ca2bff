// SPDX-License-Identifier: MIT
// What the SDL backend's files share: the SDL window behind each of the
// layer's windows, and the translation of SDL's events.
#pragma once

#include "LumoPlatform.h"

struct SDL_Window;
union SDL_Event;
struct _XDisplay;  // Xlib's Display, without Xlib's macros

namespace lumo::user {

// Each SDL window carries its layer window's handle as SDL window data under
// this name.
inline constexpr const char* kSdlHandleKey = "lumo.hwnd";

// The SDL window of a layer window; null when it has none.
SDL_Window* SdlWindowOf(HWND window);

// SDL's X connection and window behind `window`, when it is on X11.
bool X11Of(SDL_Window* window, _XDisplay** display, unsigned long* x11Window);

// Turns one SDL event into the layer's messages and actions. `modal`: a
// modal dialog runs, so input is dropped and exposed windows show what they
// last drew.
void TranslateSdlEvent(const SDL_Event& event, bool modal);

}  // namespace lumo::user
