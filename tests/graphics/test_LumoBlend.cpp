// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "LumoBlend.h"
#include "kernels/LumoBlendWide.h"

namespace {

// Surfaces in plain memory: the blend never needs GDI, and this keeps the
// tests independent of the display layer.
std::unique_ptr<TLumoDIB> MakeSurface(int Width, int Height, int Bpp, int Red = 0, int Green = 0, int Blue = 0) {
  auto Dib = std::make_unique<TLumoDIB>();
  Dib->UseSection = false;
  Dib->AllocateWith(nullptr, Width, Height, static_cast<uint8_t>(Bpp), static_cast<uint8_t>(Red),
                    static_cast<uint8_t>(Green), static_cast<uint8_t>(Blue));
  return Dib;
}

void FillRandom(TLumoDIB& Dib, uint32_t Seed) {
  std::mt19937 Random(Seed);
  for (uint32_t I = 0; I < Dib.Header.biSizeImage; ++I) {
    Dib.Pixels[I] = static_cast<uint8_t>(Random());
  }
}

std::vector<uint8_t> Bytes(const TLumoDIB& Dib) {
  return std::vector<uint8_t>(Dib.Pixels, Dib.Pixels + Dib.Header.biSizeImage);
}

// BlendRows picks its kernel by the processor record: these run its body
// with and without MMX and put the detected features back afterwards.
class WithKernel {
 public:
  explicit WithKernel(bool Mmx) : Saved(ProcessorInfo.Features) {
    if (Mmx) {
      ProcessorInfo.Features |= pfMMX;
    } else {
      ProcessorInfo.Features &= static_cast<uint8_t>(~pfMMX);
    }
  }
  ~WithKernel() { ProcessorInfo.Features = Saved; }

