// Wider forms of the MMX average row kernel: the same formula on 16 or 32
// bytes at once, with the shift kept within each 64-bit half and the sum per
// 32-bit word, so every result is bit for bit what AvgRowMMX gives.
#pragma once

#include <cstdint>

#include "LumoBlend.h"

void AvgRowSSE2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
void AvgRowAVX2(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// The widest of AvgRowAVX2, AvgRowSSE2 and AvgRowMMX this processor runs.
TRowKernel WidestAvgRow();
