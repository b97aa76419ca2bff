// SPDX-License-Identifier: MIT
#include "kernels/AvgRow.h"

#include <cstring>

namespace {

inline uint32_t Load32(const uint8_t* P) {
  uint32_t V;
  std::memcpy(&V, P, 4);
  return V;
}

inline void Store32(uint8_t* P, uint32_t V) { std::memcpy(P, &V, 4); }

inline uint32_t Avg32(uint32_t A, uint32_t B, uint32_t Mask) { return (A & B) + (((A ^ B) >> 1) & Mask); }

// One 8-byte block as MMX computes it: the shift over all 64 bits, the sum
// per 32-bit half, so a carry out of the low half is dropped.
inline uint64_t Avg64(uint64_t A, uint64_t B, uint64_t Mask) {
  const uint64_t And = A & B;
  const uint64_t Half = ((A ^ B) >> 1) & Mask;
  const uint32_t Lo = static_cast<uint32_t>(And) + static_cast<uint32_t>(Half);
  const uint32_t Hi = static_cast<uint32_t>(And >> 32) + static_cast<uint32_t>(Half >> 32);
  return (uint64_t{Hi} << 32) | Lo;
}

}  // namespace

void AvgRowBlocks8(uint8_t* D, const uint8_t* A, const uint8_t* B, uint32_t Param, uint32_t Count) {
  const uint64_t Mask = (uint64_t{Param} << 32) | Param;
  for (; Count >= 8; Count -= 8, A += 8, B += 8, D += 8) {
    uint64_t Va, Vb;
    std::memcpy(&Va, A, 8);
    std::memcpy(&Vb, B, 8);
    const uint64_t R = Avg64(Va, Vb, Mask);
    std::memcpy(D, &R, 8);
  }
  if (Count > 0) {
    uint8_t Buffer[8] = {};
    uint64_t Va, Vb;
    std::memcpy(Buffer, B, Count);
    std::memcpy(&Vb, Buffer, 8);
    std::memcpy(Buffer, A, Count);
    std::memcpy(&Va, Buffer, 8);
    const uint64_t R = Avg64(Va, Vb, Mask);
    std::memcpy(Buffer, &R, 8);
    std::memcpy(D, Buffer, Count);
  }
}

void AvgRowPlain(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);

  for (uint32_t Block = Count / 16; Block > 0; --Block) {
    // Read all four words of both sources first: Dest may be either source.
    const uint32_t A0 = Load32(A), A1 = Load32(A + 4), A2 = Load32(A + 8), A3 = Load32(A + 12);
    const uint32_t B0 = Load32(B), B1 = Load32(B + 4), B2 = Load32(B + 8), B3 = Load32(B + 12);
    Store32(D, Avg32(A0, B0, Param));
    Store32(D + 4, Avg32(A1, B1, Param));
    Store32(D + 8, Avg32(A2, B2, Param));
    Store32(D + 12, Avg32(A3, B3, Param));
    A += 16;
    B += 16;
    D += 16;
  }
  for (uint32_t Word = (Count % 16) / 4; Word > 0; --Word) {
    Store32(D, Avg32(Load32(A), Load32(B), Param));
    A += 4;
    B += 4;
    D += 4;
  }
  for (uint32_t K = 0; K < Count % 4; ++K) {
    const uint8_t Mask = static_cast<uint8_t>(Param >> (8 * K));
    const uint8_t Va = A[K], Vb = B[K];
    D[K] = static_cast<uint8_t>((Va & Vb) + (((Va ^ Vb) >> 1) & Mask));
  }
}