 private:
  uint8_t Saved;
};

// Every form of the average row this processor runs, the plain one last;
// Mmx tells the forms that give the MMX kernel's bytes from the plain one.
struct FormCase {
  const char* Name;
  TRowKernel Kernel;
  bool Mmx;
};
std::vector<FormCase> AvailableForms() {
  std::vector<FormCase> Forms;
  for (const auto& Form : AvgRowForms) {
    if (Form.Available()) {
      Forms.push_back({Form.Level, Form.Function, Form.Function != AvgRowPlain});
    }
  }
  return Forms;
}

// ------------------------------------------------------------- row kernels

TEST(AvgRowKernels, EveryByteIsTheFloorOfTheMeanForEveryLengthUpTo40) {
  std::mt19937 Random(7);
  for (const FormCase& K : AvailableForms()) {
    for (uint32_t Count = 0; Count <= 40; ++Count) {
      // Guard bytes on both sides catch writes outside the row.
      std::vector<uint8_t> A(Count + 16), B(Count + 16), D(Count + 16, 0xA5);
      for (auto& V : A) V = static_cast<uint8_t>(Random());
      for (auto& V : B) V = static_cast<uint8_t>(Random());
      A[8] = 255, B[8] = 0;               // 255 and 0 give 127
      if (Count > 1) A[9] = 3, B[9] = 4;  // 3 and 4 give 3
      K.Kernel(D.data() + 8, A.data() + 8, B.data() + 8, 0x7F7F7F7F, Count);
      for (uint32_t I = 0; I < D.size(); ++I) {
        const bool Inside = I >= 8 && I < 8 + Count;
        const int Want = Inside ? (A[I] + B[I]) / 2 : 0xA5;
        ASSERT_EQ(D[I], Want) << K.Name << " kernel, count " << Count << ", byte " << I;
      }
    }
  }
}

TEST(AvgRowKernels, WorkInPlaceWithEitherSource) {
  for (const FormCase& K : AvailableForms()) {
    for (uint32_t Count : {7u, 16u, 23u, 40u}) {
      std::vector<uint8_t> A(Count), B(Count);
      for (uint32_t I = 0; I < Count; ++I) {
        A[I] = static_cast<uint8_t>(I * 37 + 11);
        B[I] = static_cast<uint8_t>(I * 91 + 200);
      }
      std::vector<uint8_t> First = A, Second = B;
      K.Kernel(First.data(), First.data(), B.data(), 0x7F7F7F7F, Count);
      K.Kernel(Second.data(), A.data(), Second.data(), 0x7F7F7F7F, Count);
      for (uint32_t I = 0; I < Count; ++I) {
        ASSERT_EQ(First[I], (A[I] + B[I]) / 2) << K.Name << " Dest = Src1, count " << Count;
        ASSERT_EQ(Second[I], (A[I] + B[I]) / 2) << K.Name << " Dest = Src2, count " << Count;
      }
    }
  }
}

TEST(AvgRowKernels, PlainByteTailUsesTheMatchingByteOfTheMask) {
  // Three tail bytes, each with its own mask byte: 0xEF, 0x7B, 0x00.
  const uint8_t A[3] = {0xFF, 0xFF, 0xFF}, B[3] = {0x00, 0x00, 0x00};
  uint8_t D[3] = {};
  AvgRowPlain(D, A, B, 0x12007BEF, 3);
  EXPECT_EQ(D[0], 0x6F);
  EXPECT_EQ(D[1], 0x7B);
  EXPECT_EQ(D[2], 0x00);
}

TEST(AvgRowKernels, MmxCarryOutOfTheLowHalfIsDropped) {
  // With an all-ones mask the low 32-bit sum overflows; the high half must not
  // see the carry, and the high half's low bit moves into bit 31 of the low.
  const uint8_t A[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0};
  const uint8_t B[8] = {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0, 0, 0};
  uint8_t D[8] = {};
  AvgRowMMX(D, A, B, 0xFFFFFFFF, 8);
  // and = 0x7FFFFFFF; (xor shr 1) = 0xC0000000 (bit 32 moved to bit 31);
  // their sum 0x13FFFFFFF keeps only its low 32 bits.
  uint64_t Got;
  std::memcpy(&Got, D, 8);
  EXPECT_EQ(Got, 0x000000003FFFFFFFull);
}

// ----------------------------------------------------------------- masks

TEST(AvgBlendMask, FollowsTheDestinationsPixelLayout) {
  EXPECT_EQ(AvgBlendMask(*MakeSurface(4, 1, 16, 5, 6, 5)), 0x7BEF7BEFu);
  EXPECT_EQ(AvgBlendMask(*MakeSurface(4, 1, 16)), 0xBDEFBDEFu);  // 5-5-5 by default
  EXPECT_EQ(AvgBlendMask(*MakeSurface(4, 1, 32)), 0xFF7F7F7Fu);
  EXPECT_EQ(AvgBlendMask(*MakeSurface(4, 1, 8)), 0x7F7F7F7Fu);
  EXPECT_EQ(AvgBlendMask(*MakeSurface(4, 1, 24)), 0x7F7F7F7Fu);
  EXPECT_EQ(AvgBlendMask(*MakeSurface(4, 1, 4)), 0x7F7F7F7Fu);
}

// -------------------------------------------------------- whole surfaces

struct Layout {
  int Bpp, Red, Green, Blue;
};

// Channel values of one pixel in the order blue, green, red (16 and 32 bits)
// or the bytes themselves (8 and 24 bits).
std::vector<int> Channels(const TLumoDIB& Dib, const uint8_t* Pixel) {
  switch (Dib.Header.biBitCount) {
    case 16: {
      const int P = Pixel[0] | (Pixel[1] << 8);
      return {P & 31, (P >> 5) & ((1 << Dib.GreenBits) - 1), P >> (5 + Dib.GreenBits) & 31};
    }
    case 32:
      return {Pixel[0], Pixel[1], Pixel[2]};  // the fourth byte is no colour
    case 24:
      return {Pixel[0], Pixel[1], Pixel[2]};
    default:
      return {Pixel[0]};
  }
}

TEST(AvgBlend, EveryChannelIsTheFloorOfTheMeanAtAllDepthsWithBothKernels) {
  const Layout Layouts[] = {{8, 0, 0, 0}, {16, 5, 6, 5}, {16, 5, 5, 5}, {24, 0, 0, 0}, {32, 8, 8, 8}};
  for (const FormCase& Form : AvailableForms()) {
    const bool Mmx = Form.Mmx;
    for (const Layout& L : Layouts) {
      for (int Width = 0; Width <= 40; ++Width) {
        auto Dest = MakeSurface(Width, 3, L.Bpp, L.Red, L.Green, L.Blue);
        auto Src1 = MakeSurface(Width, 3, L.Bpp, L.Red, L.Green, L.Blue);
        auto Src2 = MakeSurface(Width, 3, L.Bpp, L.Red, L.Green, L.Blue);
        FillRandom(*Dest, 1);
        FillRandom(*Src1, 2 + Width);
        FillRandom(*Src2, 3 + Width);
        if (L.Bpp == 16 && L.Green == 5) {
          // 5-5-5 pixels keep their unused top bit clear; the mask does not
          // guard it, so set bits there would carry into the next pixel.
          for (auto* Src : {Src1.get(), Src2.get()}) {
            for (int Y = 0; Y < Src->RowCount; ++Y) {
              for (int X = 0; X < Width; ++X) Src->Rows[Y][2 * X + 1] &= 0x7F;
            }
          }
        }
        const std::vector<uint8_t> Before = Bytes(*Dest);
        ASSERT_TRUE(AvgBlendWith(Form.Kernel, *Dest, *Src1, *Src2));

        const int Bpp = L.Bpp / 8;
        // On an odd-width 16-bit row the plain kernel does the last pixel byte
        // by byte; that pixel is checked in its own test below.
        const bool ByteTail = !Mmx && L.Bpp == 16 && Width % 2 == 1;
        for (int Y = 0; Y < Dest->RowCount; ++Y) {
          for (int X = 0; X < Width - (ByteTail ? 1 : 0); ++X) {
            const auto A = Channels(*Src1, Src1->Rows[Y] + X * Bpp);
            const auto B = Channels(*Src2, Src2->Rows[Y] + X * Bpp);
            const auto R = Channels(*Dest, Dest->Rows[Y] + X * Bpp);
            for (size_t C = 0; C < R.size(); ++C) {
              ASSERT_EQ(R[C], (A[C] + B[C]) / 2) << Form.Name << ", " << L.Bpp << " bpp, green " << L.Green
                                                 << ", width " << Width << ", row " << Y << ", x " << X;
            }
          }
          for (int I = Dest->RowBytes - Dest->RowGap; I < Dest->RowBytes; ++I) {
            const size_t Offset = static_cast<size_t>(Y) * Dest->RowBytes + I;
            ASSERT_EQ(Dest->Pixels[Offset], Before[Offset]) << "row padding was written";
          }
        }
      }
    }
  }
}

// The masks are the surface's own: a palette ramp over entries 0..2 must not
// change how white and black average, nor which bits are channels.
TEST(AvgBlend, APaletteRampLeavesTheChannelLayoutAlone) {
  struct Case {
    int Bpp;
    uint32_t White, Half;
  };
  for (const Case& C : {Case{16, 0x7FFF, 0x3DEF}, Case{32, 0x00FFFFFF, 0x007F7F7F}}) {
    SCOPED_TRACE(C.Bpp);
    auto White = MakeSurface(4, 1, C.Bpp), Black = MakeSurface(4, 1, C.Bpp), Dest = MakeSurface(4, 1, C.Bpp);
    White->ClearTo(C.White);
    Black->ClearTo(0);
    Dest->RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(255, 255, 255)});
    ASSERT_TRUE(AvgBlend(*Dest, *White, *Black));
    uint32_t Got = 0;
    std::memcpy(&Got, Dest->Rows[0], static_cast<size_t>(C.Bpp / 8));
    // Bits outside the channels carry nothing.
    EXPECT_EQ(Got & C.White, C.Half);
  }
}

