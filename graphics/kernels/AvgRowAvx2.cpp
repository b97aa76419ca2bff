// SPDX-License-Identifier: MIT
#include "kernels/LumoBlendWide.h"

#if LUMO_X86
#include <immintrin.h>

__attribute__((target("avx2"))) void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param,
                                                uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const __m256i Mask = _mm256_set1_epi32(static_cast<int>(Param));
  for (; Count >= 32; Count -= 32, A += 32, B += 32, D += 32) {
    const __m256i Va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(A));
    const __m256i Vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(B));
    const __m256i Half = _mm256_and_si256(_mm256_srli_epi64(_mm256_xor_si256(Va, Vb), 1), Mask);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(D), _mm256_add_epi32(_mm256_and_si256(Va, Vb), Half));
  }
  // Clear the wide registers' upper halves before code built for plain SSE
  // runs: left dirty, they slow every later SSE instruction of the process.
  _mm256_zeroupper();
  AvgRowBlocks8(D, A, B, Param, Count);
}

#else

void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowSSE2(Dest, Src1, Src2, Param, Count);
}

#endif
