// SPDX-License-Identifier: MIT
// Rectangle arithmetic of the presentation path: changed areas are kept as
// one bounding box, and an empty rectangle is any with no area.
#pragma once

#include <algorithm>

#include "LumoPlatform.h"

namespace lumo::user {

inline bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

inline RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

// The bounding box of both; an empty one adds nothing.
inline RECT Union(const RECT& a, const RECT& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace lumo::user
