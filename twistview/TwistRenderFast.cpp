// SPDX-License-Identifier: MIT
// The rotating zoom's family: its run geometry and scalar kernels, the plain
// form, the paired copy and the chooser. Each instruction set's forms are in
// a file of their own (TwistRenderSse2.cpp, ...).
#include "TwistRenderFast.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "TwistRuns.h"

namespace twist_fast {

namespace {

// Low 8 bits of p + ((q - p) * f shr 16): with the arithmetic shift the
// result is already p + floor((q - p) f / 65536), a value 0..255.
inline int32_t Lerp(int32_t P, int32_t Q, int32_t F) { return P + (((Q - P) * F) >> 16); }

// The range of integer parts [Low, High] around I inside which the wrapped
// value differs from I by a constant: the wrap tables repeat with period
// Size - 1, and negative parts count down from Size - 2, so the first tile
// below zero is one shorter than the rest.
void Tile(int64_t I, int64_t Size, int64_t& Low, int64_t& High) {
  const int64_t Period = Size - 1;
  if (I >= 0) {
    Low = I / Period * Period;
    High = Low + Period - 1;
  } else {
    const int64_t Q = -I / Period;
    High = Q == 0 ? -1 : -Q * Period;
    Low = -(Q * Period + Period - 1);
  }
}

// How many steps of Step from Position (whose integer part lies in [Low,
// High]) keep the integer part inside; at least 1.
int64_t StepsInside(int64_t Position, int64_t Step, int64_t Low, int64_t High) {
  if (Step > 0) {
    return ((High + 1) * 65536 - Position + Step - 1) / Step;
  }
  if (Step < 0) {
    return (Position - Low * 65536 + 1 + (-Step) - 1) / (-Step);
  }
  return std::numeric_limits<int64_t>::max();
}

int64_t FloorDiv65536(int64_t V) { return V >= 0 ? V / 65536 : -((-V + 65535) / 65536); }

// One row whose positions never leave the signed 32-bit range, cut into runs.
void RowInRuns(uint8_t* Out, int32_t W, uint32_t U0, uint32_t V0, uint32_t DU, uint32_t DV, const TLumoDIB& Picture,
               const int32_t* TableX, const int32_t* TableY, TRunKernel Kernel, const uint8_t* Pairs) {
  const int32_t SW = Picture.Header.biWidth;
  const int32_t SH = Picture.RowCount;
  const int64_t StartU = static_cast<int32_t>(U0), StartV = static_cast<int32_t>(V0);
  const int64_t StepU = static_cast<int32_t>(DU), StepV = static_cast<int32_t>(DV);
  int32_t X = 0;
  while (X < W) {
    const int64_t U = StartU + StepU * X, V = StartV + StepV * X;
    const int64_t L = FloorDiv65536(U), M = FloorDiv65536(V);
    int64_t LowL, HighL, LowM, HighM;
    Tile(L, SW, LowL, HighL);
    Tile(M, SH, LowM, HighM);
    const int64_t Count =
        std::min<int64_t>({int64_t{W} - X, StepsInside(U, StepU, LowL, HighL), StepsInside(V, StepV, LowM, HighM)});
    const int32_t DL = WrapCoordinate(static_cast<int32_t>(L), SW, TableX) - static_cast<int32_t>(L);
    const int32_t DM = WrapCoordinate(static_cast<int32_t>(M), SH, TableY) - static_cast<int32_t>(M);
    TRun Run;
    Run.Out = Out + X;
    Run.Count = static_cast<int32_t>(Count);
    Run.U = static_cast<uint32_t>(U);
    Run.V = static_cast<uint32_t>(V);
    Run.DU = DU;
    Run.DV = DV;
    Run.Pixels = Picture.Rows8[0];
    Run.Pairs = Pairs;
    Run.RowBytes = Picture.RowBytes;
    Run.Shift = DM * Picture.RowBytes + DL;
    Kernel(Run);
    X += Run.Count;
  }
}

bool StaysSigned(int64_t Start, int64_t Step, int32_t W) {
  const int64_t End = Start + Step * (W > 0 ? W - 1 : 0);
  return End >= std::numeric_limits<int32_t>::min() && End <= std::numeric_limits<int32_t>::max();
}

}  // namespace

void RunPointScalar(const TRun& R) {
  uint32_t U = R.U, V = R.V;
  for (int32_t K = 0; K < R.Count; ++K) {
    R.Out[K] = R.Pixels[Whole(V) * R.RowBytes + Whole(U) + R.Shift];
    U += R.DU;
    V += R.DV;
  }
}

void RunBilinearScalar(const TRun& R) {
  uint32_t U = R.U, V = R.V;
  for (int32_t K = 0; K < R.Count; ++K) {
    const uint8_t* Src = R.Pixels + (Whole(V) * R.RowBytes + Whole(U) + R.Shift);
    const int32_t Fx = static_cast<int32_t>(U & 0xFFFFu);
    const int32_t Fy = static_cast<int32_t>(V & 0xFFFFu);
    const int32_t Top = Lerp(Src[0], Src[1], Fx);
    const int32_t Bottom = Lerp(Src[R.RowBytes], Src[R.RowBytes + 1], Fx);
    R.Out[K] = static_cast<uint8_t>(Lerp(Top, Bottom, Fy));
    U += R.DU;
    V += R.DV;
  }
}

void RenderRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
                int32_t B, bool Filter, TRunKernel PointKernel, TRunKernel BilinearKernel, const uint8_t* Pairs) {
  const int32_t W = Window.Header.biWidth;
  const int32_t H = Window.RowCount;
  const int32_t SW = Picture.Header.biWidth;
  const int32_t SH = Picture.RowCount;
  // Row starts exactly as the plain form computes them.
  const TRowStarts Start = RowStarts(W, H, SW, SH, A, B);
  const uint32_t UA = Start.UA;
  const uint32_t UB = Start.UB;
  const TRunKernel Kernel = Filter ? BilinearKernel : PointKernel;
  // Sample offsets are formed in 32 bits: integer parts up to 65536 away
  // from the wrapped ones, times the row length, must not overflow.
  if (Picture.RowBytes > 16384) {
    RenderPixels(Window, Picture, TableX, TableY, A, B, Filter);
    return;
  }

  for (int32_t Y = 0; Y < H; ++Y) {
    const uint32_t U = Start.U(Y);
    const uint32_t V = Start.V(Y);
    uint8_t* Out = Window.Rows8[Y];
    if (StaysSigned(static_cast<int32_t>(U), B, W) && StaysSigned(static_cast<int32_t>(V), A, W)) {
      RowInRuns(Out, W, U, V, UB, UA, Picture, TableX, TableY, Kernel, Pairs);
      continue;
    }
    // A row whose position wraps round the 32-bit range (only in windows far
    // larger than any screen): pixel by pixel, with the wrap at every step.
    uint32_t Ux = U, Vx = V;
    for (int32_t X = 0; X < W; ++X) {
      const int32_t L = WrapCoordinate(static_cast<int16_t>(Ux >> 16), SW, TableX);
      const int32_t M = WrapCoordinate(static_cast<int16_t>(Vx >> 16), SH, TableY);
      TRun One{Out + X, 1, Ux, Vx, 0, 0, Picture.Rows8[0], Picture.RowBytes, 0, Pairs};
      // Express the wrapped sample through the run form: Shift moves the
      // unwrapped parts onto (L, M).
      One.Shift = (M - Whole(Vx)) * Picture.RowBytes + (L - Whole(Ux));
      Kernel(One);
      Ux += UB;
      Vx += UA;
    }
  }
}

