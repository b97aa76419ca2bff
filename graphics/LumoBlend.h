// Blending two surfaces of one depth into a third, row by row. The average's
// row kernel is the MMX one or the plain integer one, chosen by the
// processor's features; where the processor has them, wider SSE2, AVX2 and
// AVX-512 forms (kernels/LumoBlendWide) take whole rows or whole surfaces,
// each byte for byte equal to the plain kernel.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "LumoDIB.h"

// One row: Dest := Src1 (op) Src2 over Count bytes. Param is the kernel's
// 32-bit parameter (for the average, the channel mask). Dest may be the same
// memory as either source.
using TRowKernel = void (*)(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);

// The depths (bits per pixel, 0..39) that a blend accepts.
struct TDepthSet {
  uint64_t Bits = 0;

  constexpr TDepthSet() = default;
  constexpr TDepthSet(std::initializer_list<int> Depths) {
    for (int Depth : Depths) {
      if (Depth >= 0 && Depth <= 39) {
        Bits |= uint64_t{1} << Depth;
      }
    }
  }
  constexpr bool Contains(int Depth) const { return Depth >= 0 && Depth <= 39 && ((Bits >> Depth) & 1) != 0; }
};

inline constexpr TDepthSet AvgBlendDepths{8, 16, 24, 32};

// Dest := the channel-wise floor of the mean of Src1 and Src2. Dest may be
// the same surface as either source. Returns false, changing nothing, when
// the depths differ or are not 8, 16, 24 or 32, or when the surfaces differ
// in width or row count.
bool AvgBlend(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2);

// The mask AvgBlend passes to its kernels for Dest's pixel layout.
uint32_t AvgBlendMask(const TLumoDIB& Dest);

// Runs MMXKernel (when the processor has MMX) or PlainKernel over every row
// of Dest with the row's pixel bytes as the count; the padding at the end of
// each row is not touched. Refuses, changing nothing, the same cases as
// AvgBlend, with Depths as the accepted depths.
bool BlendRows(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2, TDepthSet Depths, uint32_t Param,
               TRowKernel MMXKernel, TRowKernel PlainKernel);

// r = (a and b) + (((a xor b) shr 1) and mask): 8 bytes per step, the shift
// over 64 bits and the sum per 32-bit half; the tail goes through a zeroed
// 8-byte buffer.
void AvgRowMMX(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
// The same over 16-byte blocks of four 32-bit words, then single words, then
// single bytes masked with the matching byte of Param in 8-bit arithmetic.
void AvgRowPlain(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count);
