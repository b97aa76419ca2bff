// The fast palette expansion against the plain loop: every length up to 70
// and some long ones, misaligned rows, and nothing written past the row;
// the same through a palette made ready in advance.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "gdi/PaletteRows.h"

namespace {

lumo::gdi::PaletteTable Table;
void ThroughTable(const uint8_t* In, uint32_t* Out, int Count, const uint32_t*) {
  lumo::gdi::ExpandIndices(In, Out, Count, Table);
}

TEST(PaletteRows, SameColoursAsThePlainLoopForEveryLengthAndAlignment) {
  // Every form of the family table, the chosen one and the ready palette.
  struct TForm {
    const char* Name;
    lumo::gdi::ExpandIndicesForm Expand;
    bool Runs;
  };
  std::vector<TForm> Forms;
  for (const auto& Form : lumo::gdi::ExpandIndicesForms) Forms.push_back({Form.Level, Form.Function, Form.Available()});
  Forms.push_back({"chosen", lumo::gdi::ExpandIndices, true});
  Forms.push_back({"table", ThroughTable, true});
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
        // One guard word before and after each row.
        std::vector<uint32_t> Expected(static_cast<size_t>(Count) + 2, 0xDEADBEEFu);
        lumo::gdi::ExpandIndicesPlain(In.data() + Shift, Expected.data() + 1, Count, Palette);
        for (const auto& Form : Forms) {
          if (!Form.Runs) continue;
          std::vector<uint32_t> Got(Expected.size(), 0xDEADBEEFu);
          Form.Expand(In.data() + Shift, Got.data() + 1, Count, Palette);
          ASSERT_EQ(Got, Expected) << Form.Name << ", " << Count << " pixels from offset " << Shift << ", colours "
                                   << std::hex << Mask;
        }
      }
    }
  }
}

}  // namespace
