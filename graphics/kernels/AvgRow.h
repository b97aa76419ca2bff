// SPDX-License-Identifier: MIT
// The average row kernel: its type, the MMX form (AvgRowMmx.cpp) and the
// plain form, and the 8-byte step every MMX-exact form shares. The wider forms and the family
// table are in LumoBlendWide.h; LumoBlend chooses among them.
#pragma once

#include <cstdint>

// One row: Dest := Src1 (op) Src2 over Count bytes. Param is the kernel's
// 32-bit parameter (for the average, the channel mask). Dest may be the same
// memory as either source.
using TRowKernel = void (*)(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// r = (a and b) + (((a xor b) shr 1) and mask): 8 bytes per step, the shift
// over 64 bits and the sum per 32-bit half; the tail goes through a zeroed
// 8-byte buffer.
void AvgRowMMX(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
// The same over 16-byte blocks of four 32-bit words, then single words, then
// single bytes masked with the matching byte of Param in 8-bit arithmetic.
void AvgRowPlain(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// AvgRowMMX's arithmetic in 64-bit integers: whole 8-byte blocks, then the
// last Count % 8 bytes through a zeroed buffer (the zeros matter: the shift
// carries a bit of the next byte down). The wider forms finish their rows
// with it, and it is the MMX form where the processor family has no MMX.
void AvgRowBlocks8(uint8_t* Dest, const uint8_t* Src1, const uint8_t* Src2, uint32_t Param, uint32_t Count);
