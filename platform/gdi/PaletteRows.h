// SPDX-License-Identifier: MIT
// 8-bit palette indices to 0x00RRGGBB: the hot loop of every copy of an
// 8-bit frame to a window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoFastPath.h"

namespace lumo::gdi {

// Out[i] = Palette[In[i]] for i < Count, one pixel at a time.
void ExpandIndicesPlain(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
// The same result from fewer loads and stores: eight indices read at once,
// colours written in pairs (any processor) or in fours (SSE4.1, only when
// CanExpandIndicesSSE41()).
void ExpandIndicesEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
void ExpandIndicesSSE41(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
bool CanExpandIndicesSSE41();
// Sixty-four at a time through per-channel byte tables (AVX-512 VBMI, only
// when CanExpandIndicesVBMI()).
void ExpandIndicesVBMI(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
bool CanExpandIndicesVBMI();
// Four at a time into WebAssembly's vectors (only in a build with them).
void ExpandIndicesSIMD128(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
bool CanExpandIndicesSIMD128();

using ExpandIndicesForm = void (*)(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
// The family, widest first (VBMI stands under the avx512 level). The plain
// level is the eight-at-once form, which needs no extension; the one-pixel
// loop is the reference the others are compared against.
inline constexpr TLumoForm<ExpandIndicesForm> ExpandIndicesForms[] = {
    {"avx512", CanExpandIndicesVBMI, ExpandIndicesVBMI},
    {"sse41", CanExpandIndicesSSE41, ExpandIndicesSSE41},
    {"simd128", CanExpandIndicesSIMD128, ExpandIndicesSIMD128},
    {"plain", LumoAlways, ExpandIndicesEight},
};
// The form of ExpandIndicesForms chosen for this process.
void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);

// A palette made ready for expansion once, when it changes, rather than on
// every copy: the pixel values, the per-channel tables of the 64-wide form and
// the chosen form, so a row costs no lookups and no checks.
// ExpandStreaming gives the same pixels but writes whole cache lines around
// the caches, for memory that another processor reads next (the X server's
// shared image), unfenced (see ExpandRows); forms without such stores use
// their ordinary ones.
struct PaletteTable {
  alignas(64) uint32_t Pixels[256];
  alignas(64) uint8_t Channel[4][256];
  void (*Expand)(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table);
  void (*ExpandStreaming)(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table);
};
// Fills Table from 256 pixel values.
void BuildPaletteTable(const uint32_t* Pixels, PaletteTable& Table);
inline void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  Table.Expand(In, Out, Count, Table);
}
// Height rows of Width indices, InStep bytes apart, into rows OutStep pixels
// apart, a row at a time (one run over a whole frame was measured slower into
// the X server's shared image than row by row). With Stream, whole lines go
// around the caches, and one fence after the last row makes them visible to
// other processors: a fence per row cost more than the expansion itself.
void ExpandRows(const uint8_t* In, ptrdiff_t InStep, uint32_t* Out, ptrdiff_t OutStep, int Width, int Height,
                const PaletteTable& Table, bool Stream);

// Height rows of Width indices, InStep bytes apart, packed one after the
// other into Out, whose lines are written around the caches and fenced: Out
// is read next on another processor, and ordinary stores to lines that
// processor read last time cost several times the copy.
void CopyRowsStreaming(const uint8_t* In, ptrdiff_t InStep, uint8_t* Out, int Width, int Height);

}  // namespace lumo::gdi
