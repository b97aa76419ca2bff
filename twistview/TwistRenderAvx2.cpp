// SPDX-License-Identifier: MIT
#include "TwistRenderFast.h"
#include "TwistRuns.h"
#include "kernels/LumoCpu.h"

#if LUMO_X86

#include <cstring>

#include <immintrin.h>

namespace twist_fast {
namespace {

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

}  // namespace

// Thirty-two bytes of each row at a time.
__attribute__((target("avx2"))) void BuildPairsAVX2(const TLumoDIB& Picture, uint8_t* Pairs) {
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
  BuildPairsScalar(Picture, Pairs, I);
}

}  // namespace twist_fast

bool CanRenderPixelsAVX2() { return LumoHasAVX2(); }

void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  using namespace twist_fast;
  RenderForm(Window, Picture, TableX, TableY, A, B, Filter, Pairs, RunPointAVX2, RunBilinearAVX2, RunPairsAVX2);
}

#else

namespace twist_fast {
void BuildPairsAVX2(const TLumoDIB& Picture, uint8_t* Pairs) { BuildPairsScalar(Picture, Pairs, 0); }
}  // namespace twist_fast

bool CanRenderPixelsAVX2() { return LumoHasAVX2(); }

void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
}

#endif
