#include "gdi/PaletteRows.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LUMO_PALETTE_SSE41 1
#else
#define LUMO_PALETTE_SSE41 0
#endif

namespace lumo::gdi {

namespace {

void ExpandEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  int i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= Count; i += 8) {
      uint64_t Indices;
      std::memcpy(&Indices, In + i, 8);
      // The first pixel is the low byte, and the low word of each pair.
      const uint64_t P0 = Palette[Indices & 0xFF] | (uint64_t{Palette[(Indices >> 8) & 0xFF]} << 32);
      const uint64_t P1 = Palette[(Indices >> 16) & 0xFF] | (uint64_t{Palette[(Indices >> 24) & 0xFF]} << 32);
      const uint64_t P2 = Palette[(Indices >> 32) & 0xFF] | (uint64_t{Palette[(Indices >> 40) & 0xFF]} << 32);
      const uint64_t P3 = Palette[(Indices >> 48) & 0xFF] | (uint64_t{Palette[Indices >> 56]} << 32);
      std::memcpy(Out + i, &P0, 8);
      std::memcpy(Out + i + 2, &P1, 8);
      std::memcpy(Out + i + 4, &P2, 8);
      std::memcpy(Out + i + 6, &P3, 8);
    }
  }
  for (; i < Count; ++i) Out[i] = Palette[In[i]];
}

#if LUMO_PALETTE_SSE41

// Four colours gathered into one register and stored at once.
__attribute__((target("sse4.1"))) inline __m128i Four(const uint32_t* Palette, uint32_t Indices) {
  __m128i V = _mm_cvtsi32_si128(static_cast<int>(Palette[Indices & 0xFF]));
  V = _mm_insert_epi32(V, static_cast<int>(Palette[(Indices >> 8) & 0xFF]), 1);
  V = _mm_insert_epi32(V, static_cast<int>(Palette[(Indices >> 16) & 0xFF]), 2);
  return _mm_insert_epi32(V, static_cast<int>(Palette[Indices >> 24]), 3);
}

__attribute__((target("sse4.1"))) void ExpandSSE41(const uint8_t* In, uint32_t* Out, int Count,
                                                   const uint32_t* Palette) {
  int i = 0;
  for (; i + 8 <= Count; i += 8) {
    uint32_t First, Second;
    std::memcpy(&First, In + i, 4);
    std::memcpy(&Second, In + i + 4, 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i), Four(Palette, First));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i + 4), Four(Palette, Second));
  }
  for (; i < Count; ++i) Out[i] = Palette[In[i]];
}

// Sixty-four pixels per step: each byte of the colour words has its own
// 256-byte table, looked up with two-register byte permutes (the index's top
// bit picks the half), and the four channels are interleaved back into words.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Lookup(const uint8_t* Table, __m512i Index,
                                                                             __mmask64 High) {
  const __m512i Low = _mm512_permutex2var_epi8(_mm512_load_si512(Table), Index, _mm512_load_si512(Table + 64));
  const __m512i Up = _mm512_permutex2var_epi8(_mm512_load_si512(Table + 128), Index, _mm512_load_si512(Table + 192));
  return _mm512_mask_blend_epi8(High, Low, Up);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void ExpandChannels(const uint8_t* In, uint32_t* Out, int Count,
                                                                           const uint8_t (*Channel)[256],
                                                                           const uint32_t* Palette) {
  // 64-bit lane orders that put the interleaved quarters back in pixel order.
  const __m512i Pick01 = _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11);
  const __m512i Pick23 = _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15);
  const __m512i Halves0 = _mm512_setr_epi64(0, 1, 2, 3, 8, 9, 10, 11);
  const __m512i Halves1 = _mm512_setr_epi64(4, 5, 6, 7, 12, 13, 14, 15);
  int i = 0;
  for (; i + 64 <= Count; i += 64) {
    const __m512i Index = _mm512_loadu_si512(In + i);
    const __mmask64 High = _mm512_movepi8_mask(Index);
    const __m512i C0 = Lookup(Channel[0], Index, High);
    const __m512i C1 = Lookup(Channel[1], Index, High);
    const __m512i C2 = Lookup(Channel[2], Index, High);
    const __m512i C3 = Lookup(Channel[3], Index, High);
    // Within each 128-bit lane L the unpacks give pixels 16L + 0..3, 4..7,
    // 8..11 and 12..15 in Q0..Q3.
    const __m512i Low01 = _mm512_unpacklo_epi8(C0, C1), High01 = _mm512_unpackhi_epi8(C0, C1);
    const __m512i Low23 = _mm512_unpacklo_epi8(C2, C3), High23 = _mm512_unpackhi_epi8(C2, C3);
    const __m512i Q0 = _mm512_unpacklo_epi16(Low01, Low23), Q1 = _mm512_unpackhi_epi16(Low01, Low23);
    const __m512i Q2 = _mm512_unpacklo_epi16(High01, High23), Q3 = _mm512_unpackhi_epi16(High01, High23);
    const __m512i A = _mm512_permutex2var_epi64(Q0, Pick01, Q1);  // pixels 0..7, 16..23
    const __m512i B = _mm512_permutex2var_epi64(Q2, Pick01, Q3);  // 8..15, 24..31
    const __m512i C = _mm512_permutex2var_epi64(Q0, Pick23, Q1);  // 32..39, 48..55
    const __m512i D = _mm512_permutex2var_epi64(Q2, Pick23, Q3);  // 40..47, 56..63
    _mm512_storeu_si512(Out + i, _mm512_permutex2var_epi64(A, Halves0, B));
    _mm512_storeu_si512(Out + i + 16, _mm512_permutex2var_epi64(A, Halves1, B));
    _mm512_storeu_si512(Out + i + 32, _mm512_permutex2var_epi64(C, Halves0, D));
    _mm512_storeu_si512(Out + i + 48, _mm512_permutex2var_epi64(C, Halves1, D));
  }
  // Clear the wide registers' upper halves before the SSE code runs: left
  // dirty, they slow every later SSE instruction of the process.
  _mm256_zeroupper();
  ExpandSSE41(In + i, Out + i, Count - i, Palette);
}

