// SPDX-License-Identifier: MIT
// Frames kept in memory and shown nowhere: the headless backend's windows,
// and every window before the backend has put it on screen.
#include <algorithm>
#include <vector>

#include "user/FrameSink.h"

namespace lumo::user {

namespace {

class MemorySink final : public FrameSink {
 public:
  const char* Name() const override { return "memory"; }
  bool Start(int width, int height, const uint32_t* picture) override {
    width_ = width;
    height_ = height;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (picture == nullptr)
      pixels_.assign(count, 0);
    else
      pixels_.assign(picture, picture + count);
    return true;
  }
  uint32_t* Pixels(const RECT*) override { return pixels_.empty() ? nullptr : pixels_.data(); }
  bool Show(const RECT&) override { return true; }
  void Read(uint32_t* out) override { std::copy(pixels_.begin(), pixels_.end(), out); }

 private:
  std::vector<uint32_t> pixels_;
};

}  // namespace

std::unique_ptr<FrameSink> OpenMemorySink(HWND) { return std::make_unique<MemorySink>(); }

}  // namespace lumo::user
