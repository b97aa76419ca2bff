// SPDX-License-Identifier: MIT
#include "TwistRenderFast.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "kernels/LumoCpu.h"

#if LUMO_X86
#include <immintrin.h>
#endif
#if LUMO_SIMD128
#include <wasm_simd128.h>
#endif

namespace {

// One run: Count pixels from the position (U, V), stepping (DU, DV); the
// sample for integer parts (l, m) is at Pixels[m * RowBytes + l + Shift].
struct TRun {
  uint8_t* Out;
  int32_t Count;
  uint32_t U, V, DU, DV;
  const uint8_t* Pixels;
  int32_t RowBytes;
  int32_t Shift;
  // The picture with every byte followed by the byte one row further on
  // (see BuildPairs), or null.
  const uint8_t* Pairs;
};

using TRunKernel = void (*)(const TRun& Run);

inline int32_t Whole(uint32_t Position) { return static_cast<int32_t>(Position) >> 16; }

// Low 8 bits of p + ((q - p) * f shr 16): with the arithmetic shift the
// result is already p + floor((q - p) f / 65536), a value 0..255.
inline int32_t Lerp(int32_t P, int32_t Q, int32_t F) { return P + (((Q - P) * F) >> 16); }

void RunPointScalar(const TRun& R) {
  uint32_t U = R.U, V = R.V;
  for (int32_t K = 0; K < R.Count; ++K) {
    R.Out[K] = R.Pixels[Whole(V) * R.RowBytes + Whole(U) + R.Shift];
    U += R.DU;
    V += R.DV;
  }
}

// The rest of the run from its K-th pixel on.
[[maybe_unused]] TRun After(const TRun& R, int32_t K) {
  TRun Rest = R;
  Rest.Out += K;
  Rest.Count -= K;
  Rest.U += static_cast<uint32_t>(K) * R.DU;
  Rest.V += static_cast<uint32_t>(K) * R.DV;
  return Rest;
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

#if LUMO_X86

// Eight positions at a time. The gathers read whole 32-bit words: the upper
// row from the sample on (a, b and two bytes that are dropped) and the lower
// row from two bytes before it (two dropped bytes, c, d), so every word read
// lies inside the picture even at its first and last pixel.
struct TLanes {
  __m256i U, V, Step8U, Step8V;
};

__attribute__((target("avx2"))) inline TLanes StartLanes(const TRun& R) {
  const __m256i Ramp = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i DU = _mm256_set1_epi32(static_cast<int32_t>(R.DU));
  const __m256i DV = _mm256_set1_epi32(static_cast<int32_t>(R.DV));
  TLanes L;
  L.U = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(R.U)), _mm256_mullo_epi32(Ramp, DU));
  L.V = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(R.V)), _mm256_mullo_epi32(Ramp, DV));
  L.Step8U = _mm256_slli_epi32(DU, 3);
  L.Step8V = _mm256_slli_epi32(DV, 3);
  return L;
}

__attribute__((target("avx2"))) inline __m256i Offsets(const TLanes& L, __m256i RowBytes, __m256i Shift) {
  const __m256i Rows = _mm256_mullo_epi32(_mm256_srai_epi32(L.V, 16), RowBytes);
  return _mm256_add_epi32(_mm256_add_epi32(Rows, _mm256_srai_epi32(L.U, 16)), Shift);
}

// Eight 32-bit values 0..255 to eight bytes.
__attribute__((target("avx2"))) inline void Store8(uint8_t* Out, __m256i Values) {
  const __m256i Words = _mm256_packus_epi32(Values, Values);
  const __m256i Bytes = _mm256_packus_epi16(Words, Words);
  const __m128i Low = _mm256_castsi256_si128(Bytes);
  const __m128i High = _mm256_extracti128_si256(Bytes, 1);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(Out), _mm_unpacklo_epi32(Low, High));
}

// Thirty-two 32-bit values 0..255 to 32 bytes in order: the packs work
// within 128-bit halves, and one lane permute puts the groups of four back.
__attribute__((target("avx2"))) inline void Store32(uint8_t* Out, __m256i S0, __m256i S1, __m256i S2, __m256i S3) {
  const __m256i Bytes = _mm256_packus_epi16(_mm256_packus_epi32(S0, S1), _mm256_packus_epi32(S2, S3));
  const __m256i Order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out), _mm256_permutevar8x32_epi32(Bytes, Order));
}

