// SPDX-License-Identifier: MIT
// What every sink does with an 8-bit frame unless it knows better.
#include "user/FrameSink.h"

namespace lumo::user {

bool FrameSink::ShowIndexed(const platform::IndexedFrame& frame) {
  uint32_t* pixels = Pixels(&frame.rect);
  if (pixels == nullptr) return false;
  frame.WriteTo(pixels + static_cast<ptrdiff_t>(frame.rect.top) * width_ + frame.rect.left, width_, false);
  return Show(frame.rect);
}

}  // namespace lumo::user
