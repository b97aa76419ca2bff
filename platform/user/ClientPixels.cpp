// SPDX-License-Identifier: MIT
// A window's client pixels in its frame sink, and the fall to the next sink.
#include "user/ClientPixels.h"

#include <algorithm>

#include "user/Backend.h"
#include "user/DisplayLoss.h"
#include "user/PresentLog.h"
#include "user/PresentOptions.h"
#include "user/Rects.h"

namespace lumo::user {

ClientPixels::ClientPixels() : sink_(OpenMemorySink(nullptr)) { sink_->Start(0, 0, nullptr); }

ClientPixels::~ClientPixels() = default;

void ClientPixels::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  std::vector<uint32_t>().swap(shown_);
  const std::vector<uint32_t> face(static_cast<size_t>(width_) * static_cast<size_t>(height_), kDialogFace);
  unshown_ = RECT{};
  // A new size means new images or a new window surface: the old picture is
  // not kept.
  if (!sink_->Start(width_, height_, face.data())) {
    ++next_;
    TakeNext(face.data());
  }
}

void ClientPixels::Attach(HWND window) {
  window_ = window;
  next_ = 0;
  std::vector<uint32_t> picture(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  sink_->Read(picture.data());
  TakeNext(picture.data());
}

void ClientPixels::Detach() {
  std::vector<uint32_t> picture(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  sink_->Read(picture.data());
  // Its connection goes before the window it draws on.
  sink_ = OpenMemorySink(nullptr);
  sink_->Start(width_, height_, picture.data());
  window_ = nullptr;
}

void ClientPixels::TakeNext(const uint32_t* picture) {
  if (sink_->DisplayLost()) EndForLostDisplay();
  sink_.reset();
  const std::span<const SinkMaker> sinks = window_ != nullptr ? ActiveBackend().sinks : std::span<const SinkMaker>();
  for (; next_ < sinks.size(); ++next_) {
    std::unique_ptr<FrameSink> sink = sinks[next_](window_);
    if (sink && sink->Start(width_, height_, picture)) {
      sink_ = std::move(sink);
      break;
    }
  }
  if (!sink_) {
    sink_ = OpenMemorySink(window_);
    sink_->Start(width_, height_, picture);
  }
  unshown_ = RECT{0, 0, width_, height_};
}

bool ClientPixels::FallBack() {
  if (window_ == nullptr || next_ >= ActiveBackend().sinks.size()) return false;
  std::vector<uint32_t> picture(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  sink_->Read(picture.data());
  ++next_;
  TakeNext(picture.data());
  return true;
}

uint32_t* ClientPixels::Acquire(const RECT* overwrite) {
  if (width_ <= 0 || height_ <= 0) return nullptr;
  uint32_t* pixels = sink_->Pixels(overwrite);
  while (pixels == nullptr && FallBack()) pixels = sink_->Pixels(overwrite);
  return pixels;
}

void ClientPixels::Fill(uint32_t colour) {
  const RECT all{0, 0, width_, height_};
  uint32_t* p = Acquire(&all);
  if (p == nullptr) return;
  std::fill(p, p + static_cast<size_t>(width_) * height_, colour);
  sink_->Changed(all);
}

void ClientPixels::Show(const RECT& changed) {
  if (window_ == nullptr || width_ <= 0 || height_ <= 0) return;
  const RECT all{0, 0, width_, height_};
  RECT r = Union(Intersect(changed, all), unshown_);
  if (Empty(r)) return;
  // What the failed sink put on screen is unknown: the next one shows all.
  while (!sink_->Show(r)) {
    if (!FallBack()) return;
    r = all;
  }
  unshown_ = RECT{};
}

void ClientPixels::ShowAll() { Show(RECT{0, 0, width_, height_}); }

void ClientPixels::Presented(const RECT& changed) {
  ++presents;
  Show(changed);
  if (Options().log) LogPresents(presents, *sink_);
}

bool ClientPixels::Inside(const RECT& r) const {
  return !Empty(r) && r.left >= 0 && r.top >= 0 && r.right <= width_ && r.bottom <= height_;
}

bool ClientPixels::PresentIndexed(const platform::IndexedFrame& frame) {
  // Left to the caller (which then draws and presents as usual) while the
  // sink has more to show than this frame.
  if (window_ == nullptr || !Empty(unshown_) || !Inside(frame.rect)) return false;
  if (!sink_->ShowIndexed(frame)) {
    FallBack();
    return false;
  }
  ++presents;
  if (Options().log) LogPresents(presents, *sink_);
  return true;
}

const uint32_t* ClientPixels::Shown() {
  if (width_ <= 0 || height_ <= 0) return nullptr;
  shown_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
  sink_->Read(shown_.data());
  return shown_.data();
}

}  // namespace lumo::user