TEST(AvgBlend, OddWidth16BitPlainKernelComputesTheLastPixelByteWise) {
  // White and black on 5-6-5: 0x7BEF by channels (red 15, green 31, blue
  // 15). The plain kernel's byte tail loses the bit that crosses from the
  // high byte into the low one: 0x7B6F.
  for (const FormCase& Form : AvailableForms()) {
    const bool Mmx = Form.Mmx;
    auto Dest = MakeSurface(3, 1, 16, 5, 6, 5);
    auto White = MakeSurface(3, 1, 16, 5, 6, 5);
    auto Black = MakeSurface(3, 1, 16, 5, 6, 5);
    std::memset(White->Pixels, 0xFF, White->Header.biSizeImage);
    std::memset(Black->Pixels, 0x00, Black->Header.biSizeImage);
    ASSERT_TRUE(AvgBlendWith(Form.Kernel, *Dest, *White, *Black));
    uint16_t P[3];
    std::memcpy(P, Dest->Pixels, 6);
    EXPECT_EQ(P[0], 0x7BEF);
    EXPECT_EQ(P[1], 0x7BEF);
    EXPECT_EQ(P[2], Mmx ? 0x7BEF : 0x7B6F) << Form.Name;
  }

  // In general the plain last pixel is exactly the 8-bit formula per byte.
  auto Dest = MakeSurface(5, 4, 16, 5, 6, 5);
  auto Src1 = MakeSurface(5, 4, 16, 5, 6, 5);
  auto Src2 = MakeSurface(5, 4, 16, 5, 6, 5);
  FillRandom(*Src1, 11);
  FillRandom(*Src2, 12);
  ASSERT_TRUE(AvgBlendWith(AvgRowPlain, *Dest, *Src1, *Src2));
  const uint8_t MaskBytes[2] = {0xEF, 0x7B};
  for (int Y = 0; Y < 4; ++Y) {
    for (int K = 0; K < 2; ++K) {
      const uint8_t A = Src1->Rows[Y][8 + K], B = Src2->Rows[Y][8 + K];
      EXPECT_EQ(Dest->Rows[Y][8 + K], static_cast<uint8_t>((A & B) + (((A ^ B) >> 1) & MaskBytes[K])));
    }
  }
}

