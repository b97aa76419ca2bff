// SPDX-License-Identifier: MIT
// An 8-bit frame on its way to a window: its indices, its palette made ready
// as window pixels, and the row writer that turns the one into the other.
// GDI makes the table and owns the writer; whatever shows the window's
// frames runs the writer wherever it likes (on a thread of its own, into
// memory another processor reads next) without knowing how it works.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoPlatform.h"

namespace lumo::platform {

// A palette made ready for expansion once, when it changes, rather than on
// every copy: the pixel values, the per-channel tables of the 64-wide form and
// the chosen form, so a row costs no lookups and no checks.
// ExpandStreaming gives the same pixels but writes whole cache lines around
// the caches, for memory that another processor reads next (the X server's
// shared image), unfenced (the row writer fences once a frame); forms without
// such stores use their ordinary ones.
struct PaletteTable {
  alignas(64) uint32_t Pixels[256];
  alignas(64) uint8_t Channel[4][256];
  void (*Expand)(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table);
  void (*ExpandStreaming)(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table);
};

// Height rows of Width indices, InStep bytes apart, into rows OutStep pixels
// apart through Table; with Stream, around the caches and fenced once at the
// end, so other processors see the rows once it returns.
using RowWriter = void (*)(const uint8_t* In, ptrdiff_t InStep, uint32_t* Out, ptrdiff_t OutStep, int Width, int Height,
                           const PaletteTable& Table, bool Stream);

struct IndexedFrame {
  RECT rect{};                    // where it goes, in client coordinates
  const uint8_t* rows = nullptr;  // the indices of rect's first row
  ptrdiff_t rowStep = 0;          // bytes to the next row (negative for bottom-up rows)
  const PaletteTable* table = nullptr;
  RowWriter writeRows = nullptr;

  int Width() const { return rect.right - rect.left; }
  int Height() const { return rect.bottom - rect.top; }
  // Writes the frame into pixels whose rows are outStep apart, out being
  // where rect's top-left pixel goes.
  void WriteTo(uint32_t* out, ptrdiff_t outStep, bool stream) const {
    writeRows(rows, rowStep, out, outStep, Width(), Height(), *table, stream);
  }
  // Writes the frame at rect into a whole picture `width` pixels wide.
  void WriteInto(uint32_t* picture, int width, bool stream) const {
    WriteTo(picture + static_cast<ptrdiff_t>(rect.top) * width + rect.left, width, stream);
  }
};

}  // namespace lumo::platform
