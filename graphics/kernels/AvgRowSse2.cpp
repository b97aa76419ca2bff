// SPDX-License-Identifier: MIT
#include "kernels/LumoBlendWide.h"

#if LUMO_X86
#include <immintrin.h>

__attribute__((target("sse2"))) void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param,
                                                uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const __m128i Mask = _mm_set1_epi32(static_cast<int>(Param));
  for (; Count >= 16; Count -= 16, A += 16, B += 16, D += 16) {
    const __m128i Va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A));
    const __m128i Vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B));
    const __m128i Half = _mm_and_si128(_mm_srli_epi64(_mm_xor_si128(Va, Vb), 1), Mask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D), _mm_add_epi32(_mm_and_si128(Va, Vb), Half));
  }
  AvgRowBlocks8(D, A, B, Param, Count);
}

#else

// Not an x86 build: the MMX kernel's bytes, so that the symbol exists; the
// chooser never picks it here.
void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowBlocks8(static_cast<uint8_t*>(Dest), static_cast<const uint8_t*>(Src1), static_cast<const uint8_t*>(Src2),
                Param, Count);
}

#endif
