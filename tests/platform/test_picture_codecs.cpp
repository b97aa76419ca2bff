// SPDX-License-Identifier: MIT
// The codec module's decoders called directly: pictures whose data ends
// before their declared rows are complete cost what the data holds, not what
// the header claims (a few hundred bytes once bought seconds and hundreds of
// megabytes).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "gdiplus/Picture.h"

namespace {

using namespace lumo::gdiplus;

std::vector<uint8_t> Bytes(const std::string& name) {
  std::ifstream in(std::string(LUMO_TEST_PICTURES) + "/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Outcome {
  Status status;
  uint32_t rows;
  size_t stored;
  size_t held;  // the storage's capacity
};

Outcome Decode(const std::string& name) {
  const std::vector<uint8_t> data = Bytes(name);
  EXPECT_FALSE(data.empty()) << name;
  Picture picture;
  uint32_t rows = 12345;
  const bool jpeg = IsJpeg(data.data(), data.size());
  const Status status =
      jpeg ? DecodeJpeg(data.data(), data.size(), picture, &rows) : DecodePng(data.data(), data.size(), picture, &rows);
  return {status, rows, picture.Pixels.size(), picture.Pixels.capacity()};
}

TEST(PictureCodecs, DataThatEndsEarlyFailsAfterTheRowsItHolds) {
  // 24 x 16 pixels of data under a header of 24 x 400: two rows of blocks.
  Outcome o = Decode("cmyk_short.jpg");
  EXPECT_EQ(o.status, GenericError);
  EXPECT_EQ(o.rows, 16u);
  EXPECT_EQ(o.stored, 0u);  // nothing is handed out
  // Seven rows of data under a header of 700.
  o = Decode("grey8_short.png");
  EXPECT_EQ(o.status, GenericError);
  EXPECT_EQ(o.rows, 7u);
  // A progressive picture cut inside its scans: no row is made at all.
  o = Decode("progressive_cut.jpg");
  EXPECT_EQ(o.status, GenericError);
  EXPECT_EQ(o.rows, 0u);
}

// Headers that claim far more pixels than their bytes could ever hold: the
// CMYK pictures of 223 and 233 bytes claim 65304 x 233 and 4353 x 2050.
TEST(PictureCodecs, ClaimsNoDataCouldHoldAreRefusedUnread) {
  for (const char* name : {"cmyk_wide_cut.jpg", "cmyk_tall_cut.jpg", "rgb8_huge_cut.png"}) {
    SCOPED_TRACE(name);
    const Outcome o = Decode(name);
    EXPECT_EQ(o.status, GenericError);
    EXPECT_EQ(o.rows, 0u);
  }
}

TEST(PictureCodecs, CompletePicturesAreDecodedWhole) {
  const std::pair<const char*, int32_t> pictures[] = {
      {"cmyk.jpg", Format24bppRGB}, {"progressive.jpg", Format24bppRGB}, {"grey.jpg", Format8bppIndexed}};
  for (const auto& [name, format] : pictures) {
    SCOPED_TRACE(name);
    const Outcome o = Decode(name);
    EXPECT_EQ(o.status, Ok);
    EXPECT_EQ(o.rows, 16u);
    EXPECT_EQ(o.stored, StrideFor(24, format) * 16);
    EXPECT_EQ(o.held, o.stored);  // grown row by row, never beyond the picture
  }
  // Seven passes over the seven rows of an interlaced picture.
  const Outcome o = Decode("interlaced.png");
  EXPECT_EQ(o.status, Ok);
  EXPECT_EQ(o.rows, 49u);
}

}  // namespace
