// SPDX-License-Identifier: MIT
#include "TwistRenderFast.h"
#include "TwistRuns.h"
#include "kernels/LumoCpu.h"

#if LUMO_SIMD128

#include <cstring>

#include <wasm_simd128.h>

namespace twist_fast {
namespace {

// Four positions per vector. WebAssembly has no gather: the offsets are
// worked out four at a time and each sample is loaded into its lane.
struct TLanes4 {
  v128_t U, V, Step4U, Step4V;
  explicit TLanes4(const TRun& R) {
    const v128_t Ramp = wasm_i32x4_make(0, 1, 2, 3);
    const v128_t DU = wasm_i32x4_splat(static_cast<int32_t>(R.DU));
    const v128_t DV = wasm_i32x4_splat(static_cast<int32_t>(R.DV));
    U = wasm_i32x4_add(wasm_i32x4_splat(static_cast<int32_t>(R.U)), wasm_i32x4_mul(Ramp, DU));
    V = wasm_i32x4_add(wasm_i32x4_splat(static_cast<int32_t>(R.V)), wasm_i32x4_mul(Ramp, DV));
    Step4U = wasm_i32x4_shl(DU, 2);
    Step4V = wasm_i32x4_shl(DV, 2);
  }
  void Advance() {
    U = wasm_i32x4_add(U, Step4U);
    V = wasm_i32x4_add(V, Step4V);
  }
  v128_t Offsets(v128_t RowBytes, v128_t Shift) const {
    return wasm_i32x4_add(wasm_i32x4_add(wasm_i32x4_mul(wasm_i32x4_shr(V, 16), RowBytes), wasm_i32x4_shr(U, 16)),
                          Shift);
  }
};

// Point samples: the bytes at four offsets into lanes First .. First + 3.
template <int First>
inline v128_t PointBytes(v128_t Into, const uint8_t* Pixels, v128_t Offset) {
  Into = wasm_v128_load8_lane(Pixels + wasm_i32x4_extract_lane(Offset, 0), Into, First);
  Into = wasm_v128_load8_lane(Pixels + wasm_i32x4_extract_lane(Offset, 1), Into, First + 1);
  Into = wasm_v128_load8_lane(Pixels + wasm_i32x4_extract_lane(Offset, 2), Into, First + 2);
  return wasm_v128_load8_lane(Pixels + wasm_i32x4_extract_lane(Offset, 3), Into, First + 3);
}

void RunPointSIMD128(const TRun& R) {
  TLanes4 L(R);
  const v128_t RowBytes = wasm_i32x4_splat(R.RowBytes);
  const v128_t Shift = wasm_i32x4_splat(R.Shift);
  int32_t K = 0;
  for (; K + 16 <= R.Count; K += 16) {
    v128_t Bytes = wasm_i8x16_splat(0);
    Bytes = PointBytes<0>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    Bytes = PointBytes<4>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    Bytes = PointBytes<8>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    Bytes = PointBytes<12>(Bytes, R.Pixels, L.Offsets(RowBytes, Shift));
    L.Advance();
    wasm_v128_store(R.Out + K, Bytes);
  }
  for (; K + 4 <= R.Count; K += 4) {
    wasm_v128_store32_lane(R.Out + K, PointBytes<0>(wasm_i8x16_splat(0), R.Pixels, L.Offsets(RowBytes, Shift)), 0);
    L.Advance();
  }
  RunPointScalar(After(R, K));
}

inline v128_t Lerp4(v128_t P, v128_t Q, v128_t F) {
  return wasm_i32x4_add(P, wasm_i32x4_shr(wasm_i32x4_mul(wasm_i32x4_sub(Q, P), F), 16));
}

// The four neighbours of each sample in one 32-bit lane, a, b, c, d in the
// bytes that TLayout names, interpolated as the scalar form does.
template <class TLayout>
inline v128_t Interpolate(v128_t Words, const TLanes4& L) {
  const v128_t Byte = wasm_i32x4_splat(0xFF);
  const v128_t Fraction = wasm_i32x4_splat(0xFFFF);
  auto At = [&](int Index) { return wasm_v128_and(wasm_u32x4_shr(Words, 8 * Index), Byte); };
  const v128_t Fx = wasm_v128_and(L.U, Fraction);
  const v128_t Fy = wasm_v128_and(L.V, Fraction);
  const v128_t Top = Lerp4(At(TLayout::A), At(TLayout::B), Fx);
  const v128_t Bottom = Lerp4(At(TLayout::C), At(TLayout::D), Fx);
  return Lerp4(Top, Bottom, Fy);
}

// Without the paired copy: two bytes of the sample's row (a, b) and two of
// the next (c, d), each pair one 16-bit lane load, none past the picture.
struct TTwoRows {
  static constexpr int A = 0, B = 1, C = 2, D = 3;
  static v128_t Words(const TRun& R, v128_t Offset) {
    v128_t W = wasm_i32x4_splat(0);
    const uint8_t* P = R.Pixels;
    const int32_t Next = R.RowBytes;
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 0), W, 0);
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 0) + Next, W, 1);
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 1), W, 2);
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 1) + Next, W, 3);
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 2), W, 4);
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 2) + Next, W, 5);
    W = wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 3), W, 6);
    return wasm_v128_load16_lane(P + wasm_i32x4_extract_lane(Offset, 3) + Next, W, 7);
  }
};

