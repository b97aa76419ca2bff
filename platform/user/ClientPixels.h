// A window's client pixels, shared with GDI through the target registry. On
// screen they are the backend's window surface itself whenever that has their
// size and 0x00RRGGBB layout (the usual 24-bit X display), so GDI draws
// straight into what the window system shows and a presentation only hands it
// the changed rectangle; otherwise they are a buffer of their own, copied to
// the window on each presentation.
#pragma once

#include <cstdint>
#include <vector>

#include "LumoPlatform.h"
#include "common/WindowTarget.h"

namespace lumo::user {

// The dialog class's own background (the 3-D face colour).
constexpr uint32_t kDialogFace = 0xF0F0F0;

class ClientPixels : public platform::WindowTarget {
 public:
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t* Pixels() override { return screen_ != nullptr ? screen_ : own_.empty() ? nullptr : own_.data(); }
  void Presented(const RECT& changed) override;

  // New size; the pixels become the dialog face colour.
  void Resize(int width, int height);
  void Fill(uint32_t colour);
  // Puts all of the pixels on screen again, not counted as a presentation
  // (showing the window, exposure while a modal dialog runs).
  void ShowAll();
  // The backend has a window for these pixels from now on.
  void Attach(HWND window);
  // Stops using the backend's window, keeping the pixels, before it is destroyed.
  void Detach();

  int presents = 0;

 private:
  void Show(const RECT& changed);
  void Bind();    // takes the backend's surface as the pixels when it fits
  void Unbind();  // copies the pixels out of it and lets it go

  HWND window_ = nullptr;  // set while the backend has a window to show them in
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> own_;
  uint32_t* screen_ = nullptr;
};

}  // namespace lumo::user
