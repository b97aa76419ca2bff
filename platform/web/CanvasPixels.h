// SPDX-License-Identifier: MIT
// The window pixels GDI writes (0x00RRGGBB words) as the bytes a canvas's
// ImageData holds (red, green, blue, alpha), for the rectangle being shown.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoPlatform.h"

namespace lumo::web {

// `changed` cut to a width x height picture; empty when nothing is left.
RECT ClipToPicture(const RECT& changed, int width, int height);

// The rectangle `r` (inside the picture) of `pixels`, rows `stride` pixels
// apart, into `rgba`, packed row after row, every alpha 255.
void ToRgba(const uint32_t* pixels, ptrdiff_t stride, const RECT& r, uint8_t* rgba);

}  // namespace lumo::web
