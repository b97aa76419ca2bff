// SPDX-License-Identifier: MIT
#include "kernels/LumoBlendWide.h"

#if LUMO_SIMD128
#include <wasm_simd128.h>

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
