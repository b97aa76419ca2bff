// SPDX-License-Identifier: MIT
#include "FumesFast.h"

#include <cstring>
#include <new>
#include <vector>

#if LUMO_X86
#include <immintrin.h>
#endif
#if LUMO_SIMD128
#include <wasm_simd128.h>
#endif

namespace {

// The decay bits of 32 consecutive bytes share one word. Byte j of a block
// sits at bit 8 * (j % 4) + j / 4: broadcast to every 32-bit lane, byte j of
// the vector then holds its own bit in bit j / 4, which one AND with a
// per-lane constant picks out.
inline uint32_t BitOf(uint32_t Offset) { return 8 * (Offset & 3) + ((Offset & 31) >> 2); }

struct TDecayTable {
  bool Built = false;
  uint32_t Start = 0;
  uint32_t Length = 0;
  std::vector<uint32_t> Words;
};

// Starting values 0..9 are what the program uses; any other value shares
// the last slot.
TDecayTable Tables[11];
bool TablesUnavailable = false;

// Bits for the first Length bytes of a step that starts with Noise, or null
// when the memory for them cannot be had.
const uint32_t* DecayBits(uint32_t Noise, uint32_t Length) {
  if (TablesUnavailable) {
    return nullptr;
  }
  TDecayTable& T = Tables[Noise < 10 ? Noise : 10];
  if (T.Built && T.Start == Noise && T.Length >= Length) {
    return T.Words.data();
  }
  T.Built = false;
  try {
    T.Words.assign(Length / 32 + 1, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  uint32_t N = Noise;
  for (uint32_t p = 0; p < Length; ++p) {
    if ((N & 15) > 10) {
      T.Words[p >> 5] |= 1u << BitOf(p);
    }
    N += N - (N >> 1);
  }
  T.Built = true;
  T.Start = Noise;
  T.Length = Length;
  return T.Words.data();
}

inline bool Decays(const uint32_t* Bits, uint32_t p) { return ((Bits[p >> 5] >> BitOf(p)) & 1) != 0; }

// Bytes From .. To - 1 one at a time: the narrow path for what is left over
// after the wide blocks, main and tail band alike.
void ScalarRange(uint8_t* B, uint32_t From, uint32_t To, uint32_t MainEnd, uint32_t s, const uint32_t* Bits) {
  for (uint32_t p = From; p < To; ++p) {
    uint32_t Sum = B[p + 2 * s - 1] + B[p + 2 * s] + B[p + 2 * s + 1];
    if (p < MainEnd) {
      Sum += B[p + 4 * s];
    }
    uint32_t v = Sum >> 2;
    if (v > 0 && Decays(Bits, p)) {
      --v;
    }
    B[p] = static_cast<uint8_t>(v);
  }
}

using TWide = void (*)(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits);

void Run(TWide Wide, uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  const uint32_t TailEnd = Size - 2 * s - 1;
  const uint32_t* Bits = DecayBits(Noise, TailEnd);
  if (Bits == nullptr) {
    FumePassesPlain(B, Size, s, Noise);
    return;
  }
  if (Wide != nullptr) {
    Wide(B, Size, s, Bits);
  } else {
    ScalarRange(B, 0, TailEnd, Size - 4 * s, s, Bits);
  }
}

#if LUMO_X86

// Every read of a block lies at or after its first byte (p + 2s - 1 >= p),
// and all of a block's reads happen before its store; blocks go forward, so
// no block ever reads a byte an earlier block wrote. That holds for any row
// length, so the wide path needs no minimum width.
//
// floor((a + b + c + d) / 4) exactly, in bytes: x = floor((a + c) / 2) and
// y = floor((b + d) / 2) with their dropped bits e1, e2; the result is
// floor((x + y + 1) / 2) when both bits were set, else floor((x + y) / 2).
// pavgb rounds up, so each floor is pavgb minus the low bit of the xor.

__attribute__((target("sse2"))) inline __m128i Quarter16(__m128i A, __m128i B, __m128i C, __m128i D, __m128i One) {
  const __m128i E1 = _mm_and_si128(_mm_xor_si128(A, C), One);
  const __m128i X = _mm_sub_epi8(_mm_avg_epu8(A, C), E1);
  const __m128i E2 = _mm_and_si128(_mm_xor_si128(B, D), One);
  const __m128i Y = _mm_sub_epi8(_mm_avg_epu8(B, D), E2);
  const __m128i Odd = _mm_and_si128(_mm_xor_si128(X, Y), One);
  const __m128i Down = _mm_subs_epu8(Odd, _mm_and_si128(E1, E2));
  return _mm_sub_epi8(_mm_avg_epu8(X, Y), Down);
}

__attribute__((target("sse2"))) inline void Block16(uint8_t* B, uint32_t p, uint32_t s, __m128i D, uint32_t Word,
                                                    __m128i Select, __m128i One) {
  const uint8_t* Two = B + p + 2 * s;
  const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Two - 1));
  const __m128i Bm = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Two));
  const __m128i C = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Two + 1));
  const __m128i V = Quarter16(A, Bm, C, D, One);
  const __m128i Mark = _mm_and_si128(_mm_set1_epi32(static_cast<int>(Word)), Select);
  // Saturating: a zero average stays zero.
  const __m128i R = _mm_subs_epu8(V, _mm_min_epu8(Mark, One));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(B + p), R);
}