// pfMMX is read on every call: cleared, the last pixel of an odd-width 16-bit
// row is the plain kernel's byte-wise one; set again, every pixel is the MMX
// kernel's. The flag is only set where the processor has MMX (the record as
// detected says so), so that no MMX instruction runs on one without it.
TEST(AvgBlend, ReadsMmxFromTheRecordOnEveryCall) {
  const bool ProcessorHasMmx = ProcessorInfo.Has(pfMMX);
  auto Dest = MakeSurface(5, 3, 16, 5, 6, 5), White = MakeSurface(5, 3, 16, 5, 6, 5);
  auto Black = MakeSurface(5, 3, 16, 5, 6, 5), Expected = MakeSurface(5, 3, 16, 5, 6, 5);
  std::memset(White->Pixels, 0xFF, White->Header.biSizeImage);
  std::memset(Black->Pixels, 0x00, Black->Header.biSizeImage);
  auto Blend = [&](bool Mmx) {
    WithKernel Use(Mmx);
    Dest->ClearTo(0);
    ASSERT_TRUE(AvgBlend(*Dest, *White, *Black));
    const TRowKernel Reference = Mmx ? AvgRowMMX : AvgRowPlain;
    Expected->ClearTo(0);
    ASSERT_TRUE(BlendRows(*Expected, *White, *Black, AvgBlendDepths, 0x7BEF7BEFu, Reference, Reference));
    EXPECT_EQ(Bytes(*Dest), Bytes(*Expected)) << (Mmx ? "with" : "without") << " pfMMX";
    uint16_t Last = 0;
    std::memcpy(&Last, Dest->Rows[2] + 8, 2);
    EXPECT_EQ(Last, Mmx ? 0x7BEF : 0x7B6F) << (Mmx ? "with" : "without") << " pfMMX";
  };
  // The record as detected first, so that the family's one choice sees it.
  Blend(ProcessorHasMmx);
  Blend(false);
  if (ProcessorHasMmx) {
    Blend(true);
  }
}

TEST(AvgBlend, InPlaceWithEitherSource) {
  for (const FormCase& Form : AvailableForms()) {
    auto Surface = MakeSurface(37, 5, 8);
    auto Zero = MakeSurface(37, 5, 8);
    FillRandom(*Surface, 5);
    std::memset(Zero->Pixels, 0, Zero->Header.biSizeImage);
    const std::vector<uint8_t> Original = Bytes(*Surface);

    ASSERT_TRUE(AvgBlendWith(Form.Kernel, *Surface, *Surface, *Zero));  // halves every byte
    for (int Y = 0; Y < 5; ++Y) {
      for (int X = 0; X < 37; ++X) {
        ASSERT_EQ(Surface->Rows8[Y][X], Original[Y * Surface->RowBytes + X] / 2) << Form.Name;
      }
    }

    auto Other = MakeSurface(37, 5, 8);
    FillRandom(*Other, 6);
    const std::vector<uint8_t> Halved = Bytes(*Surface);
    ASSERT_TRUE(AvgBlendWith(Form.Kernel, *Surface, *Other, *Surface));
    for (int Y = 0; Y < 5; ++Y) {
      for (int X = 0; X < 37; ++X) {
        ASSERT_EQ(Surface->Rows8[Y][X], (Halved[Y * Surface->RowBytes + X] + Other->Rows8[Y][X]) / 2) << Form.Name;
      }
    }
  }
}

