// SPDX-License-Identifier: MIT
#include "LumoBlend.h"

#include "LumoFastPath.h"
#include "kernels/LumoBlendWide.h"

namespace {

int Depth(const TLumoDIB& Dib) { return Dib.Header.biBitCount; }

// The cases every blend refuses: depths that differ or are not in Depths,
// and surfaces of another width or row count (every row index and the row
// length come from Dest, so they would be read or written outside their
// memory).
bool Blendable(const TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2, TDepthSet Depths) {
  const int D = Depth(Dest);
  if (Depth(Src1) != D || Depth(Src2) != D || !Depths.Contains(D)) {
    return false;
  }
  if (Src1.Header.biWidth != Dest.Header.biWidth || Src2.Header.biWidth != Dest.Header.biWidth ||
      Src1.RowCount != Dest.RowCount || Src2.RowCount != Dest.RowCount) {
    return false;
  }
  return Dest.RowCount <= 0 || (Dest.Rows != nullptr && Src1.Rows != nullptr && Src2.Rows != nullptr);
}

void EveryRow(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2, uint32_t Param, TRowKernel Kernel) {
  const uint32_t Count = static_cast<uint32_t>(Dest.RowBytes - Dest.RowGap);
  for (int32_t I = 0; I < Dest.RowCount; ++I) {
    Kernel(Dest.Rows[I], Src1.Rows[I], Src2.Rows[I], Param, Count);
  }
}

bool Contiguous(const TLumoDIB& Dib) {
  return Dib.Rows8 != nullptr && Dib.RowGap == 0 &&
         Dib.Rows8[Dib.RowCount - 1] == Dib.Rows8[0] + static_cast<size_t>(Dib.RowCount - 1) * Dib.RowBytes;
}

// Surfaces whose rows follow each other without gaps and whose row length is
// a whole number of 8-byte blocks: one call over all rows then puts every
// 8-byte block (and every 32-bit word) exactly where the call per row puts
// it, so every form gives the same bytes, without the cost of a call per row.
bool WholeInOneCall(const TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2) {
  if (Dest.RowCount <= 0 || Dest.RowBytes % 8 != 0 || Src1.RowBytes != Dest.RowBytes ||
      Src2.RowBytes != Dest.RowBytes || !Contiguous(Dest) || !Contiguous(Src1) || !Contiguous(Src2)) {
    return false;
  }
  return static_cast<uint64_t>(Dest.RowBytes) * static_cast<uint64_t>(Dest.RowCount) <= 0xFFFFFFFFu;
}

}  // namespace

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
  if (!Blendable(Dest, Src1, Src2, Depths)) {
    return false;
  }
  EveryRow(Dest, Src1, Src2, Param, ProcessorInfo.Has(pfMMX) ? MMXKernel : PlainKernel);
  return true;
}

bool AvgBlendWith(TRowKernel Kernel, TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2) {
  if (!Blendable(Dest, Src1, Src2, AvgBlendDepths)) {
    return false;
  }
  const uint32_t Mask = AvgBlendMask(Dest);
  if (WholeInOneCall(Dest, Src1, Src2)) {
    const uint64_t Bytes = static_cast<uint64_t>(Dest.RowBytes) * static_cast<uint64_t>(Dest.RowCount);
    Kernel(Dest.Rows8[0], Src1.Rows8[0], Src2.Rows8[0], Mask, static_cast<uint32_t>(Bytes));
  } else {
    EveryRow(Dest, Src1, Src2, Mask, Kernel);
  }
  return true;
}

bool AvgBlend(TLumoDIB& Dest, const TLumoDIB& Src1, const TLumoDIB& Src2) {
  // The family's form is chosen once per process, but pfMMX is read on every
  // call, as BlendRows does: without it the plain kernel runs, whose last
  // pixel of an odd-width 16-bit row differs from the MMX-exact forms'.
  const TRowKernel Fastest = LumoChosen<AvgRowForms>("average row").Function;
  return AvgBlendWith(ProcessorInfo.Has(pfMMX) ? Fastest : AvgRowPlain, Dest, Src1, Src2);
}
