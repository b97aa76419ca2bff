// Wider forms of the MMX average row kernel: the same formula on 16, 32 or 64
// bytes at once, with the shift kept within each 64-bit half and the sum per
// 32-bit word, so every result is bit for bit what AvgRowMMX gives.
#pragma once

#include <cstdint>

#include "LumoBlend.h"

void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX512(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// The widest of AvgRowAVX512, AvgRowAVX2, AvgRowSSE2 and AvgRowMMX this
// processor runs.
TRowKernel WidestAvgRow();

// The average of whole surfaces in one pass of the widest kernel, for
// surfaces whose rows follow each other without gaps and whose row length
// is a whole number of 8-byte blocks: the blocks then fall exactly where the
// row-by-row MMX kernel puts them, so the bytes are the same, without the
// cost of a call per row. Returns false, changing nothing, when the surfaces
// do not qualify (or the processor lacks MMX); the caller then blends row by
// row.
bool AvgBlendWhole(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2, uint32_t Param);
