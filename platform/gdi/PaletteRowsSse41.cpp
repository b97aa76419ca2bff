// SPDX-License-Identifier: MIT
#include <cstring>

#include "gdi/PaletteRows.h"

#if LUMO_X86
#include <immintrin.h>
#endif

namespace lumo::gdi {

#if LUMO_X86

namespace {

// Four colours gathered into one register and stored at once.
__attribute__((target("sse4.1"))) inline __m128i Four(const uint32_t* Palette, uint32_t Indices) {
  __m128i V = _mm_cvtsi32_si128(static_cast<int>(Palette[Indices & 0xFF]));
  V = _mm_insert_epi32(V, static_cast<int>(Palette[(Indices >> 8) & 0xFF]), 1);
  V = _mm_insert_epi32(V, static_cast<int>(Palette[(Indices >> 16) & 0xFF]), 2);
  return _mm_insert_epi32(V, static_cast<int>(Palette[Indices >> 24]), 3);
}

__attribute__((target("sse4.1"))) void ExpandSSE41(const uint8_t* In, uint32_t* Out, int Count,
                                                   const uint32_t* Palette) {
  int i = 0;
  for (; i + 8 <= Count; i += 8) {
    uint32_t First, Second;
    std::memcpy(&First, In + i, 4);
    std::memcpy(&Second, In + i + 4, 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i), Four(Palette, First));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i + 4), Four(Palette, Second));
  }
  for (; i < Count; ++i) Out[i] = Palette[In[i]];
}

void TableSSE41(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandSSE41(In, Out, Count, Table.Pixels);
}

}  // namespace

bool CanExpandIndicesSSE41() { return __builtin_cpu_supports("sse4.1"); }

void ExpandIndicesSSE41(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandSSE41(In, Out, Count, Palette);
}

void ReadySSE41(const uint32_t* Pixels, PaletteTable& Table) {
  ReadyEight(Pixels, Table);
  Table.Expand = Table.ExpandStreaming = TableSSE41;
}

#else

bool CanExpandIndicesSSE41() { return false; }

void ExpandIndicesSSE41(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandIndicesEight(In, Out, Count, Palette);
}

void ReadySSE41(const uint32_t* Pixels, PaletteTable& Table) { ReadyEight(Pixels, Table); }

#endif

}  // namespace lumo::gdi
