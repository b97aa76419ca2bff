// SPDX-License-Identifier: MIT
// A window's client pixels, shared with GDI through the target registry. On
// an X display with shared memory they live in the two images of an
// x11::Presenter, so the X server copies one frame while the next is drawn.
// Failing that they are the backend's window surface itself whenever that has
// their size and 0x00RRGGBB layout, so GDI draws straight into what the
// window system shows and a presentation only hands it the changed
// rectangle; otherwise they are a buffer of their own, copied to the window
// on each presentation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "LumoPlatform.h"
#include "common/WindowTarget.h"

namespace lumo::user {

namespace x11 {
class Presenter;
}

// The dialog class's own background (the 3-D face colour).
constexpr uint32_t kDialogFace = 0xF0F0F0;

class ClientPixels : public platform::WindowTarget {
 public:
  ClientPixels();
  ~ClientPixels() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t* Pixels() override { return Acquire(nullptr); }
  uint32_t* PixelsToOverwrite(const RECT& overwrite) override { return Acquire(&overwrite); }
  void Presented(const RECT& changed) override;
  bool PresentIndexed(const RECT& rect, const uint8_t* rows, ptrdiff_t rowStep,
                      const gdi::PaletteTable& table) override;
  bool StreamStores() const override;

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
  uint32_t* Acquire(const RECT* overwrite);
  void Show(const RECT& changed);
  void Bind();           // takes the presenter's images, or else the backend's surface when it fits
  void Unbind();         // copies the pixels out of them and lets them go
  void DropPresenter();  // after it failed: the backend's surface from now on

  HWND window_ = nullptr;  // set while the backend has a window to show them in
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> own_;
  uint32_t* screen_ = nullptr;
  std::unique_ptr<x11::Presenter> shm_;
  bool shmTried_ = false;  // the backend is asked for a presenter once per window
  bool onShm_ = false;     // the pixels are in shm_'s images
};

}  // namespace lumo::user
