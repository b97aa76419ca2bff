// SPDX-License-Identifier: MIT
// Blending two surfaces of one depth into a third, row by row. The average
// runs the form of its row kernel that LumoFastPath.h chooses from the family
// table in kernels/LumoBlendWide.h: AVX-512, AVX2, SSE2 or MMX where the
// processor has them, each byte for byte what the MMX kernel gives, else the
// plain integer kernel (in WebAssembly and on aarch64 four words a vector,
// byte for byte the same). Surfaces whose rows follow each other without gaps
// go through the kernel in one call.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "LumoDIB.h"
#include "kernels/AvgRow.h"

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
// the same surface as either source. Runs the chosen form of the family when
// the processor record has pfMMX at the time of the call; else the plain
// kernel's bytes: the chosen form where it gives them (simd128), else
// AvgRowPlain. Returns false, changing nothing, when the depths differ or are
// not 8, 16, 24 or 32, or when the surfaces differ in width or row count.
bool AvgBlend(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2);
// AvgBlend through the given form of the row kernel rather than the chosen
// one: tests and benchmarks run every form of the family this way.
bool AvgBlendWith(TRowKernel Kernel, TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2);

// The mask AvgBlend passes to its kernels for Dest's pixel layout.
uint32_t AvgBlendMask(const TLumoDIB& Dest);

// Runs MMXKernel (when the processor has MMX) or PlainKernel over every row
// of Dest with the row's pixel bytes as the count; the padding at the end of
// each row is not touched. Refuses, changing nothing, the same cases as
// AvgBlend, with Depths as the accepted depths.
bool BlendRows(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2, TDepthSet Depths, uint32_t Param,
               TRowKernel MMXKernel, TRowKernel PlainKernel);
