// SPDX-License-Identifier: MIT
// A window's picture in two shared-memory images that take turns: the X
// server copies one (a put with a completion event) while the next frame is
// drawn into the other, and an image is written again only once its
// completion has arrived. A server that has already finished with the image
// shown last gets the next frame in that same image, the one still in the
// processor's cache.
//
// Both images must show the same picture to whoever reads the window's
// pixels. Each records the rectangle (a bounding box) drawn into the other
// since it was last brought up to date; when it becomes the one drawn into,
// that rectangle is copied over from the other, except the part the caller
// is about to overwrite. A program that copies its whole frame every time
// thus never pays for a copy.
#pragma once

#include <cstdint>
#include <memory>

#include "common/IndexedFrame.h"
#include "user/X11ShmImage.h"

namespace lumo::user {

class X11ImagePair {
 public:
  // With `alternate` every frame goes to the other image, even when the
  // server is done with the last one (for tests of the catching up).
  X11ImagePair(X11Connection& connection, bool alternate) : connection_(connection), alternate_(alternate) {}

  // New images of width x height holding `picture`; none for an empty size.
  // False when they cannot be made, which fails the connection.
  bool SetSize(int width, int height, const uint32_t* picture);
  // The pixels to draw into, rows width apart: the picture, except inside
  // `overwrite` (when given), which the caller writes before showing it.
  // Waits for the server to have finished reading them. The same pixels
  // until the next Show(). Null once the connection has failed.
  uint32_t* Pixels(const RECT* overwrite);
  // Records that the pixels changed inside `changed` without being shown.
  void Changed(const RECT& changed);
  // Puts `changed` on screen and moves on to the other image. False once
  // the connection has failed.
  bool Show(const RECT& changed);
  // Writes the frame (around the caches with `stream`) and shows it.
  bool ShowIndexed(const platform::IndexedFrame& frame, bool stream);
  // The picture into `out`: after a failure, with the last frame given even
  // if it could not be shown.
  void CopyOut(uint32_t* out) const;
  bool Failed() const { return connection_.Failed(); }
  void Fail() { connection_.Fail(); }

 private:
  struct Image {
    std::unique_ptr<X11ShmImage> shm;
    bool pending = false;  // the server may still be reading it
    RECT stale{};          // differs from the picture here
  };

  void ReadEvents();
  bool Wait(Image& image);
  uint32_t* Prepare(const RECT* overwrite);
  void CatchUp(Image& to, const Image& from, const RECT* overwrite) const;
  void CopyRect(uint32_t* to, const uint32_t* from, const RECT& r) const;
  RECT Clip(const RECT& r) const;

  X11Connection& connection_;
  bool alternate_;
  int width_ = 0, height_ = 0;
  Image images_[2];
  int current_ = 0;      // the image drawn into
  bool chosen_ = false;  // current_ stays the one drawn into until it is shown
};

}  // namespace lumo::user
