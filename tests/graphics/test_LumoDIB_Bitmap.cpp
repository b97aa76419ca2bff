// SPDX-License-Identifier: MIT
// BMP files: header values, colour data, pixel bytes and exact lengths, and
// what a failed save leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LumoDIB.h"
#include "LumoFX.h"
#include "support/ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

class BitmapFile : public testing::Test {
 protected:
  std::string PathOf(const char* Name) const { return (Dir / Name).string(); }

  static std::vector<uint8_t> Read(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), {});
  }
  static uint32_t U32(const std::vector<uint8_t>& B, size_t At) {
    uint32_t V;
    std::memcpy(&V, B.data() + At, 4);
    return V;
  }
  static int32_t I32(const std::vector<uint8_t>& B, size_t At) { return static_cast<int32_t>(U32(B, At)); }
  static uint16_t U16(const std::vector<uint8_t>& B, size_t At) {
    return static_cast<uint16_t>(B[At] | B[At + 1] << 8);
  }

  // Everything after the file header is the surface's own memory.
  static void ExpectBody(const std::vector<uint8_t>& File, const TLumoDIB& D, uint32_t ColourBytes) {
    ASSERT_EQ(File.size(), 54 + ColourBytes + D.Header.biSizeImage);
    EXPECT_EQ(U16(File, 0), 0x4D42);
    EXPECT_EQ(U32(File, 2), File.size());
    EXPECT_EQ(U16(File, 6), 0);
    EXPECT_EQ(U16(File, 8), 0);
    EXPECT_EQ(U32(File, 10), 54 + ColourBytes);
    EXPECT_EQ(std::memcmp(File.data() + 14, &D.Header, 40 + ColourBytes), 0);
    EXPECT_EQ(std::memcmp(File.data() + 54 + ColourBytes, D.Pixels, D.Header.biSizeImage), 0);
  }

  lumo::test::ScratchFolder Scratch{"lumo-bmp"};
  const fs::path Dir = Scratch.Path();
};

TEST_F(BitmapFile, EightBitSurface) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(800, 500, 8));
  D.RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(255, 255, 255)});
  for (int32_t y = 0; y < D.RowCount; ++y) {
    std::memset(D.Rows8[y], y & 0xFF, 800);
  }
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("eight.bmp")));
  const auto File = Read(PathOf("eight.bmp"));
  ASSERT_EQ(File.size(), 401078u);
  EXPECT_EQ(U32(File, 10), 1078u);
  EXPECT_EQ(I32(File, 14 + 8), 500);
  EXPECT_EQ(U16(File, 14 + 14), 8);
  ExpectBody(File, D, 1024);
}

TEST_F(BitmapFile, SixteenBitBitFieldsCarryTheMasks) {
  TLumoDIB D;
  ASSERT_TRUE(D.AllocateWith(nullptr, 5, 3, 16, 5, 6, 5));
  D.ClearTo(0xF81F);
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("sixteen.bmp")));
  const auto File = Read(PathOf("sixteen.bmp"));
  EXPECT_EQ(U32(File, 10), 66u);
  EXPECT_EQ(U32(File, 14 + 16), static_cast<uint32_t>(BI_BITFIELDS));
  EXPECT_EQ(U32(File, 54), 0xF800u);
  EXPECT_EQ(U32(File, 58), 0x07E0u);
  EXPECT_EQ(U32(File, 62), 0x001Fu);
  ExpectBody(File, D, 12);
  EXPECT_EQ(File.size(), 66u + 3 * 12);
}

TEST_F(BitmapFile, TwentyFourBitHasNoColourData) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(3, 2, 24));
  D.ClearTo(0x00ABCDEF);
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("rgb.bmp")));
  const auto File = Read(PathOf("rgb.bmp"));
  EXPECT_EQ(U32(File, 10), 54u);
  ExpectBody(File, D, 0);
  EXPECT_EQ(File.size(), 54u + 24);
}

TEST_F(BitmapFile, ColourCountAndSmallDepths) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(4, 2, 32));
  D.Header.biClrUsed = 16;
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("used.bmp")));
  ExpectBody(Read(PathOf("used.bmp")), D, 64);

  TLumoDIB Four;
  ASSERT_TRUE(Four.Allocate(5, 2, 4));
  ASSERT_TRUE(Four.WriteBitmapFile(PathOf("four.bmp")));
  ExpectBody(Read(PathOf("four.bmp")), Four, 64);

  TLumoDIB One;
  ASSERT_TRUE(One.Allocate(9, 2, 1));
  ASSERT_TRUE(One.WriteBitmapFile(PathOf("one.bmp")));
  ExpectBody(Read(PathOf("one.bmp")), One, 8);
}

TEST_F(BitmapFile, NegativeHeightIsWrittenAsStored) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(4, -3, 8));
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("topdown.bmp")));
  EXPECT_EQ(I32(Read(PathOf("topdown.bmp")), 14 + 8), -3);
}

