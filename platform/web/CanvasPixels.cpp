// SPDX-License-Identifier: MIT
#include "web/CanvasPixels.h"

#include <algorithm>
#include <cstring>

namespace lumo::web {

RECT ClipToPicture(const RECT& changed, int width, int height) {
  RECT r{std::max<LONG>(changed.left, 0), std::max<LONG>(changed.top, 0), std::min<LONG>(changed.right, width),
         std::min<LONG>(changed.bottom, height)};
  if (r.left >= r.right || r.top >= r.bottom) return RECT{0, 0, 0, 0};
  return r;
}

void ToRgba(const uint32_t* pixels, ptrdiff_t stride, const RECT& r, uint8_t* rgba) {
  const int width = r.right - r.left;
  for (LONG y = r.top; y < r.bottom; ++y) {
    const uint32_t* in = pixels + y * stride + r.left;
    for (int x = 0; x < width; ++x) {
      // Little-endian words: red to the lowest byte, alpha to the highest.
      const uint32_t p = in[x];
      const uint32_t out = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
      std::memcpy(rgba, &out, 4);
      rgba += 4;
    }
  }
}

}  // namespace lumo::web