struct TPointSampler {
  __m256i RowBytes, Shift, Byte;
  const int* Base;
  __attribute__((target("avx2"))) explicit TPointSampler(const TRun& R)
      : RowBytes(_mm256_set1_epi32(R.RowBytes)),
        Shift(_mm256_set1_epi32(R.Shift)),
        Byte(_mm256_set1_epi32(0xFF)),
        Base(reinterpret_cast<const int*>(R.Pixels)) {}
  __attribute__((target("avx2"))) __m256i operator()(const TLanes& L) const {
    return _mm256_and_si256(_mm256_i32gather_epi32(Base, Offsets(L, RowBytes, Shift), 1), Byte);
  }
};

__attribute__((target("avx2"))) inline __m256i Lerp8(__m256i P, __m256i Q, __m256i F) {
  return _mm256_add_epi32(P, _mm256_srai_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(Q, P), F), 16));
}

struct TBilinearSampler {
  __m256i RowBytes, Shift, Byte, Fraction;
  const int* Upper;
  const int* Lower;
  __attribute__((target("avx2"))) explicit TBilinearSampler(const TRun& R)
      : RowBytes(_mm256_set1_epi32(R.RowBytes)),
        Shift(_mm256_set1_epi32(R.Shift)),
        Byte(_mm256_set1_epi32(0xFF)),
        Fraction(_mm256_set1_epi32(0xFFFF)),
        Upper(reinterpret_cast<const int*>(R.Pixels)),
        Lower(reinterpret_cast<const int*>(R.Pixels + R.RowBytes - 2)) {}
  __attribute__((target("avx2"))) __m256i operator()(const TLanes& L) const {
    const __m256i Offset = Offsets(L, RowBytes, Shift);
    const __m256i AB = _mm256_i32gather_epi32(Upper, Offset, 1);
    const __m256i CD = _mm256_i32gather_epi32(Lower, Offset, 1);
    const __m256i Fx = _mm256_and_si256(L.U, Fraction);
    const __m256i Fy = _mm256_and_si256(L.V, Fraction);
    const __m256i Top = Lerp8(_mm256_and_si256(AB, Byte), _mm256_and_si256(_mm256_srli_epi32(AB, 8), Byte), Fx);
    const __m256i Bottom = Lerp8(_mm256_and_si256(_mm256_srli_epi32(CD, 16), Byte), _mm256_srli_epi32(CD, 24), Fx);
    return Lerp8(Top, Bottom, Fy);
  }
};

// With the paired picture one gather fetches all four neighbours: the word
// at twice the sample's offset holds a, c, b, d.
struct TPairSampler {
  __m256i RowBytes, Shift, Byte, Fraction;
  const int* Pairs;
  __attribute__((target("avx2"))) explicit TPairSampler(const TRun& R)
      : RowBytes(_mm256_set1_epi32(R.RowBytes)),
        Shift(_mm256_set1_epi32(R.Shift)),
        Byte(_mm256_set1_epi32(0xFF)),
        Fraction(_mm256_set1_epi32(0xFFFF)),
        Pairs(reinterpret_cast<const int*>(R.Pairs)) {}
  __attribute__((target("avx2"))) __m256i operator()(const TLanes& L) const {
    const __m256i ACBD = _mm256_i32gather_epi32(Pairs, Offsets(L, RowBytes, Shift), 2);
    const __m256i Fx = _mm256_and_si256(L.U, Fraction);
    const __m256i Fy = _mm256_and_si256(L.V, Fraction);
    const __m256i Top = Lerp8(_mm256_and_si256(ACBD, Byte), _mm256_and_si256(_mm256_srli_epi32(ACBD, 16), Byte), Fx);
    const __m256i Bottom = Lerp8(_mm256_and_si256(_mm256_srli_epi32(ACBD, 8), Byte), _mm256_srli_epi32(ACBD, 24), Fx);
    return Lerp8(Top, Bottom, Fy);
  }
};

// Pairs[2 i] = Pixels[i], Pairs[2 i + 1] = Pixels[i + RowBytes] for every
// byte above the last row.
__attribute__((target("avx2"))) void BuildPairs(const TLumoDIB& Picture, uint8_t* Pairs) {
  const uint8_t* Pixels = Picture.Rows8[0];
  const size_t RowBytes = static_cast<size_t>(Picture.RowBytes);
  const size_t Count = static_cast<size_t>(Picture.RowCount - 1) * RowBytes;
  size_t I = 0;
  for (; I + 32 <= Count; I += 32) {
    const __m256i Here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Pixels + I));
    const __m256i Below = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Pixels + I + RowBytes));
    const __m256i Low = _mm256_unpacklo_epi8(Here, Below);
    const __m256i High = _mm256_unpackhi_epi8(Here, Below);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Pairs + 2 * I), _mm256_permute2x128_si256(Low, High, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Pairs + 2 * I + 32), _mm256_permute2x128_si256(Low, High, 0x31));
  }
  for (; I < Count; ++I) {
    Pairs[2 * I] = Pixels[I];
    Pairs[2 * I + 1] = Pixels[I + RowBytes];
  }
}

