// SPDX-License-Identifier: MIT
#include "kernels/LumoBlendWide.h"

#if LUMO_X86
#include <immintrin.h>

// GCC 12's AVX-512 header starts vectors from a deliberately undefined value
// and then warns about it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) void AvgRowAVX512(void* Dest, const void* Src1, const void* Src2, uint32_t Param,
                                                     uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const __m512i Mask = _mm512_set1_epi32(static_cast<int>(Param));
  // Two blocks per step: both are read before either is written, as Dest
  // may be either source.
  for (; Count >= 128; Count -= 128, A += 128, B += 128, D += 128) {
    const __m512i Va0 = _mm512_loadu_si512(A), Va1 = _mm512_loadu_si512(A + 64);
    const __m512i Vb0 = _mm512_loadu_si512(B), Vb1 = _mm512_loadu_si512(B + 64);
    const __m512i Half0 = _mm512_and_si512(_mm512_srli_epi64(_mm512_xor_si512(Va0, Vb0), 1), Mask);
    const __m512i Half1 = _mm512_and_si512(_mm512_srli_epi64(_mm512_xor_si512(Va1, Vb1), 1), Mask);
    _mm512_storeu_si512(D, _mm512_add_epi32(_mm512_and_si512(Va0, Vb0), Half0));
    _mm512_storeu_si512(D + 64, _mm512_add_epi32(_mm512_and_si512(Va1, Vb1), Half1));
  }
  for (; Count >= 64; Count -= 64, A += 64, B += 64, D += 64) {
    const __m512i Va = _mm512_loadu_si512(A);
    const __m512i Vb = _mm512_loadu_si512(B);
    const __m512i Half = _mm512_and_si512(_mm512_srli_epi64(_mm512_xor_si512(Va, Vb), 1), Mask);
    _mm512_storeu_si512(D, _mm512_add_epi32(_mm512_and_si512(Va, Vb), Half));
  }
  _mm256_zeroupper();
  AvgRowAVX2(D, A, B, Param, Count);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

void AvgRowAVX512(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowSSE2(Dest, Src1, Src2, Param, Count);
}

#endif
