// SPDX-License-Identifier: MIT
#include "FumesPalette.h"

#include "FumesSim.h"

bool AltScheme = false;

void ApplyPalette(bool Alt) {
  if (FumeDib == nullptr) {
    return;
  }
  TLumoDIB& Dib = *FumeDib;
  // Three ramps each; neighbouring ramps share their boundary entry and give
  // it the same colour, so the order only matters for readability.
  if (!Alt) {
    Dib.RampPalette(0, 100, {KeyBlack, KeyGrey, KeyYellow, KeyWhite, KeyYellow});
    Dib.RampPalette(100, 150, {KeyYellow, KeyRed, KeyBlue});
    Dib.RampPalette(150, 255, {KeyBlue, KeyBlack});
  } else {
    Dib.RampPalette(0, 120, {KeyBlack, KeyGrey, KeyLime, KeyBlue, KeyLime, KeyRed, KeyBlue});
    Dib.RampPalette(120, 136, {KeyBlue, KeyNavy});
    Dib.RampPalette(136, 255, {KeyNavy, KeyBlack, KeyNavy, KeyBlack});
  }
}