__attribute__((target("sse2"))) void WideSSE2(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const __m128i One = _mm_set1_epi8(1);
  const __m128i SelectLow = _mm_set_epi32(0x08080808, 0x04040404, 0x02020202, 0x01010101);
  const __m128i SelectHigh = _mm_set_epi32(static_cast<int>(0x80808080u), 0x40404040, 0x20202020, 0x10101010);
  uint32_t p = 0;
  for (; p + 16 <= MainEnd; p += 16) {
    const __m128i D = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + p + 4 * s));
    Block16(B, p, s, D, Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  for (; p + 16 <= TailEnd; p += 16) {
    // The block that straddles the end of the main pass takes its fourth
    // term only for the bytes before that end; a full load would run past
    // the buffer.
    alignas(16) uint8_t Fourth[16] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    const __m128i D = _mm_load_si128(reinterpret_cast<const __m128i*>(Fourth));
    Block16(B, p, s, D, Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  ScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

__attribute__((target("avx2"))) inline __m256i Quarter32(__m256i A, __m256i B, __m256i C, __m256i D, __m256i One) {
  const __m256i E1 = _mm256_and_si256(_mm256_xor_si256(A, C), One);
  const __m256i X = _mm256_sub_epi8(_mm256_avg_epu8(A, C), E1);
  const __m256i E2 = _mm256_and_si256(_mm256_xor_si256(B, D), One);
  const __m256i Y = _mm256_sub_epi8(_mm256_avg_epu8(B, D), E2);
  const __m256i Odd = _mm256_and_si256(_mm256_xor_si256(X, Y), One);
  const __m256i Down = _mm256_subs_epu8(Odd, _mm256_and_si256(E1, E2));
  return _mm256_sub_epi8(_mm256_avg_epu8(X, Y), Down);
}

__attribute__((target("avx2"))) inline void Block32(uint8_t* B, uint32_t p, uint32_t s, __m256i D, uint32_t Word,
                                                    __m256i Select, __m256i One) {
  const uint8_t* Two = B + p + 2 * s;
  const __m256i A = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Two - 1));
  const __m256i Bm = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Two));
  const __m256i C = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Two + 1));
  const __m256i V = Quarter32(A, Bm, C, D, One);
  const __m256i Mark = _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(Word)), Select);
  const __m256i R = _mm256_subs_epu8(V, _mm256_min_epu8(Mark, One));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(B + p), R);
}

__attribute__((target("avx2"))) void WideAVX2(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const __m256i One = _mm256_set1_epi8(1);
  const __m256i Select = _mm256_set_epi32(static_cast<int>(0x80808080u), 0x40404040, 0x20202020, 0x10101010, 0x08080808,
                                          0x04040404, 0x02020202, 0x01010101);
  uint32_t p = 0;
  for (; p + 32 <= MainEnd; p += 32) {
    const __m256i D = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(B + p + 4 * s));
    Block32(B, p, s, D, Bits[p >> 5], Select, One);
  }
  for (; p + 32 <= TailEnd; p += 32) {
    alignas(32) uint8_t Fourth[32] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    const __m256i D = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Fourth));
    Block32(B, p, s, D, Bits[p >> 5], Select, One);
  }
  // Clear the wide registers' upper halves before code built for plain SSE
  // runs: left dirty, they slow every later SSE instruction of the process.
  _mm256_zeroupper();
  ScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

