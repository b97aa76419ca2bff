// SPDX-License-Identifier: MIT
// The fast palette expansion against the plain loop: every length up to 70
// and some long ones, misaligned rows, and nothing written past the row;
// the same through a palette made ready in advance, with ordinary and with
// streaming stores (which take their own path up to a line boundary).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "gdi/PaletteRows.h"

namespace {

lumo::gdi::PaletteTable Table;
void ThroughTable(const uint8_t* In, uint32_t* Out, int Count, const uint32_t*) {
  lumo::gdi::ExpandIndices(In, Out, Count, Table);
}
void StreamingThroughTable(const uint8_t* In, uint32_t* Out, int Count, const uint32_t*) {
  lumo::gdi::ExpandRows(In, Count, Out, Count, Count, 1, Table, true);
}

TEST(PaletteRows, SameColoursAsThePlainLoopForEveryLengthAndAlignment) {
  // Every form of the family table, the chosen one and the ready palette.
  struct TForm {
    const char* Name;
    lumo::gdi::ExpandIndicesForm Expand;
    bool Runs;
  };
  std::vector<TForm> Forms;
  for (const auto& Form : lumo::gdi::ExpandIndicesForms)
    Forms.push_back({Form.Level, Form.Function.Row, Form.Available()});
  Forms.push_back({"chosen", lumo::gdi::ExpandIndices, true});
  Forms.push_back({"table", ThroughTable, true});
  Forms.push_back({"table, streaming", StreamingThroughTable, true});
  std::mt19937 Random(9);
  std::vector<int> Lengths;
  for (int Count = 0; Count <= 70; ++Count) Lengths.push_back(Count);
  for (int Count : {255, 256, 768, 1001}) Lengths.push_back(Count);
  // Window pixels (top byte zero, which the table skips) and full words.
  for (const uint32_t Mask : {0xFFFFFFu, 0xFFFFFFFFu}) {
    uint32_t Palette[256];
    for (uint32_t& Colour : Palette) Colour = Random() & Mask;
    lumo::gdi::BuildPaletteTable(Palette, Table);
    for (int Count : Lengths) {
      for (int Shift = 0; Shift < 8; ++Shift) {
        std::vector<uint8_t> In(static_cast<size_t>(Count) + 8);
        for (uint8_t& Index : In) Index = static_cast<uint8_t>(Random());
        std::vector<uint32_t> Row(static_cast<size_t>(Count));
        lumo::gdi::ExpandIndicesPlain(In.data() + Shift, Row.data(), Count, Palette);
        // Each shift also starts the row at another place within a 64-byte
        // line, after at least one guard word; guards all around.
        const uintptr_t Line = (static_cast<uintptr_t>(Shift) * 9 % 16) * 4;
        for (const auto& Form : Forms) {
          if (!Form.Runs) continue;
          std::vector<uint32_t> Got(static_cast<size_t>(Count) + 34, 0xDEADBEEFu);
          const uintptr_t First = reinterpret_cast<uintptr_t>(Got.data() + 1);
          const size_t At = 1 + (Line + 64 - First % 64) % 64 / 4;
          std::vector<uint32_t> Expected(Got);
          std::copy(Row.begin(), Row.end(), Expected.begin() + static_cast<ptrdiff_t>(At));
          Form.Expand(In.data() + Shift, Got.data() + At, Count, Palette);
          ASSERT_EQ(Got, Expected) << Form.Name << ", " << Count << " pixels from offset " << Shift << " to line byte "
                                   << Line << ", colours " << std::hex << Mask;
        }
      }
    }
  }
}

}  // namespace
