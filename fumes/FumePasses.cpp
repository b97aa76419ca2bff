// SPDX-License-Identifier: MIT
#include "FumePasses.h"

void FumePassesPlain(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  uint32_t p = 0;
  // Main pass: everything above the last four rows, from the row two below
  // (with its left and right neighbours) and the row four below.
  const uint32_t MainEnd = Size - 4 * s;
  for (; p < MainEnd; ++p) {
    uint32_t v = (B[p + 2 * s - 1] + B[p + 2 * s] + B[p + 2 * s + 1] + B[p + 4 * s]) >> 2;
    if (v > 0 && (Noise & 15) > 10) {
      --v;
    }
    B[p] = static_cast<uint8_t>(v);
    Noise += Noise - (Noise >> 1);
  }
  // Tail pass: there is no row four below, and the sum of three is still
  // divided by four, so this band darkens faster.
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  for (; p < TailEnd; ++p) {
    uint32_t v = (B[p + 2 * s - 1] + B[p + 2 * s] + B[p + 2 * s + 1]) >> 2;
    if (v > 0 && (Noise & 15) > 10) {
      --v;
    }
    B[p] = static_cast<uint8_t>(v);
    Noise += Noise - (Noise >> 1);
  }
}
