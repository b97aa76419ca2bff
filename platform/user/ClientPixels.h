// SPDX-License-Identifier: MIT
// A window's client pixels, shared with GDI through the target registry.
// They live in the window's frame sink (FrameSink.h): before the window is
// on screen in memory, then in the first sink the backend offers that
// starts. A sink that fails gives the picture to the next one down, which
// shows all of it with the next presentation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "LumoPlatform.h"
#include "common/WindowTarget.h"
#include "user/FrameSink.h"

namespace lumo::user {

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
  bool PresentIndexed(const platform::IndexedFrame& frame) override;

  // New size; the pixels become the dialog face colour.
  void Resize(int width, int height);
  void Fill(uint32_t colour);
  // Puts all of the pixels on screen again, not counted as a presentation
  // (showing the window, exposure while a modal dialog runs).
  void ShowAll();
  // The backend has a window for these pixels from now on: its first sink
  // that starts takes them.
  void Attach(HWND window);
  // Stops using the backend's window, keeping the pixels, before it is
  // destroyed.
  void Detach();

  // What the window shows (the picture as GDI last drew it), read without
  // touching the drawing side: a copy, valid until the next Resize().
  // Null for an empty client area.
  const uint32_t* Shown();
  // The sink's name (FrameSink::Name).
  const char* SinkName() const { return sink_->Name(); }

  int presents = 0;

 private:
  uint32_t* Acquire(const RECT* overwrite);
  void Show(const RECT& changed);
  // The next sink down takes the picture; false when there is none.
  bool FallBack();
  // The first sink from next_ on that starts with `picture` takes it, or
  // else memory; all of it is then still to be shown.
  void TakeNext(const uint32_t* picture);
  bool Inside(const RECT& r) const;

  HWND window_ = nullptr;  // set while the backend has a window to show them in
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<FrameSink> sink_;
  size_t next_ = 0;  // the backend's sink in use, or the next to try
  RECT unshown_{};   // what the sink has not put on screen yet
  std::vector<uint32_t> shown_;
};

}  // namespace lumo::user
