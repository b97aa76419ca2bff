#include "gdi/PaletteRows.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LUMO_PALETTE_SSE41 1
#else
#define LUMO_PALETTE_SSE41 0
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

#if LUMO_PALETTE_SSE41

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

#endif

}  // namespace

void ExpandIndicesPlain(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  for (int i = 0; i < Count; ++i) Out[i] = Palette[In[i]];
}

void ExpandIndicesEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandEight(In, Out, Count, Palette);
}

bool CanExpandIndicesSSE41() {
#if LUMO_PALETTE_SSE41
  return __builtin_cpu_supports("sse4.1");
#else
  return false;
#endif
}

void ExpandIndicesSSE41(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
#if LUMO_PALETTE_SSE41
  ExpandSSE41(In, Out, Count, Palette);
#else
  ExpandEight(In, Out, Count, Palette);
#endif
}

void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  static const bool Wide = CanExpandIndicesSSE41();
  if (Wide) {
    ExpandIndicesSSE41(In, Out, Count, Palette);
  } else {
    ExpandEight(In, Out, Count, Palette);
  }
}

}  // namespace lumo::gdi
