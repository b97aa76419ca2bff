// SPDX-License-Identifier: MIT
// A browser key event in Windows' terms: the virtual-key code, and the scan
// code and extended flag of the physical key.
#pragma once

namespace lumo::web {

struct KeyCodes {
  int vk = 0;
  int scan = 0;
  bool extended = false;
};

// From the event's `code` (the physical key, "KeyA", "ShiftRight") and
// `key` (what it types on the user's layout, "a", "Shift"). Letters and
// digits take their virtual key from what they type, as Windows and SDL
// do on other layouts; the rest from the physical key. False for keys the
// layer does not know (see user/Keys.h).
bool KeyFromEvent(const char* code, const char* key, KeyCodes* out);

}  // namespace lumo::web