TEST_F(BitmapFile, FlipWriteFlipSavesBottomUpAndRestoresTheSurface) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(6, -5, 8));  // 6 pixels, 2 bytes of padding per row
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      D.Rows8[y][x] = static_cast<uint8_t>(16 * y + x);
    }
  }
  std::vector<uint8_t> Before(D.Pixels, D.Pixels + D.Header.biSizeImage);
  uint8_t** const Rows = D.Rows;

  D.Header.biHeight = -D.Header.biHeight;
  FlipRows(D);
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("saved.bmp")));
  FlipRows(D);
  D.Header.biHeight = -D.Header.biHeight;

  EXPECT_EQ(D.Header.biHeight, -5);
  EXPECT_EQ(D.Rows, Rows);
  EXPECT_EQ(std::vector<uint8_t>(D.Pixels, D.Pixels + D.Header.biSizeImage), Before);
  const auto File = Read(PathOf("saved.bmp"));
  EXPECT_EQ(I32(File, 14 + 8), 5);
  const size_t Data = U32(File, 10);
  // The first stored row is the picture's bottom line (top-down row 4).
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(File[Data + x], 16 * 4 + x);
    EXPECT_EQ(File[Data + 4 * 8 + x], x) << "last stored row is the top line";
  }
}

TEST_F(BitmapFile, SavingTwiceKeepsTheSecondAndLeavesNoTemporaries) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(4, 4, 8));
  D.ClearTo(1);
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("twice.bmp")));
  D.ClearTo(2);
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("twice.bmp")));
  const auto File = Read(PathOf("twice.bmp"));
  ASSERT_EQ(File.size(), 1078u + 16);
  EXPECT_EQ(File.back(), 2);
  int Entries = 0;
  for (const auto& Entry : fs::directory_iterator(Dir)) {
    (void)Entry;
    ++Entries;
  }
  EXPECT_EQ(Entries, 1);
}

TEST_F(BitmapFile, UnwritablePathFailsWithoutAFile) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(4, 4, 8));
  const std::string Path = (Dir / "no-such-folder" / "x.bmp").string();
  EXPECT_FALSE(D.WriteBitmapFile(Path));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));  // the reason a caller can tell
  EXPECT_FALSE(fs::exists(Path));
  EXPECT_FALSE(D.WriteBitmapFile(""));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST_F(BitmapFile, FailedSaveKeepsTheExistingFile) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(4, 4, 8));
  D.ClearTo(9);
  const std::string Path = PathOf("keep.bmp");
  ASSERT_TRUE(D.WriteBitmapFile(Path));
  const auto Original = Read(Path);

  // Too many colours for the 256-entry palette: refused, nothing written.
  D.Header.biClrUsed = 257;
  EXPECT_FALSE(D.WriteBitmapFile(Path));
  EXPECT_EQ(Read(Path), Original);
  D.Header.biClrUsed = 0;

  // A folder of that name cannot be replaced by a file: nothing is left, and
  // removing the temporary file does not hide why.
  fs::create_directories(PathOf("folder.bmp"));
  EXPECT_FALSE(D.WriteBitmapFile(PathOf("folder.bmp")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Read(Path), Original);
  int Entries = 0;
  for (const auto& Entry : fs::directory_iterator(Dir)) {
    (void)Entry;
    ++Entries;
  }
  EXPECT_EQ(Entries, 2);
}

// The temporary file is a new one of its own: files that happen to bear a
// name derived from the target are not touched, and a name as long as the
// folder allows can still be saved.
TEST_F(BitmapFile, TheTemporaryFileIsNoOtherFilesBusiness) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(4, 4, 8));
  D.ClearTo(4);
  std::ofstream(PathOf("pic.bmp.saving")) << "unrelated";
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("pic.bmp")));
  EXPECT_EQ(Read(PathOf("pic.bmp")).back(), 4);
  EXPECT_EQ(Read(PathOf("pic.bmp.saving")), std::vector<uint8_t>({'u', 'n', 'r', 'e', 'l', 'a', 't', 'e', 'd'}));
#if !defined(_WIN32)
  // Windows limits the whole path instead.
  const std::string Long = PathOf((std::string(248, 'n') + ".bmp").c_str());
  ASSERT_TRUE(D.WriteBitmapFile(Long));
  EXPECT_EQ(Read(Long).size(), 1078u + 16);
  // A replaced file keeps its permission bits.
  fs::permissions(PathOf("pic.bmp"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  D.ClearTo(5);
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("pic.bmp")));
  EXPECT_EQ(Read(PathOf("pic.bmp")).back(), 5);
  EXPECT_EQ(fs::status(PathOf("pic.bmp")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

TEST_F(BitmapFile, EmptySurfaceWritesOnlyHeaders) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(5, 0, 24));
  ASSERT_TRUE(D.WriteBitmapFile(PathOf("empty.bmp")));
  EXPECT_EQ(Read(PathOf("empty.bmp")).size(), 54u);
}

}  // namespace
