// Presenting a window's client pixels through the backend.
#include "user/ClientPixels.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "user/Backend.h"

namespace lumo::user {

namespace {

// With LUMO_PRESENT_LOG set, a line on stderr about once a second gives the
// presentations so far, for the frame-rate benchmark.
const bool logPresents = [] {
  const char* env = std::getenv("LUMO_PRESENT_LOG");
  return env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0;
}();

void LogPresent(int presents) {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  static Clock::time_point last;
  const Clock::time_point now = Clock::now();
  if (now - last < std::chrono::seconds(1)) return;
  last = now;
  const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count() / 1000.0;
  std::fprintf(stderr, "lumo-present: presents=%d ms=%.3f\n", presents, ms);
  std::fflush(stderr);
}

}  // namespace

void ClientPixels::Resize(int width, int height) {
  // A new size means a new backend surface too: the old one is not copied.
  screen_ = nullptr;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  own_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), kDialogFace);
  if (window_ != nullptr) Bind();
}

void ClientPixels::Fill(uint32_t colour) {
  if (uint32_t* p = Pixels()) std::fill(p, p + static_cast<size_t>(width_) * height_, colour);
}

void ClientPixels::Attach(HWND window) { window_ = window; }

void ClientPixels::Detach() {
  Unbind();
  window_ = nullptr;
}

void ClientPixels::Bind() {
  if (screen_ != nullptr || width_ <= 0 || height_ <= 0) return;
  uint32_t* screen = ActiveBackend().surface(window_, width_, height_);
  if (screen == nullptr) return;
  std::copy(own_.begin(), own_.end(), screen);
  screen_ = screen;
  std::vector<uint32_t>().swap(own_);
}

void ClientPixels::Unbind() {
  if (screen_ == nullptr) return;
  own_.assign(screen_, screen_ + static_cast<size_t>(width_) * height_);
  screen_ = nullptr;
}

void ClientPixels::Show(const RECT& changed) {
  if (window_ == nullptr || width_ <= 0 || height_ <= 0) return;
  const Backend& backend = ActiveBackend();
  if (screen_ != nullptr) {
    if (backend.present(window_, nullptr, width_, height_, changed)) return;
    // The backend has let its surface go (it saw a resize); its memory lasts
    // until the next request for a surface, so what was drawn is kept first.
    Unbind();
  }
  Bind();
  const RECT all{0, 0, width_, height_};
  backend.present(window_, screen_ != nullptr ? nullptr : own_.data(), width_, height_, all);
}

void ClientPixels::ShowAll() { Show(RECT{0, 0, width_, height_}); }

void ClientPixels::Presented(const RECT& changed) {
  ++presents;
  if (logPresents) LogPresent(presents);
  Show(changed);
}

}  // namespace lumo::user
