// SPDX-License-Identifier: MIT
// twistview as a screensaver: the renderer with a picture (or both in
// turn), the filter and feedback, for the shared screensaver shell.
#pragma once

#include <cstdint>

#include "Saver.h"

struct TTwistSaverSettings {
  int32_t Picture = 1;  // 1, 2, or 0 for both in turn
  bool Filter = true;
  bool Feedback = false;
  bool Fps = false;
};
extern TTwistSaverSettings TwistSaverSettings;

// With both pictures, the other one comes after this many seconds.
inline constexpr int32_t PictureSeconds = 30;

extern const TSaverEffect TwistSaverEffect;
