// SPDX-License-Identifier: MIT
#include "TwistRenderFast.h"
#include "TwistRuns.h"

#if LUMO_NEON

#include <arm_neon.h>

#include <cstring>

namespace twist_fast {
namespace {

// Four positions per vector, as the simd128 form: AdvSIMD has no gather, so
// the offsets are worked out four at a time and each sample is loaded into
// its lane. The lanes wrap as the scalar positions do.
struct TLanes4 {
  int32x4_t U, V, Step4U, Step4V;
  explicit TLanes4(const TRun& R) {
    static constexpr int32_t RampValues[4] = {0, 1, 2, 3};
    const int32x4_t Ramp = vld1q_s32(RampValues);
    const int32x4_t DU = vdupq_n_s32(static_cast<int32_t>(R.DU));
    const int32x4_t DV = vdupq_n_s32(static_cast<int32_t>(R.DV));
    U = vmlaq_s32(vdupq_n_s32(static_cast<int32_t>(R.U)), Ramp, DU);
    V = vmlaq_s32(vdupq_n_s32(static_cast<int32_t>(R.V)), Ramp, DV);
    Step4U = vshlq_n_s32(DU, 2);
    Step4V = vshlq_n_s32(DV, 2);
  }
  void Advance() {
    U = vaddq_s32(U, Step4U);
    V = vaddq_s32(V, Step4V);
  }
  int32x4_t Offsets(int32x4_t RowBytes, int32x4_t Shift) const {
    return vaddq_s32(vmlaq_s32(vshrq_n_s32(U, 16), vshrq_n_s32(V, 16), RowBytes), Shift);
  }
};

// The low byte of each 32-bit lane: one table lookup gathers those of four
// vectors (sixteen values 0..255) in order, where SSE2 needs two packs.
constexpr uint8_t LowBytes[16] = {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60};

inline uint8x16_t Narrow16(int32x4_t S0, int32x4_t S1, int32x4_t S2, int32x4_t S3) {
  const uint8x16x4_t All = {
      {vreinterpretq_u8_s32(S0), vreinterpretq_u8_s32(S1), vreinterpretq_u8_s32(S2), vreinterpretq_u8_s32(S3)}};
  return vqtbl4q_u8(All, vld1q_u8(LowBytes));
}

// Four bytes to Out, which may lie anywhere.
inline void Store4(uint8_t* Out, uint8x16_t Bytes) {
  const uint32_t Word = vgetq_lane_u32(vreinterpretq_u32_u8(Bytes), 0);
  std::memcpy(Out, &Word, 4);
}

// Point samples: the bytes at four offsets into lanes First .. First + 3.
template <int First>
inline uint8x16_t PointBytes(uint8x16_t Into, const uint8_t* Pixels, int32x4_t Offset) {
  Into = vld1q_lane_u8(Pixels + vgetq_lane_s32(Offset, 0), Into, First);
  Into = vld1q_lane_u8(Pixels + vgetq_lane_s32(Offset, 1), Into, First + 1);
  Into = vld1q_lane_u8(Pixels + vgetq_lane_s32(Offset, 2), Into, First + 2);
  return vld1q_lane_u8(Pixels + vgetq_lane_s32(Offset, 3), Into, First + 3);
}

void RunPointNEON(const TRun& R) {
  TLanes4 L(R);
  const int32x4_t RowBytes = vdupq_n_s32(R.RowBytes);
  const int32x4_t Shift = vdupq_n_s32(R.Shift);
  int32_t K = 0;
  for (; K + 16 <= R.Count; K += 16) {
    uint8x16_t Bytes = vdupq_n_u8(0);
    Bytes = PointBytes<0>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    Bytes = PointBytes<4>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    Bytes = PointBytes<8>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    Bytes = PointBytes<12>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    vst1q_u8(R.Out + K, Bytes);
  }
  for (; K + 4 <= R.Count; K += 4) {
    Store4(R.Out + K, PointBytes<0>(vdupq_n_u8(0), R.Pixels, L.Offsets(RowBytes, Shift)));
    L.Advance();
  }
  RunPointScalar(After(R, K));
}

inline int32x4_t Lerp4(int32x4_t P, int32x4_t Q, int32x4_t F) {
  return vaddq_s32(P, vshrq_n_s32(vmulq_s32(vsubq_s32(Q, P), F), 16));
}

// Byte Index of each 32-bit lane, zero-extended: one table lookup, whose
// out-of-range indices give the zeros.
template <int Index>
inline int32x4_t ByteOfLanes(uint32x4_t Words) {
  static constexpr uint8_t Pick[16] = {Index,     255, 255, 255, 4 + Index,  255, 255, 255,
                                       8 + Index, 255, 255, 255, 12 + Index, 255, 255, 255};
  return vreinterpretq_s32_u8(vqtbl1q_u8(vreinterpretq_u8_u32(Words), vld1q_u8(Pick)));
}

// The four neighbours of each sample in one 32-bit lane, a, b, c, d in the
// bytes that TLayout names, interpolated as the scalar form does.
template <class TLayout>
inline int32x4_t Interpolate(uint32x4_t Words, const TLanes4& L) {
  const int32x4_t Fraction = vdupq_n_s32(0xFFFF);
  const int32x4_t Fx = vandq_s32(L.U, Fraction);
  const int32x4_t Fy = vandq_s32(L.V, Fraction);
  const int32x4_t Top = Lerp4(ByteOfLanes<TLayout::A>(Words), ByteOfLanes<TLayout::B>(Words), Fx);
  const int32x4_t Bottom = Lerp4(ByteOfLanes<TLayout::C>(Words), ByteOfLanes<TLayout::D>(Words), Fx);
  return Lerp4(Top, Bottom, Fy);
}

inline uint16_t Load16(const uint8_t* P) {
  uint16_t V;
  std::memcpy(&V, P, 2);
  return V;
}

inline uint32_t Load32(const uint8_t* P) {
  uint32_t V;
  std::memcpy(&V, P, 4);
  return V;
}

// Without the paired copy: two bytes of the sample's row (a, b) and two of
// the next (c, d), each pair one 16-bit load, none past the picture.
struct TTwoRows {
  static constexpr int A = 0, B = 1, C = 2, D = 3;
  template <int Lane>
  static uint16x8_t Load(const TRun& R, int32x4_t Offset, uint16x8_t Into) {
    const uint8_t* At = R.Pixels + vgetq_lane_s32(Offset, Lane);
    Into = vsetq_lane_u16(Load16(At), Into, 2 * Lane);
    return vsetq_lane_u16(Load16(At + R.RowBytes), Into, 2 * Lane + 1);
  }
  static uint32x4_t Words(const TRun& R, int32x4_t Offset) {
    uint16x8_t W = vdupq_n_u16(0);
    W = Load<0>(R, Offset, W);
    W = Load<1>(R, Offset, W);
    W = Load<2>(R, Offset, W);
    return vreinterpretq_u32_u16(Load<3>(R, Offset, W));
  }
};

// With it: one 32-bit load at twice the offset holds a, c, b, d.
struct TPaired {
  static constexpr int A = 0, C = 1, B = 2, D = 3;
  template <int Lane>
  static uint32x4_t Load(const TRun& R, int32x4_t Offset, uint32x4_t Into) {
    const uint32_t At = static_cast<uint32_t>(vgetq_lane_s32(Offset, Lane));
    return vsetq_lane_u32(Load32(R.Pairs + 2 * static_cast<size_t>(At)), Into, Lane);
  }
  static uint32x4_t Words(const TRun& R, int32x4_t Offset) {
    const uint32x4_t W = Load<1>(R, Offset, Load<0>(R, Offset, vdupq_n_u32(0)));
    return Load<3>(R, Offset, Load<2>(R, Offset, W));
  }
};

template <class TLayout>
void RunBilinearNEON(const TRun& R) {
  TLanes4 L(R);
  const int32x4_t RowBytes = vdupq_n_s32(R.RowBytes);
  const int32x4_t Shift = vdupq_n_s32(R.Shift);
  auto Sample = [&]() {
    const int32x4_t S = Interpolate<TLayout>(TLayout::Words(R, L.Offsets(RowBytes, Shift)), L);
    L.Advance();
    return S;
  };
  int32_t K = 0;
  for (; K + 16 <= R.Count; K += 16) {
    const int32x4_t S0 = Sample(), S1 = Sample(), S2 = Sample(), S3 = Sample();
    vst1q_u8(R.Out + K, Narrow16(S0, S1, S2, S3));
  }
  for (; K + 4 <= R.Count; K += 4) {
    const int32x4_t S = Sample();
    Store4(R.Out + K, Narrow16(S, S, S, S));
  }
  RunBilinearScalar(After(R, K));
}

void RunTwoRowsNEON(const TRun& R) { RunBilinearNEON<TTwoRows>(R); }
void RunPairsNEON(const TRun& R) { RunBilinearNEON<TPaired>(R); }

}  // namespace

// Sixteen bytes of each row at a time: the interleaving store writes the two
// rows' bytes alternately by itself.
void BuildPairsNEON(const TLumoDIB& Picture, uint8_t* Pairs) {
  const uint8_t* Pixels = Picture.Rows8[0];
  const size_t RowBytes = static_cast<size_t>(Picture.RowBytes);
  const size_t Count = static_cast<size_t>(Picture.RowCount - 1) * RowBytes;
  size_t I = 0;
  for (; I + 16 <= Count; I += 16) {
    const uint8x16x2_t Both = {{vld1q_u8(Pixels + I), vld1q_u8(Pixels + I + RowBytes)}};
    vst2q_u8(Pairs + 2 * I, Both);
  }
  BuildPairsScalar(Picture, Pairs, I);
}

}  // namespace twist_fast

void RenderPixelsNEON(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  using namespace twist_fast;
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointNEON, RunTwoRowsNEON, RunPairsNEON);
}

#else

namespace twist_fast {
void BuildPairsNEON(const TLumoDIB& Picture, uint8_t* Pairs) { BuildPairsScalar(Picture, Pairs, 0); }
}  // namespace twist_fast

void RenderPixelsNEON(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
}

#endif

bool CanRenderPixelsNEON() { return LumoHasNEON(); }
