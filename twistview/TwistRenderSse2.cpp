// SPDX-License-Identifier: MIT
#include "TwistRenderFast.h"
#include "TwistRuns.h"
#include "kernels/LumoCpu.h"

#if LUMO_X86

#include <cstring>

#include <immintrin.h>

namespace twist_fast {
namespace {

// Eight positions per step in two vectors of four. SSE2 has no gather and
// no 32-bit multiply: the row part of each offset is one 16-bit
// multiply-add (the integer part fits 16 bits and RowBytes is at most
// 16384), each sample is loaded by itself, and the interpolation runs on
// eight 16-bit lanes, where the high half of a signed 16-bit product gives
// (q - p) f >> 16 once the fraction's top bit is accounted for.
struct TLanes8 {
  __m128i U0, U1, V0, V1, Step8U, Step8V;
};

// Positions K to K + 3 of a run from Start in steps of Step.
__attribute__((target("sse2"))) inline __m128i Positions4(uint32_t Start, uint32_t Step, uint32_t K) {
  return _mm_setr_epi32(static_cast<int32_t>(Start + K * Step), static_cast<int32_t>(Start + (K + 1) * Step),
                        static_cast<int32_t>(Start + (K + 2) * Step), static_cast<int32_t>(Start + (K + 3) * Step));
}

__attribute__((target("sse2"))) inline TLanes8 StartLanes8(const TRun& R) {
  TLanes8 L;
  L.U0 = Positions4(R.U, R.DU, 0);
  L.U1 = Positions4(R.U, R.DU, 4);
  L.V0 = Positions4(R.V, R.DV, 0);
  L.V1 = Positions4(R.V, R.DV, 4);
  L.Step8U = _mm_set1_epi32(static_cast<int32_t>(8 * R.DU));
  L.Step8V = _mm_set1_epi32(static_cast<int32_t>(8 * R.DV));
  return L;
}

__attribute__((target("sse2"))) inline void Advance8(TLanes8& L) {
  L.U0 = _mm_add_epi32(L.U0, L.Step8U);
  L.U1 = _mm_add_epi32(L.U1, L.Step8U);
  L.V0 = _mm_add_epi32(L.V0, L.Step8V);
  L.V1 = _mm_add_epi32(L.V1, L.Step8V);
}

// Four samples' offsets. RowBytes: (RowBytes, 0) in each pair of 16-bit
// halves.
__attribute__((target("sse2"))) inline __m128i Offsets4(__m128i U, __m128i V, __m128i RowBytes, __m128i Shift) {
  const __m128i Rows = _mm_madd_epi16(_mm_srai_epi32(V, 16), RowBytes);
  return _mm_add_epi32(_mm_add_epi32(Rows, _mm_srai_epi32(U, 16)), Shift);
}

// The eight samples' offsets into Offset.
__attribute__((target("sse2"))) inline void Offsets8(const TLanes8& L, __m128i RowBytes, __m128i Shift,
                                                     int32_t* Offset) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(Offset), Offsets4(L.U0, L.V0, RowBytes, Shift));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(Offset + 4), Offsets4(L.U1, L.V1, RowBytes, Shift));
}

__attribute__((target("sse2"))) void RunPointSSE2(const TRun& R) {
  if (R.Count < 8) {
    RunPointScalar(R);
    return;
  }
  TLanes8 L = StartLanes8(R);
  const __m128i RowBytes = _mm_set1_epi32(R.RowBytes);
  const __m128i Shift = _mm_set1_epi32(R.Shift);
  int32_t K = 0;
  for (; K + 8 <= R.Count; K += 8) {
    alignas(16) int32_t Offset[8];
    Offsets8(L, RowBytes, Shift, Offset);
    for (int J = 0; J < 8; ++J) {
      R.Out[K + J] = R.Pixels[Offset[J]];
    }
    Advance8(L);
  }
  RunPointScalar(After(R, K));
}

// The low 16 bits of each 32-bit lane of A (four lanes) and B (four more),
// as eight 16-bit lanes, sign and all.
__attribute__((target("sse2"))) inline __m128i Low16(__m128i A, __m128i B) {
  return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(A, 16), 16), _mm_srai_epi32(_mm_slli_epi32(B, 16), 16));
}

// p + ((q - p) f >> 16) for f the unsigned fraction in F's lanes: the signed
// high half misses d f / 65536 by d where f's top bit is set.
__attribute__((target("sse2"))) inline __m128i Lerp16(__m128i P, __m128i Q, __m128i F) {
  const __m128i D = _mm_sub_epi16(Q, P);
  return _mm_add_epi16(_mm_add_epi16(P, _mm_mulhi_epi16(D, F)), _mm_and_si128(D, _mm_srai_epi16(F, 15)));
}

// Byte Index of each 32-bit word of W0 and W1 as eight 16-bit lanes.
__attribute__((target("sse2"))) inline __m128i Bytes8(__m128i W0, __m128i W1, int Index) {
  const __m128i Byte = _mm_set1_epi32(0xFF);
  const __m128i Shift = _mm_cvtsi32_si128(8 * Index);
  return _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(W0, Shift), Byte), _mm_and_si128(_mm_srl_epi32(W1, Shift), Byte));
}

