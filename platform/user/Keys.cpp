// SPDX-License-Identifier: MIT
// Scan codes of virtual keys, for input that arrives as a key code only.
#include "user/Keys.h"

namespace lumo::user {

namespace {

struct ScanCode {
  int vk;
  int scan;
  bool extended;
};

constexpr ScanCode kScanCodes[] = {
#define LUMO_SCAN_CODE(vk, sdlKeycode, scan, extended) {vk, scan, extended},
    LUMO_USER_KEYS(LUMO_SCAN_CODE)
#undef LUMO_SCAN_CODE
};

}  // namespace

int ScanCodeOfVk(int vk, bool* extended) {
  for (const ScanCode& k : kScanCodes) {
    if (k.vk != vk) continue;
    *extended = k.extended;
    return k.scan;
  }
  *extended = false;
  return 0;
}

}  // namespace lumo::user
