// SPDX-License-Identifier: MIT
// The two colour schemes of the smoke field.
#pragma once

#include "LumoDIB.h"

// Key colours the schemes are ramped from.
inline constexpr TColourBGR KeyBlack{0, 0, 0};
inline constexpr TColourBGR KeyNavy{128, 0, 0};
inline constexpr TColourBGR KeyGrey{128, 128, 128};
inline constexpr TColourBGR KeyRed{0, 0, 255};
inline constexpr TColourBGR KeyLime{0, 255, 0};
inline constexpr TColourBGR KeyYellow{0, 255, 255};
inline constexpr TColourBGR KeyBlue{255, 0, 0};
inline constexpr TColourBGR KeyWhite{255, 255, 255};

// Which scheme is showing; the right mouse button toggles it.
extern bool AltScheme;

// Writes the chosen scheme into FumeDib's palette (and its section).
void ApplyPalette(bool Alt);
