// SPDX-License-Identifier: MIT
#include "kernels/LumoBlendWide.h"

#if LUMO_NEON
#include <arm_neon.h>

// AvgRowPlain's words four at a time, as the simd128 form: with no MMX on
// this processor family the blend owes the plain kernel's bytes, so the
// shift stays within each 32-bit word and the rest of the row (fewer than
// 16 bytes) is the plain kernel's own word and byte tail.
void AvgRowNEON(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const uint32x4_t Mask = vdupq_n_u32(Param);
  auto Average = [Mask](uint32x4_t Va, uint32x4_t Vb) {
    return vaddq_u32(vandq_u32(Va, Vb), vandq_u32(vshrq_n_u32(veorq_u32(Va, Vb), 1), Mask));
  };
  auto Load = [](const uint8_t* P) { return vreinterpretq_u32_u8(vld1q_u8(P)); };
  auto Store = [](uint8_t* P, uint32x4_t V) { vst1q_u8(P, vreinterpretq_u8_u32(V)); };
  // Two blocks per step, both read before either is written: Dest may be
  // either source.
  for (; Count >= 32; Count -= 32, A += 32, B += 32, D += 32) {
    const uint32x4_t Va0 = Load(A), Va1 = Load(A + 16);
    const uint32x4_t Vb0 = Load(B), Vb1 = Load(B + 16);
    Store(D, Average(Va0, Vb0));
    Store(D + 16, Average(Va1, Vb1));
  }
  if (Count >= 16) {
    Store(D, Average(Load(A), Load(B)));
    Count -= 16;
    A += 16;
    B += 16;
    D += 16;
  }
  AvgRowPlain(D, A, B, Param, Count);
}

#else

void AvgRowNEON(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowPlain(Dest, Src1, Src2, Param, Count);
}

#endif