TEST(AvgBlend, RefusesWithoutTouchingDest) {
  struct Case {
    const char* What;
    int DestW, DestH, DestBpp, Src1W, Src1H, Src1Bpp, Src2W, Src2H, Src2Bpp;
  };
  const Case Cases[] = {
      {"Src1 of another depth", 8, 4, 8, 8, 4, 16, 8, 4, 8},
      {"Src2 of another depth", 8, 4, 8, 8, 4, 8, 8, 4, 24},
      {"Dest of another depth", 8, 4, 32, 8, 4, 8, 8, 4, 8},
      {"depth 1", 64, 4, 1, 64, 4, 1, 64, 4, 1},
      {"depth 4", 16, 4, 4, 16, 4, 4, 16, 4, 4},
      {"narrower source", 16, 4, 8, 12, 4, 8, 16, 4, 8},
      {"wider source", 16, 4, 8, 16, 4, 8, 20, 4, 8},
      {"source with fewer rows", 16, 4, 8, 16, 3, 8, 16, 4, 8},
      {"source with more rows", 16, 4, 8, 16, 4, 8, 16, 6, 8},
  };
  for (const FormCase& Form : AvailableForms()) {
    for (const Case& C : Cases) {
      auto Dest = MakeSurface(C.DestW, C.DestH, C.DestBpp);
      auto Src1 = MakeSurface(C.Src1W, C.Src1H, C.Src1Bpp);
      auto Src2 = MakeSurface(C.Src2W, C.Src2H, C.Src2Bpp);
      FillRandom(*Dest, 1);
      FillRandom(*Src1, 2);
      FillRandom(*Src2, 3);
      const std::vector<uint8_t> Before = Bytes(*Dest);
      EXPECT_FALSE(AvgBlendWith(Form.Kernel, *Dest, *Src1, *Src2)) << C.What << ", " << Form.Name;
      EXPECT_EQ(Bytes(*Dest), Before) << C.What << ", " << Form.Name;
    }
  }
}

TEST(AvgBlend, NoRowsDoesNothing) {
  auto Dest = MakeSurface(16, 0, 8);
  auto Src = MakeSurface(16, 0, 8);
  EXPECT_TRUE(AvgBlend(*Dest, *Src, *Src));
  TLumoDIB Empty1, Empty2, Empty3;  // never allocated: depth 0, not blended
  EXPECT_FALSE(AvgBlend(Empty1, Empty2, Empty3));
}

// ------------------------------------------------------------ dispatcher

struct Recorded {
  int Calls = 0;
  std::vector<const void*> Dests;
  uint32_t Param = 0, Count = 0;
};
Recorded MmxCalls, PlainCalls;

void RecordMmx(void* Dest, const void*, const void*, uint32_t Param, uint32_t Count) {
  ++MmxCalls.Calls;
  MmxCalls.Dests.push_back(Dest);
  MmxCalls.Param = Param;
  MmxCalls.Count = Count;
}
void RecordPlain(void* Dest, const void*, const void*, uint32_t Param, uint32_t Count) {
  ++PlainCalls.Calls;
  PlainCalls.Dests.push_back(Dest);
  PlainCalls.Param = Param;
  PlainCalls.Count = Count;
}

TEST(BlendRows, ChoosesTheKernelByMmxAndWalksRowsInOrder) {
  auto Dest = MakeSurface(10, 3, 24);  // 30 pixel bytes, 2 bytes of padding
  auto Src = MakeSurface(10, 3, 24);
  for (bool Mmx : {true, false}) {
    WithKernel Use(Mmx);
    MmxCalls = {};
    PlainCalls = {};
    ASSERT_TRUE(BlendRows(*Dest, *Src, *Src, AvgBlendDepths, 0x1234, RecordMmx, RecordPlain));
    const Recorded& Used = Mmx ? MmxCalls : PlainCalls;
    const Recorded& Unused = Mmx ? PlainCalls : MmxCalls;
    EXPECT_EQ(Unused.Calls, 0);
    ASSERT_EQ(Used.Calls, 3);
    for (int I = 0; I < 3; ++I) EXPECT_EQ(Used.Dests[I], Dest->Rows[I]);
    EXPECT_EQ(Used.Param, 0x1234u);
    EXPECT_EQ(Used.Count, 30u);
  }
}

TEST(BlendRows, AcceptsOnlyTheDepthsOfItsSet) {
  auto Dest = MakeSurface(8, 2, 16);
  PlainCalls = {};
  MmxCalls = {};
  EXPECT_FALSE(BlendRows(*Dest, *Dest, *Dest, TDepthSet{8, 24}, 0, RecordMmx, RecordPlain));
  EXPECT_TRUE(BlendRows(*Dest, *Dest, *Dest, TDepthSet{16}, 0, RecordMmx, RecordPlain));
  EXPECT_EQ(PlainCalls.Calls + MmxCalls.Calls, 2);
  // Depths above 39 are never members.
  EXPECT_FALSE(TDepthSet({40, 48, 64}).Contains(40));
  EXPECT_TRUE(AvgBlendDepths.Contains(32));
  EXPECT_FALSE(AvgBlendDepths.Contains(4));
}

}  // namespace
