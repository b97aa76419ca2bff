// SPDX-License-Identifier: MIT
// What every sink does with an 8-bit frame unless it knows better.
#include "user/FrameSink.h"

namespace lumo::user {

bool FrameSink::ShowIndexed(const platform::IndexedFrame& frame) {
  uint32_t* pixels = Pixels(&frame.rect);
  if (pixels == nullptr) return false;
  frame.WriteInto(pixels, width_, false);
  return Show(frame.rect);
}

}  // namespace lumo::user
