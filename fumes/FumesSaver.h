// SPDX-License-Identifier: MIT
// fumes as a screensaver: the smoke step with random bottom sources in one
// scheme, for the shared screensaver shell (Saver.h).
#pragma once

#include <cstdint>

#include "Saver.h"

struct TFumesSaverSettings {
  int32_t Scheme = 1;  // 1 or 2
  bool Fps = false;
};
extern TFumesSaverSettings FumesSaverSettings;

extern const TSaverEffect FumesSaverEffect;
