// SPDX-License-Identifier: MIT
#include "FumesFast.h"
#include "FumesWide.h"

#if LUMO_SIMD128

#include <cstring>

#include <wasm_simd128.h>

namespace {

// The SSE2 form in WebAssembly's vectors, whose unsigned byte average
// rounds up as pavgb does; see FumesSse2.cpp for the arithmetic and
// why the in-place forward sweep needs no minimum width.
inline v128_t Quarter16(v128_t A, v128_t B, v128_t C, v128_t D, v128_t One) {
  const v128_t E1 = wasm_v128_and(wasm_v128_xor(A, C), One);
  const v128_t X = wasm_i8x16_sub(wasm_u8x16_avgr(A, C), E1);
  const v128_t E2 = wasm_v128_and(wasm_v128_xor(B, D), One);
  const v128_t Y = wasm_i8x16_sub(wasm_u8x16_avgr(B, D), E2);
  const v128_t Odd = wasm_v128_and(wasm_v128_xor(X, Y), One);
  const v128_t Down = wasm_u8x16_sub_sat(Odd, wasm_v128_and(E1, E2));
  return wasm_i8x16_sub(wasm_u8x16_avgr(X, Y), Down);
}

inline void Block16(uint8_t* B, uint32_t p, uint32_t s, v128_t D, uint32_t Word, v128_t Select, v128_t One) {
  const uint8_t* Two = B + p + 2 * s;
  const v128_t V = Quarter16(wasm_v128_load(Two - 1), wasm_v128_load(Two), wasm_v128_load(Two + 1), D, One);
  const v128_t Mark = wasm_v128_and(wasm_i32x4_splat(static_cast<int32_t>(Word)), Select);
  // Saturating: a zero average stays zero.
  wasm_v128_store(B + p, wasm_u8x16_sub_sat(V, wasm_u8x16_min(Mark, One)));
}

void WideSIMD128(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const v128_t One = wasm_i8x16_splat(1);
  const v128_t SelectLow = wasm_i32x4_make(0x01010101, 0x02020202, 0x04040404, 0x08080808);
  const v128_t SelectHigh = wasm_i32x4_make(0x10101010, 0x20202020, 0x40404040, static_cast<int32_t>(0x80808080u));
  uint32_t p = 0;
  for (; p + 16 <= MainEnd; p += 16) {
    Block16(B, p, s, wasm_v128_load(B + p + 4 * s), Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  for (; p + 16 <= TailEnd; p += 16) {
    // The fourth term only for the bytes before the end of the main pass.
    alignas(16) uint8_t Fourth[16] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    Block16(B, p, s, wasm_v128_load(Fourth), Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  FumeScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

}  // namespace

void FumePassesSIMD128(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(WideSIMD128, B, Size, s, Noise);
}

#else

void FumePassesSIMD128(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(nullptr, B, Size, s, Noise);
}

#endif
