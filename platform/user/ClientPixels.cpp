// SPDX-License-Identifier: MIT
// Presenting a window's client pixels through the backend.
#include "user/ClientPixels.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "user/Backend.h"
#include "user/X11Present.h"

namespace lumo::user {

namespace {

// With LUMO_PRESENT_LOG set, a line on stderr about once a second gives the
// presentations so far and how many of them were written around the caches,
// for the frame-rate benchmark.
const bool logPresents = [] {
  const char* env = std::getenv("LUMO_PRESENT_LOG");
  return env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0;
}();

void LogPresent(int presents, int streamed) {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  static Clock::time_point last;
  const Clock::time_point now = Clock::now();
  if (now - last < std::chrono::seconds(1)) return;
  last = now;
  const auto ms = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count() / 1000.0;
  std::fprintf(stderr, "lumo-present: presents=%d ms=%.3f streamed=%d\n", presents, ms, streamed);
  std::fflush(stderr);
}

}  // namespace

ClientPixels::ClientPixels() = default;
ClientPixels::~ClientPixels() = default;

void ClientPixels::Resize(int width, int height) {
  // A new size means new images or a new backend surface too: the old ones
  // are not copied.
  screen_ = nullptr;
  onShm_ = false;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  own_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), kDialogFace);
  if (window_ != nullptr) Bind();
}

uint32_t* ClientPixels::Acquire(const RECT* overwrite) {
  if (onShm_) {
    if (uint32_t* p = shm_->Pixels(overwrite)) return p;
    DropPresenter();
  }
  return screen_ != nullptr ? screen_ : own_.empty() ? nullptr : own_.data();
}

bool ClientPixels::StreamStores() const { return onShm_ && shm_->StreamStores(); }

void ClientPixels::Fill(uint32_t colour) {
  const RECT all{0, 0, width_, height_};
  uint32_t* p = Acquire(&all);
  if (p == nullptr) return;
  std::fill(p, p + static_cast<size_t>(width_) * height_, colour);
  if (onShm_) shm_->Changed(all);
}

void ClientPixels::Attach(HWND window) { window_ = window; }

void ClientPixels::Detach() {
  Unbind();
  shm_.reset();  // its connection goes before the window it draws on
  window_ = nullptr;
}

void ClientPixels::Bind() {
  if (screen_ != nullptr || onShm_ || width_ <= 0 || height_ <= 0) return;
  const Backend& backend = ActiveBackend();
  if (!shmTried_) {
    shmTried_ = true;
    shm_ = backend.openPresenter(window_);
  }
  if (shm_) {
    if (shm_->SetSize(width_, height_, own_.data())) {
      onShm_ = true;
      std::vector<uint32_t>().swap(own_);
      return;
    }
    shm_.reset();
  }
  uint32_t* screen = backend.surface(window_, width_, height_);
  if (screen == nullptr) return;
  std::copy(own_.begin(), own_.end(), screen);
  screen_ = screen;
  std::vector<uint32_t>().swap(own_);
}

void ClientPixels::Unbind() {
  if (onShm_) {
    own_.resize(static_cast<size_t>(width_) * height_);
    shm_->CopyOut(own_.data());
    onShm_ = false;
  }
  if (screen_ == nullptr) return;
  own_.assign(screen_, screen_ + static_cast<size_t>(width_) * height_);
  screen_ = nullptr;
}

void ClientPixels::DropPresenter() {
  Unbind();
  shm_.reset();
  if (window_ == nullptr) return;
  Bind();
  // What the failed images put on screen is unknown (the last frame may
  // never have been): the backend shows all.
  ShowAll();
}

void ClientPixels::Show(const RECT& changed) {
  if (window_ == nullptr || width_ <= 0 || height_ <= 0) return;
  const Backend& backend = ActiveBackend();
  const RECT all{0, 0, width_, height_};
  RECT shown = changed;
  if (onShm_) {
    if (shm_->Show(changed)) return;
    DropPresenter();  // which shows all
    return;
  }
  if (screen_ != nullptr) {
    if (backend.present(window_, nullptr, width_, height_, shown)) return;
    // The backend has let its surface go (it saw a resize); its memory lasts
    // until the next request for a surface, so what was drawn is kept first.
    Unbind();
  }
  Bind();
  if (onShm_)
    Show(all);  // once: a presenter that fails is not taken again
  else
    backend.present(window_, screen_ != nullptr ? nullptr : own_.data(), width_, height_, all);
}

void ClientPixels::ShowAll() { Show(RECT{0, 0, width_, height_}); }

void ClientPixels::Presented(const RECT& changed) {
  ++presents;
  Show(changed);
  if (logPresents) LogPresent(presents, shm_ ? shm_->Streamed() : 0);
}

bool ClientPixels::PresentIndexed(const RECT& rect, const uint8_t* rows, ptrdiff_t rowStep,
                                  const gdi::PaletteTable& table) {
  if (!onShm_ || window_ == nullptr || rect.left < 0 || rect.top < 0 || rect.right > width_ || rect.bottom > height_)
    return false;
  if (!shm_->ShowIndexed(rect, rows, rowStep, table)) {
    // Failed images give way to the backend's surface, which the caller
    // then writes as usual.
    DropPresenter();
    return false;
  }
  ++presents;
  if (logPresents) LogPresent(presents, shm_->Streamed());
  return true;
}

}  // namespace lumo::user
