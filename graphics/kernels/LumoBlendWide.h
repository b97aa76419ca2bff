// SPDX-License-Identifier: MIT
// Wider forms of the MMX average row kernel: the same formula on 16, 32 or 64
// bytes at once, with the shift kept within each 64-bit half and the sum per
// 32-bit word, so every result is bit for bit what AvgRowMMX gives. With the
// MMX and plain forms they make the family table LumoBlend chooses from.
#pragma once

#include <cstdint>

#include "LumoFastPath.h"
#include "kernels/AvgRow.h"
#include "kernels/LumoCpu.h"

void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX512(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// Widest first. Every form but the plain one gives AvgRowMMX's bytes; the
// plain one differs from them where a byte tail or a 64-bit shift would
// carry a bit across a 32-bit word.
inline constexpr TLumoForm<TRowKernel> AvgRowForms[] = {
    {"avx512", LumoHasAVX512, AvgRowAVX512}, {"avx2", LumoHasAVX2, AvgRowAVX2},  {"sse2", LumoHasSSE2, AvgRowSSE2},
    {"mmx", LumoHasMMX, AvgRowMMX},          {"plain", LumoAlways, AvgRowPlain},
};
