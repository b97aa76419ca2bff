// SPDX-License-Identifier: MIT
// The COM stream on global memory as picture loading uses it, natively and
// against Wine's own.
#include <gtest/gtest.h>

#include <cstring>

#include "LumoPlatform.h"

namespace {

LARGE_INTEGER Offset(LONGLONG v) {
  LARGE_INTEGER l;
  l.QuadPart = v;
  return l;
}

TEST(HGlobalStream, WritesGrowAndReadsComeBackFromTheStart) {
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  ASSERT_NE(stream, nullptr);
  const char text[] = "0123456789";
  ULONG done = 0;
  EXPECT_EQ(stream->Write(text, 10, &done), S_OK);
  EXPECT_EQ(done, 10u);
  ULARGE_INTEGER position;
  EXPECT_EQ(stream->Seek(Offset(0), STREAM_SEEK_SET, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 0u);
  char back[16] = {};
  EXPECT_EQ(stream->Read(back, sizeof(back), &done), S_OK);
  EXPECT_EQ(done, 10u);
  EXPECT_EQ(std::memcmp(back, text, 10), 0);

  STATSTG stat;
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 10u);

  EXPECT_EQ(stream->Seek(Offset(-3), STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 7u);
  EXPECT_EQ(stream->Read(back, sizeof(back), &done), S_OK);
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(stream->Read(back, sizeof(back), &done), S_OK);
  EXPECT_EQ(done, 0u);
  EXPECT_NE(stream->Seek(Offset(-20), STREAM_SEEK_CUR, &position), S_OK);
  EXPECT_EQ(stream->Release(), 0u);
}

TEST(HGlobalStream, GivenMemoryIsReadInPlaceAndKeptWhenAsked) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 4);
  ASSERT_NE(memory, nullptr);
  std::memcpy(GlobalLock(memory), "abcd", 4);
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(memory, FALSE, &stream), S_OK);
  char back[8] = {};
  ULONG done = 0;
  EXPECT_EQ(stream->Read(back, sizeof(back), &done), S_OK);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::memcmp(back, "abcd", 4), 0);
  // Writes land in the same memory.
  EXPECT_EQ(stream->Seek(Offset(1), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Write("XY", 2, &done), S_OK);
  EXPECT_EQ(std::memcmp(static_cast<char*>(GlobalLock(memory)) + 1, "XY", 2), 0);
  GlobalUnlock(memory);
  EXPECT_EQ(stream->Release(), 0u);
  EXPECT_GE(GlobalSize(memory), 4u);
  EXPECT_EQ(GlobalFree(memory), nullptr);
}

TEST(HGlobalStream, FixedMemoryGrowsWithWritesBeyondItsEnd) {
  HGLOBAL memory = GlobalAlloc(GMEM_FIXED, 2);
  ASSERT_NE(memory, nullptr);
  // A fixed block's handle is its address.
  EXPECT_EQ(GlobalLock(memory), memory);
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(memory, TRUE, &stream), S_OK);
  unsigned char data[300];
  for (int i = 0; i < 300; ++i) data[i] = uint8_t(i * 7);
  EXPECT_EQ(stream->Seek(Offset(10), STREAM_SEEK_SET, nullptr), S_OK);
  ULONG done = 0;
  EXPECT_EQ(stream->Write(data, sizeof(data), &done), S_OK);
  EXPECT_EQ(done, sizeof(data));
  STATSTG stat;
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 310u);
  unsigned char back[310];
  EXPECT_EQ(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(stream->Read(back, sizeof(back), &done), S_OK);
  EXPECT_EQ(done, 310u);
  EXPECT_EQ(std::memcmp(back + 10, data, sizeof(data)), 0);
  EXPECT_EQ(stream->Release(), 0u);
}

TEST(HGlobalStream, ReferencesAreCounted) {
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  EXPECT_EQ(stream->AddRef(), 2u);
  IStream* again = nullptr;
  EXPECT_EQ(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again, stream);
  EXPECT_EQ(stream->Release(), 2u);
  EXPECT_EQ(stream->Release(), 1u);
  EXPECT_EQ(stream->Release(), 0u);
  EXPECT_NE(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), S_OK);
}

}  // namespace