// The same with SSE2, sixteen bytes of each row at a time.
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
  for (; I < Count; ++I) {
    Pairs[2 * I] = Pixels[I];
    Pairs[2 * I + 1] = Pixels[I + RowBytes];
  }
}

__attribute__((target("avx2"))) inline void Advance(TLanes& L) {
  L.U = _mm256_add_epi32(L.U, L.Step8U);
  L.V = _mm256_add_epi32(L.V, L.Step8V);
}

template <typename TSampler, void (*Scalar)(const TRun&)>
__attribute__((target("avx2"))) void RunAVX2(const TRun& R) {
  TLanes L = StartLanes(R);
  const TSampler Sample(R);
  int32_t K = 0;
  for (; K + 32 <= R.Count; K += 32) {
    const __m256i S0 = Sample(L);
    Advance(L);
    const __m256i S1 = Sample(L);
    Advance(L);
    const __m256i S2 = Sample(L);
    Advance(L);
    const __m256i S3 = Sample(L);
    Advance(L);
    Store32(R.Out + K, S0, S1, S2, S3);
  }
  for (; K + 8 <= R.Count; K += 8) {
    Store8(R.Out + K, Sample(L));
    Advance(L);
  }
  // Clear the wide registers' upper halves before code built for plain SSE
  // runs: left dirty, they slow every later SSE instruction of the process.
  _mm256_zeroupper();
  Scalar(After(R, K));
}

void RunPointAVX2(const TRun& R) { RunAVX2<TPointSampler, RunPointScalar>(R); }
void RunBilinearAVX2(const TRun& R) { RunAVX2<TBilinearSampler, RunBilinearScalar>(R); }
void RunPairsAVX2(const TRun& R) { RunAVX2<TPairSampler, RunBilinearScalar>(R); }

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

// Sixteen samples per step; the last, shorter step of a run masks off the
// lanes past its end, so they neither read the picture nor write the row.
// GCC 12's AVX-512 header starts vectors from a deliberately undefined value
// and then warns about it.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

__attribute__((target("avx512f"))) inline __m512i Lerp16(__m512i P, __m512i Q, __m512i F) {
  return _mm512_add_epi32(P, _mm512_srai_epi32(_mm512_mullo_epi32(_mm512_sub_epi32(Q, P), F), 16));
}

template <bool Filter>
__attribute__((target("avx512f"))) void RunAVX512(const TRun& R) {
  const __m512i Ramp = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m512i DU = _mm512_set1_epi32(static_cast<int32_t>(R.DU));
  const __m512i DV = _mm512_set1_epi32(static_cast<int32_t>(R.DV));
  __m512i U = _mm512_add_epi32(_mm512_set1_epi32(static_cast<int32_t>(R.U)), _mm512_mullo_epi32(Ramp, DU));
  __m512i V = _mm512_add_epi32(_mm512_set1_epi32(static_cast<int32_t>(R.V)), _mm512_mullo_epi32(Ramp, DV));
  const __m512i Step16U = _mm512_slli_epi32(DU, 4);
  const __m512i Step16V = _mm512_slli_epi32(DV, 4);
  const __m512i RowBytes = _mm512_set1_epi32(R.RowBytes);
  const __m512i Shift = _mm512_set1_epi32(R.Shift);
  const __m512i Byte = _mm512_set1_epi32(0xFF);
  const __m512i Fraction = _mm512_set1_epi32(0xFFFF);
  for (int32_t K = 0; K < R.Count; K += 16) {
    const int32_t Left = R.Count - K;
    const __mmask16 Lanes = Left >= 16 ? static_cast<__mmask16>(0xFFFF) : static_cast<__mmask16>((1u << Left) - 1);
    const __m512i Offset = _mm512_add_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(_mm512_srai_epi32(V, 16), RowBytes), _mm512_srai_epi32(U, 16)), Shift);
    __m512i Result;
    if constexpr (Filter) {
      const __m512i ACBD = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), Lanes, Offset, R.Pairs, 2);
      const __m512i Fx = _mm512_and_si512(U, Fraction);
      const __m512i Fy = _mm512_and_si512(V, Fraction);
      const __m512i Top = Lerp16(_mm512_and_si512(ACBD, Byte), _mm512_and_si512(_mm512_srli_epi32(ACBD, 16), Byte), Fx);
      const __m512i Bottom =
          Lerp16(_mm512_and_si512(_mm512_srli_epi32(ACBD, 8), Byte), _mm512_srli_epi32(ACBD, 24), Fx);
      Result = Lerp16(Top, Bottom, Fy);
    } else {
      Result = _mm512_and_si512(_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), Lanes, Offset, R.Pixels, 1), Byte);
    }
    _mm512_mask_cvtepi32_storeu_epi8(R.Out + K, Lanes, Result);
    U = _mm512_add_epi32(U, Step16U);
    V = _mm512_add_epi32(V, Step16V);
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