// With it: one 32-bit load at twice the offset holds a, c, b, d.
struct TPaired {
  static constexpr int A = 0, C = 1, B = 2, D = 3;
  template <int Lane>
  static v128_t Load(const TRun& R, v128_t Offset, v128_t Into) {
    const uint32_t At = static_cast<uint32_t>(wasm_i32x4_extract_lane(Offset, Lane));
    return wasm_v128_load32_lane(R.Pairs + 2 * static_cast<size_t>(At), Into, Lane);
  }
  static v128_t Words(const TRun& R, v128_t Offset) {
    const v128_t W = Load<1>(R, Offset, Load<0>(R, Offset, wasm_i32x4_splat(0)));
    return Load<3>(R, Offset, Load<2>(R, Offset, W));
  }
};

template <class TLayout>
void RunBilinearSIMD128(const TRun& R) {
  TLanes4 L(R);
  const v128_t RowBytes = wasm_i32x4_splat(R.RowBytes);
  const v128_t Shift = wasm_i32x4_splat(R.Shift);
  auto Sample = [&]() {
    const v128_t S = Interpolate<TLayout>(TLayout::Words(R, L.Offsets(RowBytes, Shift)), L);
    L.Advance();
    return S;
  };
  int32_t K = 0;
  for (; K + 16 <= R.Count; K += 16) {
    const v128_t S0 = Sample(), S1 = Sample(), S2 = Sample(), S3 = Sample();
    wasm_v128_store(R.Out + K,
                    wasm_u8x16_narrow_i16x8(wasm_u16x8_narrow_i32x4(S0, S1), wasm_u16x8_narrow_i32x4(S2, S3)));
  }
  for (; K + 4 <= R.Count; K += 4) {
    const v128_t S = Sample();
    wasm_v128_store32_lane(R.Out + K, wasm_u8x16_narrow_i16x8(wasm_u16x8_narrow_i32x4(S, S), S), 0);
  }
  RunBilinearScalar(After(R, K));
}

void RunTwoRowsSIMD128(const TRun& R) { RunBilinearSIMD128<TTwoRows>(R); }
void RunPairsSIMD128(const TRun& R) { RunBilinearSIMD128<TPaired>(R); }

}  // namespace

// Sixteen bytes of each row at a time.
void BuildPairsSIMD128(const TLumoDIB& Picture, uint8_t* Pairs) {
  const uint8_t* Pixels = Picture.Rows8[0];
  const size_t RowBytes = static_cast<size_t>(Picture.RowBytes);
  const size_t Count = static_cast<size_t>(Picture.RowCount - 1) * RowBytes;
  size_t I = 0;
  for (; I + 16 <= Count; I += 16) {
    const v128_t Here = wasm_v128_load(Pixels + I);
    const v128_t Below = wasm_v128_load(Pixels + I + RowBytes);
    wasm_v128_store(Pairs + 2 * I,
                    wasm_i8x16_shuffle(Here, Below, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23));
    wasm_v128_store(Pairs + 2 * I + 16,
                    wasm_i8x16_shuffle(Here, Below, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31));
  }
  BuildPairsScalar(Picture, Pairs, I);
}

}  // namespace twist_fast

bool CanRenderPixelsSIMD128() { return LumoHasSIMD128(); }

void RenderPixelsSIMD128(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                         int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  using namespace twist_fast;
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointSIMD128, RunTwoRowsSIMD128, RunPairsSIMD128);
}

#else

namespace twist_fast {
void BuildPairsSIMD128(const TLumoDIB& Picture, uint8_t* Pairs) { BuildPairsScalar(Picture, Pairs, 0); }
}  // namespace twist_fast

bool CanRenderPixelsSIMD128() { return LumoHasSIMD128(); }

void RenderPixelsSIMD128(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                         int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
}

#endif
