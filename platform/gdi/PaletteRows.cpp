// SPDX-License-Identifier: MIT
// The palette expansion's family: the plain forms, the chooser, the palettes
// made ready for the chosen form, and the row writer of 8-bit copies to
// windows. Each instruction set's form is in a file of its own
// (PaletteRowsSse41.cpp, ...).
#include "gdi/PaletteRows.h"

#include <bit>
#include <cstring>

#if LUMO_X86
#include <immintrin.h>
#endif

namespace lumo::gdi {

namespace {

void ExpandEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  int i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= Count; i += 8) {
      uint64_t Indices;
      std::memcpy(&Indices, In + i, 8);
      // The first pixel is the low byte, and the low word of each pair.
      const uint64_t P0 = Palette[Indices & 0xFF] | (uint64_t{Palette[(Indices >> 8) & 0xFF]} << 32);
      const uint64_t P1 = Palette[(Indices >> 16) & 0xFF] | (uint64_t{Palette[(Indices >> 24) & 0xFF]} << 32);
      const uint64_t P2 = Palette[(Indices >> 32) & 0xFF] | (uint64_t{Palette[(Indices >> 40) & 0xFF]} << 32);
      const uint64_t P3 = Palette[(Indices >> 48) & 0xFF] | (uint64_t{Palette[Indices >> 56]} << 32);
      std::memcpy(Out + i, &P0, 8);
      std::memcpy(Out + i + 2, &P1, 8);
      std::memcpy(Out + i + 4, &P2, 8);
      std::memcpy(Out + i + 6, &P3, 8);
    }
  }
  for (; i < Count; ++i) Out[i] = Palette[In[i]];
}

void TableEight(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandEight(In, Out, Count, Table.Pixels);
}

}  // namespace

void SplitChannels(const uint32_t* Palette, uint8_t (*Channel)[256]) {
  for (int i = 0; i < 256; ++i) {
    for (int k = 0; k < 4; ++k) Channel[k][i] = static_cast<uint8_t>(Palette[i] >> (8 * k));
  }
}

void ExpandIndicesPlain(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  for (int i = 0; i < Count; ++i) Out[i] = Palette[In[i]];
}

void ExpandIndicesEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandEight(In, Out, Count, Palette);
}

namespace {

const ExpandIndicesKernel& Chosen() { return LumoChosen<ExpandIndicesForms>("palette expansion").Function; }

}  // namespace

void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  Chosen().Row(In, Out, Count, Palette);
}

void ExpandRows(const uint8_t* In, ptrdiff_t InStep, uint32_t* Out, ptrdiff_t OutStep, int Width, int Height,
                const PaletteTable& Table, bool Stream) {
  const auto Expand = Stream ? Table.ExpandStreaming : Table.Expand;
  for (int y = 0; y < Height; ++y, In += InStep, Out += OutStep) Expand(In, Out, Width, Table);
#if LUMO_X86
  // Streamed lines are seen by others (the X server) only after a fence.
  if (Stream) _mm_sfence();
#endif
}

void ReadyEight(const uint32_t* Pixels, PaletteTable& Table) {
  std::memcpy(Table.Pixels, Pixels, sizeof Table.Pixels);
  Table.Expand = Table.ExpandStreaming = TableEight;
}

void BuildPaletteTable(const uint32_t* Pixels, PaletteTable& Table) { Chosen().Ready(Pixels, Table); }

}  // namespace lumo::gdi
