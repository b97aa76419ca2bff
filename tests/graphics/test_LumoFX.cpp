// SPDX-License-Identifier: MIT
// Row flips: which rows swap, what stays, and that twice is the identity.
#include <gtest/gtest.h>

#include <vector>

#include "LumoDIB.h"
#include "LumoFX.h"

namespace {

// Each row's pixel bytes hold its row number; padding bytes hold 0xF0 + row.
void Number(TLumoDIB& D) {
  const int32_t Used = D.RowBytes - D.RowGap;
  for (int32_t y = 0; y < D.RowCount; ++y) {
    for (int32_t x = 0; x < D.RowBytes; ++x) {
      D.Rows8[y][x] = static_cast<uint8_t>(x < Used ? y : 0xF0 + y);
    }
  }
}

void ExpectRowsFrom(const TLumoDIB& D, const std::vector<int>& Source) {
  const int32_t Used = D.RowBytes - D.RowGap;
  for (int32_t y = 0; y < D.RowCount; ++y) {
    for (int32_t x = 0; x < D.RowBytes; ++x) {
      const int Expected = x < Used ? Source[y] : 0xF0 + y;
      ASSERT_EQ(D.Rows8[y][x], Expected) << "row " << y << " byte " << x;
    }
  }
}

TEST(FlipRows, SmallRowCounts) {
  for (int Rows = 1; Rows <= 5; ++Rows) {
    SCOPED_TRACE(Rows);
    TLumoDIB D;
    ASSERT_TRUE(D.Allocate(5, Rows, 8));  // 3 bytes of padding per row
    Number(D);
    FlipRows(D);
    std::vector<int> Reversed;
    for (int y = Rows - 1; y >= 0; --y) {
      Reversed.push_back(y);
    }
    ExpectRowsFrom(D, Reversed);
  }
}

TEST(FlipRows, TwiceRestoresPixelsAndNeverMovesPadding) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(7, -9, 24));  // 21 pixel bytes, 3 padding
  Number(D);
  uint8_t** const Rows = D.Rows;
  uint8_t* const Pixels = D.Pixels;
  const BITMAPINFOHEADER Header = D.Header;
  FlipRows(D);
  FlipRows(D);
  ExpectRowsFrom(D, {0, 1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(D.Rows, Rows);
  EXPECT_EQ(D.Pixels, Pixels);
  EXPECT_EQ(D.Header.biHeight, Header.biHeight);
}

TEST(FlipRows, NothingToMove) {
  TLumoDIB Empty;
  FlipRows(Empty);
  ASSERT_TRUE(Empty.Allocate(8, 0, 8));
  FlipRows(Empty);
  ASSERT_TRUE(Empty.Allocate(0, 4, 8));
  FlipRows(Empty);
  EXPECT_EQ(Empty.RowCount, 0);
}

}  // namespace
