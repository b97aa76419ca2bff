// SPDX-License-Identifier: MIT
// Frames through SDL's window surface. When the surface has the picture's
// size and 0x00RRGGBB layout, GDI draws straight into what the window system
// shows and a presentation only hands it the changed rectangle; otherwise
// the picture is a buffer of its own, copied to the window on each showing.
#include <SDL.h>

#include <algorithm>
#include <vector>

#include "user/FrameSink.h"
#include "user/SdlWindows.h"

namespace lumo::user {

namespace {

class SdlSurfaceSink final : public FrameSink {
 public:
  explicit SdlSurfaceSink(SDL_Window* window) : window_(window) {}
  const char* Name() const override { return "window surface"; }

  bool Start(int width, int height, const uint32_t* picture) override {
    width_ = width;
    height_ = height;
    screen_ = nullptr;
    own_.assign(picture, picture + Count());
    Bind();
    return true;
  }

  uint32_t* Pixels(const RECT*) override { return screen_ != nullptr ? screen_ : own_.data(); }

  bool Show(const RECT& changed) override {
    if (screen_ != nullptr) {
      const SDL_Rect r{changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top};
      if (SDL_UpdateWindowSurfaceRects(window_, &r, 1) == 0) return true;
      // SDL has let its surface go (it saw a resize); its memory lasts
      // until the next request for a surface, so what was drawn is kept
      // first.
      own_.assign(screen_, screen_ + Count());
      screen_ = nullptr;
    }
    Bind();
    if (screen_ != nullptr)
      SDL_UpdateWindowSurface(window_);
    else
      CopyToWindow();
    return true;
  }

  void Read(uint32_t* out) override {
    const uint32_t* from = Pixels(nullptr);
    std::copy(from, from + Count(), out);
  }

 private:
  size_t Count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

  // SDL's own pixels when they are width x height 0x00RRGGBB with rows width
  // apart; else null.
  uint32_t* Surface() const {
    SDL_Surface* screen = SDL_GetWindowSurface(window_);
    if (screen == nullptr || screen->format->format != SDL_PIXELFORMAT_RGB888 || screen->w != width_ ||
        screen->h != height_ || screen->pitch != width_ * 4 || SDL_MUSTLOCK(screen))
      return nullptr;
    return static_cast<uint32_t*>(screen->pixels);
  }

  // Moves the picture into SDL's surface when that fits now.
  void Bind() {
    if (screen_ != nullptr || Count() == 0) return;
    uint32_t* screen = Surface();
    if (screen == nullptr) return;
    std::copy(own_.begin(), own_.end(), screen);
    screen_ = screen;
    std::vector<uint32_t>().swap(own_);
  }

  void CopyToWindow() {
    SDL_Surface* screen = SDL_GetWindowSurface(window_);
    if (screen == nullptr || Count() == 0) return;
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(own_.data(), width_, height_, 32, width_ * 4, SDL_PIXELFORMAT_RGB888);
    if (source == nullptr) return;
    SDL_BlitSurface(source, nullptr, screen, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window_);
  }

  SDL_Window* window_;
  uint32_t* screen_ = nullptr;  // SDL's surface, when the picture is there
  std::vector<uint32_t> own_;   // else here
};

}  // namespace

std::unique_ptr<FrameSink> OpenSdlSurfaceSink(HWND window) {
  SDL_Window* sdlWindow = SdlWindowOf(window);
  if (sdlWindow == nullptr) return nullptr;
  return std::make_unique<SdlSurfaceSink>(sdlWindow);
}

}  // namespace lumo::user