void SplitChannels(const uint32_t* Palette, uint8_t (*Channel)[256]) {
  for (int i = 0; i < 256; ++i) {
    for (int k = 0; k < 4; ++k) Channel[k][i] = static_cast<uint8_t>(Palette[i] >> (8 * k));
  }
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
  ExpandChannels(In, Out, Count, Tables.Channel, Palette);
}

void TableVBMI(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels(In, Out, Count, Table.Channel, Table.Pixels);
}

void TableSSE41(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandSSE41(In, Out, Count, Table.Pixels);
}

#endif

void TableEight(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandEight(In, Out, Count, Table.Pixels);
}

}  // namespace

void ExpandIndicesPlain(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  for (int i = 0; i < Count; ++i) Out[i] = Palette[In[i]];
}

void ExpandIndicesEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandEight(In, Out, Count, Palette);
}

bool CanExpandIndicesSSE41() {
#if LUMO_PALETTE_SSE41
  return __builtin_cpu_supports("sse4.1");
#else
  return false;
#endif
}

void ExpandIndicesSSE41(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
#if LUMO_PALETTE_SSE41
  ExpandSSE41(In, Out, Count, Palette);
#else
  ExpandEight(In, Out, Count, Palette);
#endif
}

bool CanExpandIndicesVBMI() {
#if LUMO_PALETTE_SSE41
  return CanExpandIndicesSSE41() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi");
#else
  return false;
#endif
}

void ExpandIndicesVBMI(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
#if LUMO_PALETTE_SSE41
  ExpandVBMI(In, Out, Count, Palette);
#else
  ExpandEight(In, Out, Count, Palette);
#endif
}

void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  static const bool Widest = CanExpandIndicesVBMI();
  static const bool Wide = CanExpandIndicesSSE41();
  if (Widest) {
    ExpandIndicesVBMI(In, Out, Count, Palette);
  } else if (Wide) {
    ExpandIndicesSSE41(In, Out, Count, Palette);
  } else {
    ExpandEight(In, Out, Count, Palette);
  }
}

void BuildPaletteTable(const uint32_t* Pixels, PaletteTable& Table) {
  std::memcpy(Table.Pixels, Pixels, sizeof Table.Pixels);
  Table.Expand = TableEight;
#if LUMO_PALETTE_SSE41
  static const bool Widest = CanExpandIndicesVBMI();
  static const bool Wide = CanExpandIndicesSSE41();
  if (Widest) {
    SplitChannels(Pixels, Table.Channel);
    Table.Expand = TableVBMI;
  } else if (Wide) {
    Table.Expand = TableSSE41;
  }
#endif
}

}  // namespace lumo::gdi
