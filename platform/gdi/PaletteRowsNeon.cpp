// SPDX-License-Identifier: MIT
#include <cstring>

#include "gdi/PaletteRows.h"

#if LUMO_NEON
#include <arm_neon.h>
#endif

namespace lumo::gdi {

#if LUMO_NEON

namespace {

// Thirty-two pixels per step through per-channel byte tables, as the VBMI
// form: a four-register table lookup covers 64 entries, so a 256-byte table
// takes one lookup and three extensions, each with the index 64 lower (an
// extension leaves the lanes whose index is out of its range as they are, and
// exactly one of the four is in range). The table is loaded once for both
// halves of the step; the interleaving store turns the channels back into
// colour words. A fourth byte that is zero in every colour (window pixels) is
// not looked up at all.
inline void Lookup(const uint8_t* Table, uint8x16_t Index0, uint8x16_t Index1, uint8x16_t& Out0, uint8x16_t& Out1) {
  const uint8x16_t Quarter = vdupq_n_u8(64);
  uint8x16x4_t Part = vld1q_u8_x4(Table);
  Out0 = vqtbl4q_u8(Part, Index0);
  Out1 = vqtbl4q_u8(Part, Index1);
  for (int K = 1; K < 4; ++K) {
    Index0 = vsubq_u8(Index0, Quarter);
    Index1 = vsubq_u8(Index1, Quarter);
    Part = vld1q_u8_x4(Table + 64 * K);
    Out0 = vqtbx4q_u8(Out0, Part, Index0);
    Out1 = vqtbx4q_u8(Out1, Part, Index1);
  }
}

template <bool FourthByte>
void ExpandChannels(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Pixels,
                    const uint8_t (*Channel)[256]) {
  int i = 0;
  for (; i + 32 <= Count; i += 32) {
    const uint8x16_t Index0 = vld1q_u8(In + i), Index1 = vld1q_u8(In + i + 16);
    uint8x16x4_t First, Second;
    Lookup(Channel[0], Index0, Index1, First.val[0], Second.val[0]);
    Lookup(Channel[1], Index0, Index1, First.val[1], Second.val[1]);
    Lookup(Channel[2], Index0, Index1, First.val[2], Second.val[2]);
    if constexpr (FourthByte) {
      Lookup(Channel[3], Index0, Index1, First.val[3], Second.val[3]);
    } else {
      First.val[3] = Second.val[3] = vdupq_n_u8(0);
    }
    vst4q_u8(reinterpret_cast<uint8_t*>(Out + i), First);
    vst4q_u8(reinterpret_cast<uint8_t*>(Out + i + 16), Second);
  }
  for (; i < Count; ++i) Out[i] = Pixels[In[i]];
}

// Callers with a bare palette: the tables are split from it once and reused
// while it stays the same, which a 1 KB compare per call checks.
struct TChannelTables {
  uint32_t Palette[256];
  uint8_t Channel[4][256];
  bool Valid = false;
};

void ExpandNEON(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  thread_local TChannelTables Tables;
  if (!Tables.Valid || std::memcmp(Tables.Palette, Palette, sizeof Tables.Palette) != 0) {
    std::memcpy(Tables.Palette, Palette, sizeof Tables.Palette);
    SplitChannels(Palette, Tables.Channel);
    Tables.Valid = true;
  }
  ExpandChannels<true>(In, Out, Count, Tables.Palette, Tables.Channel);
}

void TableNEON(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels<true>(In, Out, Count, Table.Pixels, Table.Channel);
}

void TableNEONThreeBytes(const uint8_t* In, uint32_t* Out, int Count, const PaletteTable& Table) {
  ExpandChannels<false>(In, Out, Count, Table.Pixels, Table.Channel);
}

}  // namespace

void ExpandIndicesNEON(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandNEON(In, Out, Count, Palette);
}

// AdvSIMD has no stores around the caches: streaming rows take the ordinary
// ones.
void ReadyNEON(const uint32_t* Pixels, PaletteTable& Table) {
  ReadyEight(Pixels, Table);
  SplitChannels(Pixels, Table.Channel);
  bool FourthByte = false;
  for (int i = 0; i < 256; ++i) FourthByte |= Table.Channel[3][i] != 0;
  Table.Expand = Table.ExpandStreaming = FourthByte ? TableNEON : TableNEONThreeBytes;
}

#else

void ExpandIndicesNEON(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette) {
  ExpandIndicesEight(In, Out, Count, Palette);
}

void ReadyNEON(const uint32_t* Pixels, PaletteTable& Table) { ReadyEight(Pixels, Table); }

#endif

bool CanExpandIndicesNEON() { return LumoHasNEON(); }

}  // namespace lumo::gdi
