// SPDX-License-Identifier: MIT
#include <cstring>

#include "kernels/AvgRow.h"
#include "LumoFastPath.h"

#if LUMO_X86
#include <mmintrin.h>
#endif

#if LUMO_X86

// MMX: the shift is one 64-bit psrlq and the sum two 32-bit paddd lanes,
// exactly Avg64; the tail goes through AvgRowBlocks8 after emms.
__attribute__((target("mmx"))) void AvgRowMMX(void* Dest, const void* Src1, const void* Src2, uint32_t Param,
                                              uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const __m64 Mask = _mm_set1_pi32(static_cast<int>(Param));

  for (uint32_t Block = Count / 8; Block > 0; --Block) {
    __m64 Va, Vb;
    std::memcpy(&Va, A, 8);
    std::memcpy(&Vb, B, 8);
    const __m64 R = _mm_add_pi32(_mm_and_si64(Va, Vb), _mm_and_si64(_mm_srli_si64(_mm_xor_si64(Va, Vb), 1), Mask));
    std::memcpy(D, &R, 8);
    A += 8;
    B += 8;
    D += 8;
  }
  _mm_empty();
  AvgRowBlocks8(D, A, B, Param, Count % 8);
}

#else

// No MMX on this processor family: the same arithmetic on 64-bit integers,
// kept so that the symbol exists; the chooser never picks it here.
void AvgRowMMX(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  AvgRowBlocks8(static_cast<uint8_t*>(Dest), static_cast<const uint8_t*>(Src1), static_cast<const uint8_t*>(Src2),
                Param, Count);
}

#endif
