// SPDX-License-Identifier: MIT
// A window's client pixels in two shared-memory images of our own on an X
// display, so that the X server copies one frame while the next is drawn into
// the other. The only part of the layer that speaks to Xlib directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "LumoPlatform.h"

struct SDL_Window;

namespace lumo::gdi {
struct PaletteTable;
}

namespace lumo::user::x11 {

class Presenter {
 public:
  // A presenter for the SDL window, or null when that is not an X11 window
  // on a display with shared memory and 0x00RRGGBB pixels (or
  // LUMO_X11_SHM=0): the caller then keeps to SDL's window surface. With
  // LUMO_X11_SHM=alternate every frame goes to the other image, even when
  // the server is done with the last one (for tests of the catching up);
  // with LUMO_X11_SHM=stream or =cached frames are always written around
  // or through the caches, instead of the faster way found by timing both.
  // LUMO_X11_THREAD=0 keeps ShowIndexed on the caller's thread and =1 always
  // hands it to the presenter's own; by default that too is timed.
  static std::unique_ptr<Presenter> Open(SDL_Window* window);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // New images of width x height holding `initial` (rows width apart).
  // False when they cannot be made; the presenter is then unusable.
  bool SetSize(int width, int height, const uint32_t* initial);
  // The pixels to draw into, rows Width() apart: all of them the window's
  // current picture, except inside `overwrite` (when given), which the
  // caller writes in full before showing it. Waits for the X server to have
  // finished reading them. The same pixels until the next Show(). Null once
  // the presenter has failed.
  uint32_t* Pixels(const RECT* overwrite);
  // Records that the pixels changed inside `changed` without being shown.
  void Changed(const RECT& changed);
  // Puts `changed` on screen and moves on to the other image. False once
  // the presenter has failed (an X error, the server stopped answering).
  bool Show(const RECT& changed);
  // The current picture, Width() x Height(), into `out`: after a failure,
  // with the last frame given even if it could not be shown.
  void CopyOut(uint32_t* out) const;
  // Whether the next frame is best written around the processor's caches
  // (see StoreTuner.h).
  bool StreamStores() const;
  // Expands 8-bit indices through `table` into `rect` and shows it: `rows`
  // is the rectangle's first row of indices, `rowStep` bytes from one row
  // to the next (negative for bottom-up rows). When the tuner finds it
  // faster (never where the process has one processor), the rows are copied
  // and the rest is done on the presenter's own thread while the caller goes
  // on; every other call first waits for it. False (nothing done) when `rect` is not inside the
  // images or the presenter has failed.
  bool ShowIndexed(const RECT& rect, const uint8_t* rows, ptrdiff_t rowStep, const gdi::PaletteTable& table);
  // Frames shown so far that were written around the caches.
  int Streamed() const;

  struct Impl;

 private:
  explicit Presenter(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumo::user::x11
