// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstring>

#include "gdi/PaletteRows.h"

#if LUMO_X86
#include <immintrin.h>
#endif

namespace lumo::gdi {

#if LUMO_X86

namespace {

// Sixty-four pixels per step: each byte of the colour words has its own
// 256-byte table, looked up with two-register byte permutes (the index's top
// bit picks the half), and the channels are interleaved back into words.
// The indices are first shuffled so that the in-lane interleaves leave each
// register holding sixteen consecutive pixels. A fourth byte that is zero in
// every colour (window pixels) is not looked up at all.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Lookup(const uint8_t* Table, __m512i Index,
                                                                             __mmask64 High) {
  const __m512i Low = _mm512_permutex2var_epi8(_mm512_load_si512(Table), Index, _mm512_load_si512(Table + 64));
  const __m512i Up = _mm512_permutex2var_epi8(_mm512_load_si512(Table + 128), Index, _mm512_load_si512(Table + 192));
  return _mm512_mask_blend_epi8(High, Low, Up);
}

// Byte 16L + 4j + m of the shuffled indices is pixel 16j + 4L + m: after
// the interleaves, 128-bit lane L of register j holds pixels 16j + 4L .. +3.
struct TLaneOrder {
  alignas(64) uint8_t Byte[64];
  constexpr TLaneOrder() : Byte{} {
    for (int L = 0; L < 4; ++L)
      for (int j = 0; j < 4; ++j)
        for (int m = 0; m < 4; ++m) Byte[16 * L + 4 * j + m] = static_cast<uint8_t>(16 * j + 4 * L + m);
  }
};
constexpr TLaneOrder LaneOrder;

// Sixteen pixels to Out, or only the first Left of them when Masked;
// Stream writes a whole 64-byte line around the caches (Out aligned).
template <bool Masked, bool Stream>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void Store16(uint32_t* Out, __m512i Pixels, int Left) {
  if (!Masked && Stream) {
    _mm512_stream_si512(reinterpret_cast<__m512i*>(Out), Pixels);
  } else if (!Masked) {
    _mm512_storeu_si512(Out, Pixels);
  } else if (Left > 0) {
    _mm512_mask_storeu_epi32(Out, static_cast<__mmask16>(Left >= 16 ? 0xFFFF : (1u << Left) - 1), Pixels);
  }
}

// The pixels of 64 indices, or of the first Count of them when Masked.
template <bool FourthByte, bool Masked, bool Stream = false>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void Expand64(const uint8_t* In, uint32_t* Out, int Count,
                                                                            const uint8_t (*Channel)[256]) {
  __m512i Index = Masked ? _mm512_maskz_loadu_epi8((uint64_t{1} << Count) - 1, In) : _mm512_loadu_si512(In);
  Index = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, _mm512_load_si512(LaneOrder.Byte), Index);
  const __mmask64 High = _mm512_movepi8_mask(Index);
  const __m512i C0 = Lookup(Channel[0], Index, High);
  const __m512i C1 = Lookup(Channel[1], Index, High);
  const __m512i C2 = Lookup(Channel[2], Index, High);
  const __m512i C3 = FourthByte ? Lookup(Channel[3], Index, High) : _mm512_setzero_si512();
  const __m512i Low01 = _mm512_unpacklo_epi8(C0, C1), High01 = _mm512_unpackhi_epi8(C0, C1);
  const __m512i Low23 = _mm512_unpacklo_epi8(C2, C3), High23 = _mm512_unpackhi_epi8(C2, C3);
  Store16<Masked, Stream>(Out, _mm512_unpacklo_epi16(Low01, Low23), Count);
  Store16<Masked, Stream>(Out + 16, _mm512_unpackhi_epi16(Low01, Low23), Count - 16);
  Store16<Masked, Stream>(Out + 32, _mm512_unpacklo_epi16(High01, High23), Count - 32);
  Store16<Masked, Stream>(Out + 48, _mm512_unpackhi_epi16(High01, High23), Count - 48);
}

