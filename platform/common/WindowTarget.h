// SPDX-License-Identifier: MIT
// Where GDI copies to a window land. The window half of the layer registers
// one target per window; GDI's BitBlt/StretchDIBits onto a window DC write
// into its pixels and then call Presented() with the rectangle they changed,
// so the window shows it at once.
// Tests register off-screen targets of their own and read the pixels back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoPlatform.h"

namespace lumo::gdi {
struct PaletteTable;
}

namespace lumo::platform {

class WindowTarget {
 public:
  virtual ~WindowTarget() = default;
  // Client-area size in pixels.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Width() * Height() pixels, 0x00RRGGBB, top row first.
  virtual uint32_t* Pixels() = 0;
  // The same for a copy that writes every pixel of `overwrite` (client
  // coordinates; the part outside the client area is ignored) before
  // Presented(): inside it the pixels need not hold the picture yet, which
  // spares a double-buffered target bringing them up to date.
  virtual uint32_t* PixelsToOverwrite(const RECT& overwrite) {
    (void)overwrite;
    return Pixels();
  }
  // Whether large copies into the pixels should write around the processor's
  // caches, because another processor (the X server) reads them next and
  // that was measured to be faster just now.
  virtual bool StreamStores() const { return false; }
  // Called after GDI has changed Pixels() inside `changed` (client
  // coordinates, already clipped to the client area).
  virtual void Presented(const RECT& changed) = 0;
  // An 8-bit copy through `table` into `rect` (client coordinates, inside
  // the client area), written and presented by the target itself, perhaps
  // later on a thread of its own: `rows` is the rectangle's first row of
  // indices, `rowStep` the bytes to the next (negative for bottom-up rows),
  // and they may change once this returns. Pixels() always shows the copy
  // done. No Presented() follows. False when the target does not take such
  // copies; the caller then writes Pixels() itself.
  virtual bool PresentIndexed(const RECT& rect, const uint8_t* rows, ptrdiff_t rowStep,
                              const gdi::PaletteTable& table) {
    (void)rect;
    (void)rows;
    (void)rowStep;
    (void)table;
    return false;
  }
};

void RegisterWindowTarget(HWND window, WindowTarget* target);
void UnregisterWindowTarget(HWND window);
WindowTarget* FindWindowTarget(HWND window);

}  // namespace lumo::platform
