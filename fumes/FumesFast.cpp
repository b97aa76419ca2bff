// SPDX-License-Identifier: MIT
#include "FumesFast.h"

#include <new>
#include <vector>

#include "FumesWide.h"

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

}  // namespace

void FumeScalarRange(uint8_t* B, uint32_t From, uint32_t To, uint32_t MainEnd, uint32_t s, const uint32_t* Bits) {
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

void FumePassesWith(TFumeWide Wide, uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  const uint32_t TailEnd = Size - 2 * s - 1;
  const uint32_t* Bits = DecayBits(Noise, TailEnd);
  if (Bits == nullptr) {
    FumePassesPlain(B, Size, s, Noise);
    return;
  }
  if (Wide != nullptr) {
    Wide(B, Size, s, Bits);
  } else {
    FumeScalarRange(B, 0, TailEnd, Size - 4 * s, s, Bits);
  }
}

void FumePassesTable(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise) {
  FumePassesWith(nullptr, B, Size, s, Noise);
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
