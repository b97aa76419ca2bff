// SPDX-License-Identifier: MIT
#include "TwistRenderFast.h"
#include "TwistRuns.h"
#include "kernels/LumoCpu.h"

#if LUMO_X86

#include <cstring>

#include <immintrin.h>

namespace twist_fast {
namespace {

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

}  // namespace

}  // namespace twist_fast

bool CanRenderPixelsAVX512() { return LumoHasAVX2() && LumoHasAVX512(); }

void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  // The AVX-512 form reads only the paired copy: without one the AVX2 form
  // reads the two rows.
  if (Filter && (Pairs == nullptr || Picture.RowBytes > 16384)) {
    RenderPixelsAVX2(Window, Picture, TableX, TableY, A, B, Filter, nullptr);
    return;
  }
  twist_fast::RenderRuns(Window, Picture, TableX, TableY, A, B, Filter, twist_fast::RunPointAVX512,
                         twist_fast::RunPairsAVX512, Pairs);
}

#else

bool CanRenderPixelsAVX512() { return LumoHasAVX2() && LumoHasAVX512(); }

void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter, const uint8_t* Pairs) {
  (void)Pairs;
  RenderPixelsRuns(Window, Picture, TableX, TableY, A, B, Filter);
}

#endif