// With Stream the whole lines of the row are written around the caches:
// the pixels before the first line boundary go through masked stores, the
// rest of the row lands 64-byte aligned. The caller fences.
template <bool FourthByte, bool Stream = false>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void ExpandChannels(const uint8_t* In, uint32_t* Out, int Count,
                                                                           const uint8_t (*Channel)[256]) {
  int i = 0;
  if constexpr (Stream) {
    const uintptr_t At = reinterpret_cast<uintptr_t>(Out);
    if ((At & 3) != 0) {
      ExpandChannels<FourthByte, false>(In, Out, Count, Channel);
      return;
    }
    i = std::min(Count, static_cast<int>(((64 - (At & 63)) & 63) / 4));
    if (i > 0) Expand64<FourthByte, true>(In, Out, i, Channel);
  }
  for (; i + 64 <= Count; i += 64) Expand64<FourthByte, false, Stream>(In + i, Out + i, 64, Channel);
  // The last few pixels through masked loads and stores, which touch
  // nothing past the row.
  if (i < Count) Expand64<FourthByte, true>(In + i, Out + i, Count - i, Channel);
  // Clear the wide registers' upper halves before any SSE code runs: left
  // dirty, they slow every later SSE instruction of the process.
  _mm256_zeroupper();
}

// Callers with a bare palette: the tables are split from it once and reused
// while it stays the same, which a 1 KB compare per call checks.
struct TChannelTables {
  alignas(64) uint32_t Palette[256];
  alignas(64) uint8_t Channel[4][256];
  bool Valid = false;
};

__attribute__((target("avx512f,avx512bw"))) bool SamePalette(const uint32_t* A, const uint32_t* B) {
  __mmask16 Differ = 0;
  for (int i = 0; i < 256; i += 16) {
    Differ |= _mm512_cmpneq_epi32_mask(_mm512_loadu_si512(A + i), _mm512_loadu_si512(B + i));
  }
  return Differ == 0;
}

void ExpandVBMI(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  thread_local TChannelTables Tables;
  if (!Tables.Valid || !SamePalette(Tables.Palette, Palette)) {
    std::memcpy(Tables.Palette, Palette, sizeof Tables.Palette);
    SplitChannels(Palette, Tables.Channel);
    Tables.Valid = true;
  }
  ExpandChannels<true>(In, Out, Count, Tables.Channel);
}

void TableVBMI(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels<true>(In, Out, Count, Table.Channel);
}

void TableVBMIThreeBytes(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels<false>(In, Out, Count, Table.Channel);
}

void TableVBMIStreaming(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels<true, true>(In, Out, Count, Table.Channel);
}

void TableVBMIThreeBytesStreaming(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels<false, true>(In, Out, Count, Table.Channel);
}

}  // namespace

bool CanExpandIndicesVBMI() {
  return CanExpandIndicesSSE41() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi");
}

void ExpandIndicesVBMI(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandVBMI(In, Out, Count, Palette);
}

void ReadyVBMI(const uint32_t* Pixels, PaletteTable& Table) {
  ReadyEight(Pixels, Table);
  SplitChannels(Pixels, Table.Channel);
  bool FourthByte = false;
  for (int i = 0; i < 256; ++i) FourthByte |= Table.Channel[3][i] != 0;
  Table.Expand = FourthByte ? TableVBMI : TableVBMIThreeBytes;
  Table.ExpandStreaming = FourthByte ? TableVBMIStreaming : TableVBMIThreeBytesStreaming;
}

#else

bool CanExpandIndicesVBMI() { return false; }

void ExpandIndicesVBMI(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandIndicesEight(In, Out, Count, Palette);
}

void ReadyVBMI(const uint32_t* Pixels, PaletteTable& Table) { ReadyEight(Pixels, Table); }

#endif

}  // namespace lumo::gdi
