// SPDX-License-Identifier: MIT
// 8-bit palette indices to 0x00RRGGBB: the hot loop of every copy of an
// 8-bit frame to a window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoFastPath.h"
#include "common/IndexedFrame.h"

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
// Thirty-two at a time through per-channel byte tables (AdvSIMD, only in a
// build for aarch64).
void ExpandIndicesNEON(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
bool CanExpandIndicesNEON();

// Byte k of every colour of Palette into Channel[k]: the tables of the forms
// that look up each channel by itself.
void SplitChannels(const uint32_t* Palette, uint8_t (*Channel)[256]);

using ExpandIndicesForm = void (*)(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);

using platform::PaletteTable;

// One form of the expansion: its row over a bare palette, and how it makes a
// palette ready in advance (the pixel values, and for the forms that look up
// each channel their byte tables and whether the fourth byte needs looking
// up).
struct ExpandIndicesKernel {
  ExpandIndicesForm Row;
  void (*Ready)(const uint32_t* Pixels, PaletteTable& Table);
};
void ReadyVBMI(const uint32_t* Pixels, PaletteTable& Table);
void ReadySSE41(const uint32_t* Pixels, PaletteTable& Table);
void ReadySIMD128(const uint32_t* Pixels, PaletteTable& Table);
void ReadyNEON(const uint32_t* Pixels, PaletteTable& Table);
void ReadyEight(const uint32_t* Pixels, PaletteTable& Table);

// The family, widest first (VBMI stands under the avx512 level). The plain
// level is the eight-at-once form, which needs no extension; the one-pixel
// loop is the reference the others are compared against.
inline constexpr TLumoForm<ExpandIndicesKernel> ExpandIndicesForms[] = {
    {"avx512", CanExpandIndicesVBMI, {ExpandIndicesVBMI, ReadyVBMI}},
    {"sse41", CanExpandIndicesSSE41, {ExpandIndicesSSE41, ReadySSE41}},
    {"simd128", CanExpandIndicesSIMD128, {ExpandIndicesSIMD128, ReadySIMD128}},
    {"neon", CanExpandIndicesNEON, {ExpandIndicesNEON, ReadyNEON}},
    {"plain", LumoAlways, {ExpandIndicesEight, ReadyEight}},
};
// The form of ExpandIndicesForms chosen for this process.
void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);

// Fills Table from 256 pixel values, for the chosen form.
void BuildPaletteTable(const uint32_t* Pixels, PaletteTable& Table);
inline void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  Table.Expand(In, Out, Count, Table);
}
// The row writer of 8-bit copies to windows (see IndexedFrame.h): a row at a
// time (one run over a whole frame was measured slower into the X server's
// shared image than row by row); streamed rows are fenced once after the
// last, since a fence per row cost more than the expansion itself.
void ExpandRows(const uint8_t* In, ptrdiff_t InStep, uint32_t* Out, ptrdiff_t OutStep, int Width, int Height,
                const PaletteTable& Table, bool Stream);

}  // namespace lumo::gdi
