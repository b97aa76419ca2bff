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
#include "common/IndexedFrame.h"

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
  // Called after GDI has changed Pixels() inside `changed` (client
  // coordinates, already clipped to the client area).
  virtual void Presented(const RECT& changed) = 0;
  // An 8-bit copy into frame.rect (inside the client area), written and
  // presented by the target itself, perhaps later on a thread of its own;
  // the frame's indices and table may change once this returns. Pixels()
  // always shows the copy done. No Presented() follows. False when the
  // target does not take the copy; the caller then writes Pixels() itself.
  virtual bool PresentIndexed(const IndexedFrame& frame) {
    (void)frame;
    return false;
  }
};

void RegisterWindowTarget(HWND window, WindowTarget* target);
void UnregisterWindowTarget(HWND window);
WindowTarget* FindWindowTarget(HWND window);

}  // namespace lumo::platform
