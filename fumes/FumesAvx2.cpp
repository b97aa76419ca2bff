// SPDX-License-Identifier: MIT
#include "FumesFast.h"
#include "FumesWide.h"

#if LUMO_X86

#include <cstring>

#include <immintrin.h>

namespace {

// The SSE2 form (FumesSse2.cpp) 32 bytes at a time; see there for the
// arithmetic and why the in-place forward sweep needs no minimum width.

__attribute__((target("avx2"))) inline __m256i Quarter32(__m256i A, __m256i B, __m256i C, __m256i D, __m256i One) {
  const __m256i E1 = _mm256_and_si256(_mm256_xor_si256(A, C), One);
  const __m256i X = _mm256_sub_epi8(_mm256_avg_epu8(A, C), E1);
  const __m256i E2 = _mm256_and_si256(_mm256_xor_si256(B, D), One);
  const __m256i Y = _mm256_sub_epi8(_mm256_avg_epu8(B, D), E2);
  const __m256i Odd = _mm256_and_si256(_mm256_xor_si256(X, Y), One);
  const __m256i Down = _mm256_subs_epu8(Odd, _mm256_and_si256(E1, E2));
  return _mm256_sub_epi8(_mm256_avg_epu8(X, Y), Down);
}

__attribute__((target("avx2"))) inline void Block32(uint8_t* B, uint32_t p, uint32_t s, __m256i D, uint32_t Word,
                                                    __m256i Select, __m256i One) {
  const uint8_t* Two = B + p + 2 * s;
  const __m256i A = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Two - 1));
  const __m256i Bm = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Two));
  const __m256i C = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Two + 1));
  const __m256i V = Quarter32(A, Bm, C, D, One);
  const __m256i Mark = _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(Word)), Select);
  const __m256i R = _mm256_subs_epu8(V, _mm256_min_epu8(Mark, One));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(B + p), R);
}

__attribute__((target("avx2"))) void WideAVX2(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const __m256i One = _mm256_set1_epi8(1);
  const __m256i Select = _mm256_set_epi32(static_cast<int>(0x80808080u), 0x40404040, 0x20202020, 0x10101010, 0x08080808,
                                          0x04040404, 0x02020202, 0x01010101);
  uint32_t p = 0;
  for (; p + 32 <= MainEnd; p += 32) {
    const __m256i D = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(B + p + 4 * s));
    Block32(B, p, s, D, Bits[p >> 5], Select, One);
  }
  for (; p + 32 <= TailEnd; p += 32) {
    alignas(32) uint8_t Fourth[32] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    const __m256i D = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Fourth));
    Block32(B, p, s, D, Bits[p >> 5], Select, One);
  }
  // Clear the wide registers' upper halves before code built for plain SSE
  // runs: left dirty, they slow every later SSE instruction of the process.
  _mm256_zeroupper();
  FumeScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

}  // namespace

void FumePassesAVX2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(WideAVX2, B, Size, s, Noise);
}

#else

void FumePassesAVX2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(nullptr, B, Size, s, Noise);
}

#endif