void RenderForm(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
                int32_t B, bool Filter, const uint8_t* Pairs, TRunKernel Point, TRunKernel TwoRows, TRunKernel Paired) {
  if (Filter && Pairs != nullptr) {
    RenderRuns(Window, Picture, TableX, TableY, A, B, Filter, Point, Paired, Pairs);
    return;
  }
  RenderRuns(Window, Picture, TableX, TableY, A, B, Filter, Point, TwoRows);
}

void BuildPairsScalar(const TLumoDIB& Picture, uint8_t* Pairs, size_t From) {
  const uint8_t* Pixels = Picture.Rows8[0];
  const size_t RowBytes = static_cast<size_t>(Picture.RowBytes);
  const size_t Count = static_cast<size_t>(Picture.RowCount - 1) * RowBytes;
  for (size_t I = From; I < Count; ++I) {
    Pairs[2 * I] = Pixels[I];
    Pairs[2 * I + 1] = Pixels[I + RowBytes];
  }
}

}  // namespace twist_fast

namespace {

// The builder of the paired copy for each level whose bilinear form reads
// one; the plain form reads none.
struct TPairsBuilder {
  std::string_view Level;
  twist_fast::TBuildPairs Build;
};
constexpr TPairsBuilder PairsBuilders[] = {
    {"avx512", twist_fast::BuildPairsAVX2}, {"avx2", twist_fast::BuildPairsAVX2},
    {"sse2", twist_fast::BuildPairsSSE2},   {"simd128", twist_fast::BuildPairsSIMD128},
    {"neon", twist_fast::BuildPairsNEON},
};

}  // namespace

void RenderPixelsRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter) {
  twist_fast::RenderRuns(Window, Picture, TableX, TableY, A, B, Filter, twist_fast::RunPointScalar,
                         twist_fast::RunBilinearScalar);
}

bool BuildPairedPicture(const TLumoDIB& Picture, std::vector<uint8_t>& Pairs) {
  Pairs.clear();
  // Built by the level of the form that reads it, so one turned off by
  // LUMO_DISABLE is not run here either.
  const std::string_view Level = LumoChosen<RenderPixelsForms>("rotating zoom").Level;
  twist_fast::TBuildPairs Build = nullptr;
  for (const TPairsBuilder& Builder : PairsBuilders) {
    if (Builder.Level == Level) {
      Build = Builder.Build;
    }
  }
  if (Build == nullptr || Picture.Rows8 == nullptr || Picture.RowCount < 2 || Picture.RowBytes > 16384) {
    return false;
  }
  try {
    Pairs.resize(2 * static_cast<size_t>(Picture.RowCount - 1) * static_cast<size_t>(Picture.RowBytes));
  } catch (const std::bad_alloc&) {
    return false;
  }
  Build(Picture, Pairs.data());
  return true;
}

void RenderPixelsRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t*) {
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
}

void RenderPixelsFast(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  LumoChosen<RenderPixelsForms>("rotating zoom").Function(Window, Picture, TableX, TableY, A, B, Filter, Pairs);
}

namespace {

// The paired copy for one call of the forms that take none.
std::vector<uint8_t> PairsForOneCall(const TLumoDIB& Picture, bool Filter) {
  std::vector<uint8_t> Pairs;
  if (Filter) {
    BuildPairedPicture(Picture, Pairs);
  }
  return Pairs;
}

}  // namespace

void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter) {
  const std::vector<uint8_t> Pairs = PairsForOneCall(Picture, Filter);
  RenderPixelsAVX512(Window, Picture, TableX, TableY, A, B, Filter, Pairs.empty() ? nullptr : Pairs.data());
}

void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter) {
  const std::vector<uint8_t> Pairs = PairsForOneCall(Picture, Filter);
  RenderPixelsAVX2(Window, Picture, TableX, TableY, A, B, Filter, Pairs.empty() ? nullptr : Pairs.data());
}

void RenderPixelsFast(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter) {
  const std::vector<uint8_t> Pairs = PairsForOneCall(Picture, Filter);
  RenderPixelsFast(Window, Picture, TableX, TableY, A, B, Filter, Pairs.empty() ? nullptr : Pairs.data());
}
