#include "LumoBlend.h"

#include <cstring>

#include "kernels/LumoBlendWide.h"

#if defined(__i386__) || defined(__x86_64__)
#include <mmintrin.h>
#define LUMO_BLEND_MMX 1
#else
#define LUMO_BLEND_MMX 0
#endif

namespace {

inline uint32_t Load32(const uint8_t* P) {
  uint32_t V;
  std::memcpy(&V, P, 4);
  return V;
}

inline void Store32(uint8_t* P, uint32_t V) { std::memcpy(P, &V, 4); }

inline uint32_t Avg32(uint32_t A, uint32_t B, uint32_t Mask) { return (A & B) + (((A ^ B) >> 1) & Mask); }

int Depth(const TLumoDIB& Dib) { return Dib.Header.biBitCount; }

}  // namespace

#if LUMO_BLEND_MMX

// MMX: the shift is one 64-bit psrlq and the sum two 32-bit paddd lanes, so a
// carry out of the low half is dropped rather than moved into the high half.
__attribute__((target("mmx"))) void AvgRowMMX(void* Dest, const void* Src1, const void* Src2, uint32_t Param,
                                              uint32_t Count) {
  uint8_t Buffer[8] = {};
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

  const uint32_t Tail = Count % 8;
  if (Tail > 0) {
    __m64 Va, Vb;
    std::memcpy(Buffer, B, Tail);
    std::memcpy(&Vb, Buffer, 8);
    std::memcpy(Buffer, A, Tail);
    std::memcpy(&Va, Buffer, 8);
    const __m64 R = _mm_add_pi32(_mm_and_si64(Va, Vb), _mm_and_si64(_mm_srli_si64(_mm_xor_si64(Va, Vb), 1), Mask));
    std::memcpy(Buffer, &R, 8);
    std::memcpy(D, Buffer, Tail);
  }
  _mm_empty();
}

#else

// No MMX on this processor family: the same arithmetic on 64-bit integers,
// kept only so that the symbol exists; the dispatcher never picks it here.
void AvgRowMMX(void* Dest, const void* Src1, const void* Src2, uint32_t Param, uint32_t Count) {
  uint8_t Buffer[8] = {};
  uint8_t* D = static_cast<uint8_t*>(Dest);
  const uint8_t* A = static_cast<const uint8_t*>(Src1);
  const uint8_t* B = static_cast<const uint8_t*>(Src2);
  const uint64_t Mask = (uint64_t{Param} << 32) | Param;
  auto Avg64 = [Mask](uint64_t Va, uint64_t Vb) {
    const uint64_t And = Va & Vb;
    const uint64_t Half = ((Va ^ Vb) >> 1) & Mask;
    const uint32_t Lo = static_cast<uint32_t>(And) + static_cast<uint32_t>(Half);
    const uint32_t Hi = static_cast<uint32_t>(And >> 32) + static_cast<uint32_t>(Half >> 32);
    return (uint64_t{Hi} << 32) | Lo;
  };
  for (uint32_t Block = Count / 8; Block > 0; --Block) {
    uint64_t Va, Vb;
    std::memcpy(&Va, A, 8);
    std::memcpy(&Vb, B, 8);
    const uint64_t R = Avg64(Va, Vb);
    std::memcpy(D, &R, 8);
    A += 8;
    B += 8;
    D += 8;
  }
  const uint32_t Tail = Count % 8;
  if (Tail > 0) {
    uint64_t Va, Vb;
    std::memcpy(Buffer, B, Tail);
    std::memcpy(&Vb, Buffer, 8);
    std::memcpy(Buffer, A, Tail);
    std::memcpy(&Va, Buffer, 8);
    const uint64_t R = Avg64(Va, Vb);
    std::memcpy(Buffer, &R, 8);
    std::memcpy(D, Buffer, Tail);
  }
}

#endif

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

uint32_t AvgBlendMask(const TLumoDIB& Dest) {
  const int D = Depth(Dest);
  if (D != 16 && D != 32) {
    return 0x7F7F7F7Fu;
  }
  // The bit just above each channel, moved down by one: the top bit of each
  // channel, which the shifted exclusive-or must not receive from its
  // neighbour.
  uint32_t T = ((uint32_t{1} << Dest.RedShift) + Dest.RedMask()) |
               ((uint32_t{1} << Dest.GreenShift) + Dest.GreenMask()) | (Dest.BlueMask() + 1u);
  T >>= 1;
  return D == 16 ? ~(T | (T << 16)) : ~T;
}

bool BlendRows(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2, TDepthSet Depths, uint32_t Param,
               TRowKernel MMXKernel, TRowKernel PlainKernel) {
  const int D = Depth(Dest);
  if (Depth(Src1) != D || Depth(Src2) != D || !Depths.Contains(D)) {
    return false;
  }
  // Every row index and the row length come from Dest, so surfaces of another
  // width or row count would be read or written outside their memory.
  if (Src1.Header.biWidth != Dest.Header.biWidth || Src2.Header.biWidth != Dest.Header.biWidth ||
      Src1.RowCount != Dest.RowCount || Src2.RowCount != Dest.RowCount) {
    return false;
  }
  if (Dest.RowCount > 0 && (Dest.Rows == nullptr || Src1.Rows == nullptr || Src2.Rows == nullptr)) {
    return false;
  }
  const TRowKernel Kernel = ProcessorInfo.Has(pfMMX) ? MMXKernel : PlainKernel;
  const uint32_t Count = static_cast<uint32_t>(Dest.RowBytes - Dest.RowGap);
  for (int32_t I = 0; I < Dest.RowCount; ++I) {
    Kernel(Dest.Rows[I], Src1.Rows[I], Src2.Rows[I], Param, Count);
  }
  return true;
}

bool AvgBlend(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2) {
  // Where the processor has them, the wider forms stand in for the MMX
  // kernel; they give the same bytes.
  const uint32_t Mask = AvgBlendMask(Dest);
  if (AvgBlendWhole(Dest, Src1, Src2, Mask)) {
    return true;
  }
  return BlendRows(Dest, Src1, Src2, AvgBlendDepths, Mask, WidestAvgRow(), AvgRowPlain);
}
