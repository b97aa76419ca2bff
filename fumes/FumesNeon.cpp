// SPDX-License-Identifier: MIT
#include "FumesFast.h"
#include "FumesWide.h"

#if LUMO_NEON

#include <arm_neon.h>

#include <cstring>

namespace {

// The SSE2 form (FumesSse2.cpp) in AdvSIMD; see there for why the in-place
// forward sweep needs no minimum width. AdvSIMD has the truncating byte
// average itself: x = floor((a + c) / 2) and y = floor((b + d) / 2) are one
// vhadd each, and floor((a + b + c + d) / 4) is floor((x + y) / 2), plus
// one where both dropped bits and the low bit of x + y are set, which is
// exactly when the rounding average vrhadd(x, y) is the right one.
inline uint8x16_t Quarter16(uint8x16_t A, uint8x16_t B, uint8x16_t C, uint8x16_t D, uint8x16_t One) {
  const uint8x16_t X = vhaddq_u8(A, C);
  const uint8x16_t Y = vhaddq_u8(B, D);
  const uint8x16_t Both = vandq_u8(veorq_u8(A, C), veorq_u8(B, D));
  const uint8x16_t Up = vandq_u8(vandq_u8(Both, veorq_u8(X, Y)), One);
  return vaddq_u8(vhaddq_u8(X, Y), Up);
}

inline void Block16(uint8_t* B, uint32_t p, uint32_t s, uint8x16_t D, uint32_t Word, uint32x4_t Select,
                    uint8x16_t One) {
  const uint8_t* Two = B + p + 2 * s;
  const uint8x16_t V = Quarter16(vld1q_u8(Two - 1), vld1q_u8(Two), vld1q_u8(Two + 1), D, One);
  // Each byte's own decay bit, picked as the x86 forms pick it; vtst makes
  // the byte all ones where the bit is set.
  const uint8x16_t Marked = vtstq_u8(vreinterpretq_u8_u32(vdupq_n_u32(Word)), vreinterpretq_u8_u32(Select));
  // Saturating: a zero average stays zero.
  vst1q_u8(B + p, vqsubq_u8(V, vandq_u8(Marked, One)));
}

void WideNEON(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const uint8x16_t One = vdupq_n_u8(1);
  const uint32_t Low[4] = {0x01010101u, 0x02020202u, 0x04040404u, 0x08080808u};
  const uint32_t High[4] = {0x10101010u, 0x20202020u, 0x40404040u, 0x80808080u};
  const uint32x4_t SelectLow = vld1q_u32(Low);
  const uint32x4_t SelectHigh = vld1q_u32(High);
  uint32_t p = 0;
  for (; p + 16 <= MainEnd; p += 16) {
    Block16(B, p, s, vld1q_u8(B + p + 4 * s), Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  for (; p + 16 <= TailEnd; p += 16) {
    // The fourth term only for the bytes before the end of the main pass.
    alignas(16) uint8_t Fourth[16] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    Block16(B, p, s, vld1q_u8(Fourth), Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  FumeScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

}  // namespace

void FumePassesNEON(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(WideNEON, B, Size, s, Noise);
}

#else

void FumePassesNEON(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(nullptr, B, Size, s, Noise);
}

#endif
