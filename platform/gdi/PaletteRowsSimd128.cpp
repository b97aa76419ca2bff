// SPDX-License-Identifier: MIT
#include <cstring>

#include "gdi/PaletteRows.h"

#if LUMO_SIMD128
#include <wasm_simd128.h>
#endif

namespace lumo::gdi {

#if LUMO_SIMD128

namespace {

// As the SSE4.1 form: four colours made into one vector and stored at once.
inline v128_t Four(const uint32_t* Palette, uint32_t Indices) {
  return wasm_u32x4_make(Palette[Indices & 0xFF], Palette[(Indices >> 8) & 0xFF], Palette[(Indices >> 16) & 0xFF],
                         Palette[Indices >> 24]);
}

void ExpandSIMD128(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  int i = 0;
  for (; i + 8 <= Count; i += 8) {
    uint32_t First, Second;
    std::memcpy(&First, In + i, 4);
    std::memcpy(&Second, In + i + 4, 4);
    wasm_v128_store(Out + i, Four(Palette, First));
    wasm_v128_store(Out + i + 4, Four(Palette, Second));
  }
  for (; i < Count; ++i) Out[i] = Palette[In[i]];
}

void TableSIMD128(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandSIMD128(In, Out, Count, Table.Pixels);
}

}  // namespace

void ExpandIndicesSIMD128(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandSIMD128(In, Out, Count, Palette);
}

void ReadySIMD128(const uint32_t* Pixels, PaletteTable& Table) {
  ReadyEight(Pixels, Table);
  Table.Expand = Table.ExpandStreaming = TableSIMD128;
}

#else

void ExpandIndicesSIMD128(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandIndicesEight(In, Out, Count, Palette);
}

void ReadySIMD128(const uint32_t* Pixels, PaletteTable& Table) { ReadyEight(Pixels, Table); }

#endif

bool CanExpandIndicesSIMD128() { return LumoHasSIMD128(); }

}  // namespace lumo::gdi