// The neighbours of eight samples, a, b, c, d in the bytes TLayout names of
// their 32-bit words (W0: samples 0 to 3, W1: 4 to 7), interpolated.
template <class TLayout>
__attribute__((target("sse2"))) inline __m128i Interpolate8(__m128i W0, __m128i W1, const TLanes8& L) {
  const __m128i Fx = Low16(L.U0, L.U1);
  const __m128i Fy = Low16(L.V0, L.V1);
  const __m128i Top = Lerp16(Bytes8(W0, W1, TLayout::A), Bytes8(W0, W1, TLayout::B), Fx);
  const __m128i Bottom = Lerp16(Bytes8(W0, W1, TLayout::C), Bytes8(W0, W1, TLayout::D), Fx);
  return Lerp16(Top, Bottom, Fy);
}

inline uint32_t Load16(const uint8_t* P) {
  uint16_t V;
  std::memcpy(&V, P, 2);
  return V;
}

inline int32_t Load32(const uint8_t* P) {
  int32_t V;
  std::memcpy(&V, P, 4);
  return V;
}

// Without the paired copy: a, b from the sample's row, c, d from the next.
struct TTwoRowsSSE2 {
  static constexpr int A = 0, B = 1, C = 2, D = 3;
  __attribute__((target("sse2"))) static __m128i Words(const TRun& R, const int32_t* Offset) {
    auto Word = [&R](int32_t At) {
      return static_cast<int32_t>(Load16(R.Pixels + At) | (Load16(R.Pixels + At + R.RowBytes) << 16));
    };
    return _mm_setr_epi32(Word(Offset[0]), Word(Offset[1]), Word(Offset[2]), Word(Offset[3]));
  }
};

// With it: one 32-bit load at twice the offset holds a, c, b, d.
struct TPairedSSE2 {
  static constexpr int A = 0, C = 1, B = 2, D = 3;
  __attribute__((target("sse2"))) static __m128i Words(const TRun& R, const int32_t* Offset) {
    auto Word = [&R](int32_t At) { return Load32(R.Pairs + 2 * static_cast<size_t>(static_cast<uint32_t>(At))); };
    return _mm_setr_epi32(Word(Offset[0]), Word(Offset[1]), Word(Offset[2]), Word(Offset[3]));
  }
};

// The next eight samples of a run, and the lanes moved on past them.
template <class TLayout>
__attribute__((target("sse2"))) inline __m128i Sample8(const TRun& R, TLanes8& L, __m128i RowBytes, __m128i Shift) {
  alignas(16) int32_t Offset[8];
  Offsets8(L, RowBytes, Shift, Offset);
  const __m128i S = Interpolate8<TLayout>(TLayout::Words(R, Offset), TLayout::Words(R, Offset + 4), L);
  Advance8(L);
  return S;
}

template <class TLayout>
__attribute__((target("sse2"))) void RunBilinearSSE2(const TRun& R) {
  if (R.Count < 8) {
    RunBilinearScalar(R);
    return;
  }
  TLanes8 L = StartLanes8(R);
  const __m128i RowBytes = _mm_set1_epi32(R.RowBytes);
  const __m128i Shift = _mm_set1_epi32(R.Shift);
  int32_t K = 0;
  for (; K + 16 <= R.Count; K += 16) {
    const __m128i S0 = Sample8<TLayout>(R, L, RowBytes, Shift);
    const __m128i S1 = Sample8<TLayout>(R, L, RowBytes, Shift);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(R.Out + K), _mm_packus_epi16(S0, S1));
  }
  for (; K + 8 <= R.Count; K += 8) {
    const __m128i S = Sample8<TLayout>(R, L, RowBytes, Shift);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(R.Out + K), _mm_packus_epi16(S, S));
  }
  RunBilinearScalar(After(R, K));
}

void RunTwoRowsSSE2(const TRun& R) { RunBilinearSSE2<TTwoRowsSSE2>(R); }
void RunPairsSSE2(const TRun& R) { RunBilinearSSE2<TPairedSSE2>(R); }

}  // namespace

// Sixteen bytes of each row at a time.
__attribute__((target("sse2"))) void BuildPairsSSE2(const TLumoDIB& Picture, uint8_t* Pairs) {
  const uint8_t* Pixels = Picture.Rows8[0];
  const size_t RowBytes = static_cast<size_t>(Picture.RowBytes);
  const size_t Count = static_cast<size_t>(Picture.RowCount - 1) * RowBytes;
  size_t I = 0;
  for (; I + 16 <= Count; I += 16) {
    const __m128i Here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pixels + I));
    const __m128i Below = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Pixels + I + RowBytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Pairs + 2 * I), _mm_unpacklo_epi8(Here, Below));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Pairs + 2 * I + 16), _mm_unpackhi_epi8(Here, Below));
  }
  BuildPairsScalar(Picture, Pairs, I);
}

}  // namespace twist_fast

bool CanRenderPixelsSSE2() { return LumoHasSSE2(); }

void RenderPixelsSSE2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  using namespace twist_fast;
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointSSE2, RunTwoRowsSSE2, RunPairsSSE2);
}

#else

namespace twist_fast {
void BuildPairsSSE2(const TLumoDIB& Picture, uint8_t* Pairs) { BuildPairsScalar(Picture, Pairs, 0); }
}  // namespace twist_fast

bool CanRenderPixelsSSE2() { return LumoHasSSE2(); }

void RenderPixelsSSE2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
}

#endif