#endif

#if LUMO_SIMD128

// The SSE2 form in WebAssembly's vectors, whose unsigned byte average
// rounds up as pavgb does; see the x86 forms above for the arithmetic and
// why the in-place forward sweep needs no minimum width.
inline v128_t Quarter16(v128_t A, v128_t B, v128_t C, v128_t D, v128_t One) {
  const v128_t E1 = wasm_v128_and(wasm_v128_xor(A, C), One);
  const v128_t X = wasm_i8x16_sub(wasm_u8x16_avgr(A, C), E1);
  const v128_t E2 = wasm_v128_and(wasm_v128_xor(B, D), One);
  const v128_t Y = wasm_i8x16_sub(wasm_u8x16_avgr(B, D), E2);
  const v128_t Odd = wasm_v128_and(wasm_v128_xor(X, Y), One);
  const v128_t Down = wasm_u8x16_sub_sat(Odd, wasm_v128_and(E1, E2));
  return wasm_i8x16_sub(wasm_u8x16_avgr(X, Y), Down);
}

inline void Block16(uint8_t* B, uint32_t p, uint32_t s, v128_t D, uint32_t Word, v128_t Select, v128_t One) {
  const uint8_t* Two = B + p + 2 * s;
  const v128_t V = Quarter16(wasm_v128_load(Two - 1), wasm_v128_load(Two), wasm_v128_load(Two + 1), D, One);
  const v128_t Mark = wasm_v128_and(wasm_i32x4_splat(static_cast<int32_t>(Word)), Select);
  // Saturating: a zero average stays zero.
  wasm_v128_store(B + p, wasm_u8x16_sub_sat(V, wasm_u8x16_min(Mark, One)));
}

void WideSIMD128(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits) {
  const uint32_t MainEnd = Size - 4 * s;
  const uint32_t TailEnd = MainEnd + 2 * s - 1;
  const v128_t One = wasm_i8x16_splat(1);
  const v128_t SelectLow = wasm_i32x4_make(0x01010101, 0x02020202, 0x04040404, 0x08080808);
  const v128_t SelectHigh = wasm_i32x4_make(0x10101010, 0x20202020, 0x40404040, static_cast<int32_t>(0x80808080u));
  uint32_t p = 0;
  for (; p + 16 <= MainEnd; p += 16) {
    Block16(B, p, s, wasm_v128_load(B + p + 4 * s), Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  for (; p + 16 <= TailEnd; p += 16) {
    // The fourth term only for the bytes before the end of the main pass.
    alignas(16) uint8_t Fourth[16] = {};
    if (p < MainEnd) {
      std::memcpy(Fourth, B + p + 4 * s, MainEnd - p);
    }
    Block16(B, p, s, wasm_v128_load(Fourth), Bits[p >> 5], (p & 16) ? SelectHigh : SelectLow, One);
  }
  ScalarRange(B, p, TailEnd, MainEnd, s, Bits);
}

#endif

}  // namespace

void FumePassesTable(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) { Run(nullptr, B, Size, s, Noise); }

void FumePassesSSE2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
#if LUMO_X86
  Run(WideSSE2, B, Size, s, Noise);
#else
  Run(nullptr, B, Size, s, Noise);
#endif
}

void FumePassesAVX2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
#if LUMO_X86
  Run(WideAVX2, B, Size, s, Noise);
#else
  Run(nullptr, B, Size, s, Noise);
#endif
}

void FumePassesSIMD128(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
#if LUMO_SIMD128
  Run(WideSIMD128, B, Size, s, Noise);
#else
  Run(nullptr, B, Size, s, Noise);
#endif
}

void FumePassesFast(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  // Chosen on first use rather than at load time, so the processor record is
  // filled whatever order the units start in.
  LumoChosen<FumePassesForms>("smoke passes").Function(B, Size, s, Noise);
}

void ForgetFumeDecayTables() {
  for (TDecayTable& T : Tables) {
    T = TDecayTable{};
  }
}

void SetFumeDecayTablesUnavailable(bool Unavailable) { TablesUnavailable = Unavailable; }
