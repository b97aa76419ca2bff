// SPDX-License-Identifier: MIT
// Sizes the window half shares with GetSystemMetrics.
#pragma once

#include "LumoPlatform.h"

namespace lumo::user {

// Frame and caption sizes reported by GetSystemMetrics and used to turn an
// outer window size into a client size.
constexpr int kFrame = 4;
constexpr int kCaption = 19;

constexpr DWORD kDoubleClickTime = 500;
constexpr int kDoubleClickBox = 4;  // a square of this side centred on the first press

}  // namespace lumo::user
