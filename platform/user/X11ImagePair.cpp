// SPDX-License-Identifier: MIT
// The two images of a window taking turns: waiting for the server, bringing
// an image up to date, putting it.
#include "user/X11ImagePair.h"

#include <poll.h>

#include <chrono>
#include <cstring>

#include "user/PresentFaults.h"
#include "user/Rects.h"

namespace lumo::user {

namespace {

// The server gets this long to finish one image before the presenter gives up.
constexpr int kCompletionTimeoutMs = 5000;

}  // namespace

bool X11ImagePair::SetSize(int width, int height, const uint32_t* picture) {
  for (Image& image : images_) image = Image{};
  current_ = 0;
  chosen_ = false;
  width_ = width;
  height_ = height;
  if (Failed()) return false;
  if (width <= 0 || height <= 0) return true;
  for (Image& image : images_) {
    image.shm = X11ShmImage::Make(connection_, width, height);
    if (!image.shm) {
      connection_.Fail();
      return false;
    }
    std::memcpy(image.shm->Pixels(), picture, static_cast<size_t>(width) * height * 4);
  }
  return true;
}

RECT X11ImagePair::Clip(const RECT& r) const { return Intersect(r, RECT{0, 0, width_, height_}); }

void X11ImagePair::ReadEvents() {
  Display* display = connection_.display();
  // Without blocking; errors go to the handler. The socket is read once:
  // every further read would cost a system call that finds nothing.
  for (int queued = XPending(display); !Failed() && queued > 0; queued = XEventsQueued(display, QueuedAlready)) {
    XEvent e;
    XNextEvent(display, &e);
    if (e.type != connection_.completionType()) continue;
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(e);
    for (Image& image : images_)
      if (image.shm && image.shm->Segment() == done.shmseg) image.pending = false;
  }
}

bool X11ImagePair::Wait(Image& image) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kCompletionTimeoutMs);
  while (image.pending && !Failed()) {
    ReadEvents();
    if (!image.pending || Failed()) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      connection_.Fail();
      break;
    }
    pollfd fd{ConnectionNumber(connection_.display()), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
  return !Failed();
}

void X11ImagePair::CopyRect(uint32_t* to, const uint32_t* from, const RECT& r) const {
  if (Empty(r)) return;
  const size_t bytes = static_cast<size_t>(r.right - r.left) * 4;
  for (LONG y = r.top; y < r.bottom; ++y) {
    const size_t at = static_cast<size_t>(y) * width_ + r.left;
    std::memcpy(to + at, from + at, bytes);
  }
}

void X11ImagePair::CatchUp(Image& to, const Image& from, const RECT* overwrite) const {
  const RECT s = to.stale;
  to.stale = RECT{};
  if (Empty(s)) return;
  const RECT o = overwrite != nullptr ? Intersect(*overwrite, s) : RECT{};
  uint32_t* pixels = to.shm->Pixels();
  const uint32_t* source = from.shm->Pixels();
  if (Empty(o)) {
    CopyRect(pixels, source, s);
    return;
  }
  // What is stale around the part about to be overwritten: the bands above
  // and below it, and the pieces to its left and right.
  CopyRect(pixels, source, RECT{s.left, s.top, s.right, o.top});
  CopyRect(pixels, source, RECT{s.left, o.bottom, s.right, s.bottom});
  CopyRect(pixels, source, RECT{s.left, o.top, o.left, o.bottom});
  CopyRect(pixels, source, RECT{o.right, o.top, s.right, o.bottom});
}

uint32_t* X11ImagePair::Prepare(const RECT* overwrite) {
  Image& image = images_[current_];
  if (Failed() || !image.shm || !Wait(image)) return nullptr;
  CatchUp(image, images_[current_ ^ 1], overwrite);
  return image.shm->Pixels();
}

uint32_t* X11ImagePair::Pixels(const RECT* overwrite) {
  if (!chosen_ && !Failed() && !alternate_) {
    // The image shown last holds the whole picture and is the one still in
    // the processor's cache: once the server is done with it, drawing goes
    // on there, and the other image is taken only while the server is busy.
    Image& last = images_[current_ ^ 1];
    if (last.pending) ReadEvents();
    if (last.shm && !last.pending && Empty(last.stale)) current_ ^= 1;
  }
  chosen_ = true;
  return Prepare(overwrite);
}

void X11ImagePair::Changed(const RECT& changed) {
  Image& other = images_[current_ ^ 1];
  other.stale = Union(other.stale, Clip(changed));
}

bool X11ImagePair::Show(const RECT& changed) {
  const RECT r = Clip(changed);
  if (Prepare(nullptr) == nullptr) return false;
  if (Empty(r)) return true;
  Changed(r);
  if (Strikes(Faults().put)) {
    connection_.Fail();  // as an X error on the put would
    return false;
  }
  Image& image = images_[current_];
  image.shm->Put(r);
  image.pending = true;
  current_ ^= 1;
  chosen_ = false;
  return !Failed();
}

bool X11ImagePair::ShowIndexed(const platform::IndexedFrame& frame, bool stream) {
  uint32_t* pixels = Pixels(&frame.rect);
  if (pixels == nullptr) return false;
  frame.WriteInto(pixels, width_, stream);
  return Show(frame.rect);
}

void X11ImagePair::CopyOut(uint32_t* out) const {
  const Image& current = images_[current_];
  // An image not yet brought up to date: the other one holds the picture.
  const Image& latest = Empty(current.stale) ? current : images_[current_ ^ 1];
  if (latest.shm) std::memcpy(out, latest.shm->Pixels(), static_cast<size_t>(width_) * height_ * 4);
}

}  // namespace lumo::user
