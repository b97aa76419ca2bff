// SPDX-License-Identifier: MIT
// One MIT-SHM image: width x height 0x00RRGGBB pixels, rows width apart, in
// memory shared with the X server, which reads them straight from there.
// Made whole or not at all, and given back (detached, unmapped) with the
// object.
#pragma once

#include <cstdint>
#include <memory>

#include "user/X11Display.h"

namespace lumo::user {

class X11ShmImage {
 public:
  // Null when the image cannot be made (no memory, a remote server that
  // cannot attach ours, an X error).
  static std::unique_ptr<X11ShmImage> Make(X11Connection& connection, int width, int height);
  ~X11ShmImage();
  X11ShmImage(const X11ShmImage&) = delete;
  X11ShmImage& operator=(const X11ShmImage&) = delete;

  uint32_t* Pixels() const { return reinterpret_cast<uint32_t*>(image_->data); }
  ShmSeg Segment() const { return shm_.shmseg; }
  // Puts the rectangle at the same place in the window; a completion event
  // with Segment() follows once the server has read it.
  void Put(const RECT& r);

 private:
  explicit X11ShmImage(X11Connection& connection) : connection_(connection) {}

  X11Connection& connection_;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool attached_ = false;
};

}  // namespace lumo::user
