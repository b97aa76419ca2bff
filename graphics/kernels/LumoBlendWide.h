// SPDX-License-Identifier: MIT
// Wider forms of the average row kernel. The x86 ones compute the MMX
// kernel's formula on 16, 32 or 64 bytes at once, with the shift kept within
// each 64-bit half and the sum per 32-bit word, so every result is bit for
// bit what AvgRowMMX gives. WebAssembly and aarch64 have no MMX, so there the
// blend owes the plain kernel's bytes: the simd128 and neon forms are
// AvgRowPlain four words at a time, its word and byte tails included. With
// the MMX and plain forms they make the family table LumoBlend chooses from.
// Each instruction set's form is a file of its own (AvgRowSse2.cpp, ...),
// compiled everywhere: outside its processor family it only keeps the symbol
// and is never chosen.
#pragma once

#include <cstdint>

#include "LumoFastPath.h"
#include "kernels/AvgRow.h"
#include "kernels/LumoCpu.h"

void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX512(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowSIMD128(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowNEON(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// Widest first. The x86 forms give AvgRowMMX's bytes, the simd128, neon and
// plain ones AvgRowPlain's; the two differ where a byte tail or a 64-bit shift
// would carry a bit across a 32-bit word.
inline constexpr TLumoForm<TRowKernel> AvgRowForms[] = {
    {"avx512", LumoHasAVX512, AvgRowAVX512},    {"avx2", LumoHasAVX2, AvgRowAVX2}, {"sse2", LumoHasSSE2, AvgRowSSE2},
    {"simd128", LumoHasSIMD128, AvgRowSIMD128}, {"neon", LumoHasNEON, AvgRowNEON}, {"mmx", LumoHasMMX, AvgRowMMX},
    {"plain", LumoAlways, AvgRowPlain},
};

// The kernel whose bytes a form of AvgRowForms gives: AvgRowMMX or
// AvgRowPlain.
constexpr TRowKernel AvgRowReference(TRowKernel Form) {
  return Form == AvgRowSIMD128 || Form == AvgRowNEON || Form == AvgRowPlain ? AvgRowPlain : AvgRowMMX;
}
