// SPDX-License-Identifier: MIT
#include "FumesFast.h"
#include "FumesWide.h"

#if LUMO_X86

#include <cstring>

#include <immintrin.h>

namespace {

// Every read of a block lies at or after its first byte (p + 2s - 1 >= p),
// and all of a block's reads happen before its store; blocks go forward, so
// no block ever reads a byte an earlier block wrote. That holds for any row
// length, so the wide path needs no minimum width.
//
// floor((a + b + c + d) / 4) exactly, in bytes: x = floor((a + c) / 2) and
// y = floor((b + d) / 2) with their dropped bits e1, e2; the result is
// floor((x + y + 1) / 2) when both bits were set, else floor((x + y) / 2).
// pavgb rounds up, so each floor is pavgb minus the low bit of the xor.

__attribute__((target("sse2"))) inline __m128i Quarter16(__m128i A, __m128i B, __m128i C, __m128i D, __m128i One) {
  const __m128i E1 = _mm_and_si128(_mm_xor_si128(A, C), One);
  const __m128i X = _mm_sub_epi8(_mm_avg_epu8(A, C), E1);
  const __m128i E2 = _mm_and_si128(_mm_xor_si128(B, D), One);
  const __m128i Y = _mm_sub_epi8(_mm_avg_epu8(B, D), E2);
  const __m128i Odd = _mm_and_si128(_mm_xor_si128(X, Y), One);
  const __m128i Down = _mm_subs_epu8(Odd, _mm_and_si128(E1, E2));
  return _mm_sub_epi8(_mm_avg_epu8(X, Y), Down);
}

__attribute__((target("sse2"))) inline void Block16(uint8_t* B, uint32_t p, uint32_t s, __m128i D, uint32_t Word,
                                                    __m128i Select, __m128i One) {
  const uint8_t* Two = B + p + 2 * s;
  const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Two - 1));
  const __m128i Bm = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Two));
  const __m128i C = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Two + 1));
  const __m128i V = Quarter16(A, Bm, C, D, One);
  const __m128i Mark = _mm_and_si128(_mm_set1_epi32(static_cast<int>(Word)), Select);
  // Saturating: a zero average stays zero.
  const __m128i R = _mm_subs_epu8(V, _mm_min_epu8(Mark, One));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(B + p), R);
}

__attribute__((target("sse2"))) void WideSSE2(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const __m128i One = _mm_set1_epi8(1);
  const __m128i SelectLow = _mm_set_epi32(0x08080808, 0x04040404, 0x02020202, 0x01010101);
  const __m128i SelectHigh = _mm_set_epi32(static_cast<int>(0x80808080u), 0x40404040, 0x20202020, 0x10101010);
  uint32_t p = 0;
  for (; p + 16 <= MainEnd; p += 16) {
    const __m128i D = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + p + 4 * s));
    Block16(B, p, s, D, Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  for (; p + 16 <= TailEnd; p += 16) {
    // The block that straddles the end of the main pass takes its fourth
    // term only for the bytes before that end; a full load would run past
    // the buffer.
    alignas(16) uint8_t Fourth[16] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    const __m128i D = _mm_load_si128(reinterpret_cast<const __m128i*>(Fourth));
    Block16(B, p, s, D, Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  FumeScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

}  // namespace

void FumePassesSSE2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(WideSSE2, B, Size, s, Noise);
}

#else

void FumePassesSSE2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(nullptr, B, Size, s, Noise);
}

#endif
