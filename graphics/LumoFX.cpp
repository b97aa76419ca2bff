// SPDX-License-Identifier: MIT
#include "LumoFX.h"

#include <cstring>
#include <vector>

void FlipRows(TLumoDIB& Surface) {
  const int32_t Length = Surface.RowBytes - Surface.RowGap;
  if (Length <= 0 || Surface.RowCount <= 0 || Surface.Rows == nullptr) {
    return;
  }
  std::vector<uint8_t> Buffer(static_cast<size_t>(Length));
  uint8_t* Top = Surface.Rows[0];
  uint8_t* Bottom = Surface.Rows[Surface.RowCount - 1];
  // The middle row of an odd count would swap with itself: leave it.
  for (int32_t i = 0; i < Surface.RowCount / 2; ++i) {
    std::memcpy(Buffer.data(), Top, Length);
    std::memcpy(Top, Bottom, Length);
    std::memcpy(Bottom, Buffer.data(), Length);
    Top += Surface.RowBytes;
    Bottom -= Surface.RowBytes;
  }
}
