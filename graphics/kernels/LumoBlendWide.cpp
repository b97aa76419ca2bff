// SPDX-License-Identifier: MIT
#include "kernels/LumoBlendWide.h"

#if LUMO_X86
#include <immintrin.h>
#endif
#if LUMO_SIMD128
#include <wasm_simd128.h>
#endif

#if LUMO_X86

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

void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowBlocks8(static_cast<uint8_t*>(Dest), static_cast<const uint8_t*>(Src1), static_cast<const uint8_t*>(Src2),
                Param, Count);
}

void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowSSE2(Dest, Src1, Src2, Param, Count);
}

void AvgRowAVX512(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowSSE2(Dest, Src1, Src2, Param, Count);
}

#endif

#if LUMO_SIMD128

// AvgRowPlain's words four at a time: the shift within each 32-bit word and
// the sum per word are exactly its arithmetic, so the blocks give its bytes
// and the rest of the row (fewer than 16 bytes) is its own word and byte
// tail.
void AvgRowSIMD128(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const v128_t Mask = wasm_i32x4_splat(static_cast<int32_t>(Param));
  auto Average = [Mask](v128_t Va, v128_t Vb) {
    return wasm_i32x4_add(wasm_v128_and(Va, Vb), wasm_v128_and(wasm_u32x4_shr(wasm_v128_xor(Va, Vb), 1), Mask));
  };
  // Two blocks per step, both read before either is written: Dest may be
  // either source.
  for (; Count >= 32; Count -= 32, A += 32, B += 32, D += 32) {
    const v128_t Va0 = wasm_v128_load(A), Va1 = wasm_v128_load(A + 16);
    const v128_t Vb0 = wasm_v128_load(B), Vb1 = wasm_v128_load(B + 16);
    wasm_v128_store(D, Average(Va0, Vb0));
    wasm_v128_store(D + 16, Average(Va1, Vb1));
  }
  if (Count >= 16) {
    wasm_v128_store(D, Average(wasm_v128_load(A), wasm_v128_load(B)));
    Count -= 16;
    A += 16;
    B += 16;
    D += 16;
  }
  AvgRowPlain(D, A, B, Param, Count);
}

#else

void AvgRowSIMD128(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowPlain(Dest, Src1, Src2, Param, Count);
}

#endif