void RunPointAVX512(const TRun& R) { RunAVX512<false>(R); }
void RunPairsAVX512(const TRun& R) { RunAVX512<true>(R); }

#endif

#if LUMO_SIMD128

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

// Pairs[2 i] = Pixels[i], Pairs[2 i + 1] = Pixels[i + RowBytes], as
// BuildPairs, sixteen bytes of each row at a time.
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
  for (; I < Count; ++I) {
    Pairs[2 * I] = Pixels[I];
    Pairs[2 * I + 1] = Pixels[I + RowBytes];
  }
}

#endif

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

void Render(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
            int32_t B, bool Filter, TRunKernel PointKernel, TRunKernel BilinearKernel, const uint8_t* Pairs = nullptr) {
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

// A form's frame: its bilinear kernel on the paired copy where there is one,
// else the kernel that reads the two rows.
[[maybe_unused]] void RenderForm(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX,
                                 const int32_t* TableY, int32_t A, int32_t B, bool Filter, const uint8_t* Pairs,
                                 TRunKernel Point, TRunKernel TwoRows, TRunKernel Paired) {
  if (Filter && Pairs != nullptr) {
    Render(Window, Picture, TableX, TableY, A, B, Filter, Point, Paired, Pairs);
    return;
  }
  Render(Window, Picture, TableX, TableY, A, B, Filter, Point, TwoRows);
}

}  // namespace

bool CanRenderPixelsAVX2() { return LumoHasAVX2(); }

void RenderPixelsRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter) {
  Render(Window, Picture, TableX, TableY, A, B, Filter, RunPointScalar, RunBilinearScalar);
}

bool BuildPairedPicture(const TLumoDIB& Picture, std::vector<uint8_t>& Pairs) {
  Pairs.clear();
  // Built by the level of the form that reads it, so one turned off by
  // LUMO_DISABLE is not run here either; the plain form reads none.
  [[maybe_unused]] const std::string_view Level = LumoChosen<RenderPixelsForms>("rotating zoom").Level;
  void (*Build)(const TLumoDIB& Picture, uint8_t* Pairs) = nullptr;
#if LUMO_X86
  if (Level == "avx512" || Level == "avx2") {
    Build = BuildPairs;
  } else if (Level == "sse2") {
    Build = BuildPairsSSE2;
  }
#endif
#if LUMO_SIMD128
  if (Level == "simd128") {
    Build = BuildPairsSIMD128;
  }
#endif
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

bool CanRenderPixelsAVX512() { return LumoHasAVX2() && LumoHasAVX512(); }

void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
#if LUMO_X86
  if (Filter && (Pairs == nullptr || Picture.RowBytes > 16384)) {
    Render(Window, Picture, TableX, TableY, A, B, Filter, RunPointAVX2, RunBilinearAVX2);
    return;
  }
  Render(Window, Picture, TableX, TableY, A, B, Filter, RunPointAVX512, RunPairsAVX512, Pairs);
#else
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
#endif
}

void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
#if LUMO_X86
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointAVX2, RunBilinearAVX2, RunPairsAVX2);
#else
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
#endif
}

bool CanRenderPixelsSSE2() { return LumoHasSSE2(); }

void RenderPixelsSSE2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
#if LUMO_X86
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointSSE2, RunTwoRowsSSE2, RunPairsSSE2);
#else
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
#endif
}

bool CanRenderPixelsSIMD128() { return LumoHasSIMD128(); }

void RenderPixelsSIMD128(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                         int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
#if LUMO_SIMD128
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointSIMD128, RunTwoRowsSIMD128, RunPairsSIMD128);
#else
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
#endif
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
