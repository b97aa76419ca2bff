// SPDX-License-Identifier: MIT
#include "web/WebKeys.h"

#include <cstring>

#include "user/Keys.h"

namespace lumo::web {

namespace {

struct Physical {
  const char* code;
  int scan;
  bool extended;
};

// The browser's names of the physical keys in the layer's table, with the
// scan codes Windows gives them.
constexpr Physical kPhysical[] = {
    {"KeyA", 0x1E, false},
    {"KeyB", 0x30, false},
    {"KeyC", 0x2E, false},
    {"KeyD", 0x20, false},
    {"KeyE", 0x12, false},
    {"KeyF", 0x21, false},
    {"KeyG", 0x22, false},
    {"KeyH", 0x23, false},
    {"KeyI", 0x17, false},
    {"KeyJ", 0x24, false},
    {"KeyK", 0x25, false},
    {"KeyL", 0x26, false},
    {"KeyM", 0x32, false},
    {"KeyN", 0x31, false},
    {"KeyO", 0x18, false},
    {"KeyP", 0x19, false},
    {"KeyQ", 0x10, false},
    {"KeyR", 0x13, false},
    {"KeyS", 0x1F, false},
    {"KeyT", 0x14, false},
    {"KeyU", 0x16, false},
    {"KeyV", 0x2F, false},
    {"KeyW", 0x11, false},
    {"KeyX", 0x2D, false},
    {"KeyY", 0x15, false},
    {"KeyZ", 0x2C, false},
    {"Digit0", 0x0B, false},
    {"Digit1", 0x02, false},
    {"Digit2", 0x03, false},
    {"Digit3", 0x04, false},
    {"Digit4", 0x05, false},
    {"Digit5", 0x06, false},
    {"Digit6", 0x07, false},
    {"Digit7", 0x08, false},
    {"Digit8", 0x09, false},
    {"Digit9", 0x0A, false},
    {"F1", 0x3B, false},
    {"F2", 0x3C, false},
    {"F3", 0x3D, false},
    {"F4", 0x3E, false},
    {"F5", 0x3F, false},
    {"F6", 0x40, false},
    {"F7", 0x41, false},
    {"F8", 0x42, false},
    {"F9", 0x43, false},
    {"F10", 0x44, false},
    {"F11", 0x57, false},
    {"F12", 0x58, false},
    {"Escape", 0x01, false},
    {"Backspace", 0x0E, false},
    {"Tab", 0x0F, false},
    {"Enter", 0x1C, false},
    {"NumpadEnter", 0x1C, true},
    {"Space", 0x39, false},
    {"ShiftLeft", 0x2A, false},
    {"ShiftRight", 0x36, false},
    {"ControlLeft", 0x1D, false},
    {"ControlRight", 0x1D, true},
    {"AltLeft", 0x38, false},
    {"AltRight", 0x38, true},
    {"CapsLock", 0x3A, false},
    {"Pause", 0x45, false},
    {"Home", 0x47, true},
    {"ArrowUp", 0x48, true},
    {"PageUp", 0x49, true},
    {"ArrowLeft", 0x4B, true},
    {"ArrowRight", 0x4D, true},
    {"End", 0x4F, true},
    {"ArrowDown", 0x50, true},
    {"PageDown", 0x51, true},
    {"Insert", 0x52, true},
    {"Delete", 0x53, true},
    {"Numpad0", 0x52, false},
    {"Numpad1", 0x4F, false},
    {"Numpad2", 0x50, false},
    {"Numpad3", 0x51, false},
    {"Numpad4", 0x4B, false},
    {"Numpad5", 0x4C, false},
    {"Numpad6", 0x4D, false},
    {"Numpad7", 0x47, false},
    {"Numpad8", 0x48, false},
    {"Numpad9", 0x49, false},
    {"NumpadMultiply", 0x37, false},
    {"NumpadAdd", 0x4E, false},
    {"NumpadSubtract", 0x4A, false},
    {"NumpadDecimal", 0x53, false},
    {"NumpadDivide", 0x35, true},
    {"Semicolon", 0x27, false},
    {"Equal", 0x0D, false},
    {"Comma", 0x33, false},
    {"Minus", 0x0C, false},
    {"Period", 0x34, false},
    {"Slash", 0x35, false},
    {"Backquote", 0x29, false},
    {"BracketLeft", 0x1A, false},
    {"Backslash", 0x2B, false},
    {"BracketRight", 0x1B, false},
    {"Quote", 0x28, false},
};

struct TableKey {
  int vk;
  int scan;
  bool extended;
};

// The layer's own table, without SDL's column.
constexpr TableKey kTable[] = {
#define LUMO_WEB_KEY(vk, sdlKeycode, scan, extended) {vk, scan, extended},
    LUMO_USER_KEYS(LUMO_WEB_KEY)
#undef LUMO_WEB_KEY
};

int VkOfPhysical(int scan, bool extended) {
  for (const TableKey& k : kTable)
    if (k.scan == scan && k.extended == extended) return k.vk;
  return 0;
}

}  // namespace

bool KeyFromEvent(const char* code, const char* key, KeyCodes* out) {
  if (code == nullptr || out == nullptr) return false;
  const Physical* physical = nullptr;
  for (const Physical& p : kPhysical)
    if (std::strcmp(p.code, code) == 0) physical = &p;
  if (physical == nullptr) return false;
  KeyCodes k{VkOfPhysical(physical->scan, physical->extended), physical->scan, physical->extended};
  if (k.vk == 0) return false;
  // A letter or digit key names itself by what it types on this layout.
  if (key != nullptr && key[0] != '\0' && key[1] == '\0' &&
      (std::strncmp(code, "Key", 3) == 0 || std::strncmp(code, "Digit", 5) == 0)) {
    const char c = key[0];
    if (c >= 'a' && c <= 'z') k.vk = c - 'a' + 'A';
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) k.vk = c;
  }
  *out = k;
  return true;
}

}  // namespace lumo::web
