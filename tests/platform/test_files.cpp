// SPDX-License-Identifier: MIT
// Files through the Win32 calls: creation modes, replacement, reading back,
// and failures reported through the result and GetLastError.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "LumoPlatform.h"

namespace {

class Files : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::string("lumo_files_") + info->name() + ".tmp";
    other_ = path_ + ".other";
    DeleteFileA(path_.c_str());
    DeleteFileA(other_.c_str());
  }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    DeleteFileA(other_.c_str());
  }

  static HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  static bool Write(const std::string& path, const std::string& text, DWORD disposition = CREATE_ALWAYS) {
    HANDLE h = Open(path, GENERIC_WRITE, disposition);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == text.size();
  }
  static std::string Read(const std::string& path) {
    HANDLE h = Open(path, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text;
    char buffer[7];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(h);
    return text;
  }

  std::string path_, other_;
};

TEST_F(Files, CreateAlwaysReplacesTheWholeFile) {
  ASSERT_TRUE(Write(path_, "a longer first content"));
  ASSERT_TRUE(Write(path_, "short"));
  EXPECT_EQ(Read(path_), "short");
}

TEST_F(Files, DispositionsTreatExistingFilesAsWindowsDoes) {
  SetLastError(0);
  HANDLE h = Open(path_, GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);

  EXPECT_EQ(Open(path_, GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  ASSERT_TRUE(Write(path_, "keep"));
  h = Open(path_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(h);
  EXPECT_EQ(Read(path_), "keep");

  h = Open(path_, GENERIC_WRITE, TRUNCATE_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(Read(path_), "");

  EXPECT_EQ(Open(other_, GENERIC_WRITE, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Open(other_, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  h = Open(other_, GENERIC_WRITE, OPEN_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(h);
}

TEST_F(Files, AccessIsCheckedPerHandle) {
  ASSERT_TRUE(Write(path_, "data"));
  HANDLE h = Open(path_, GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 99;
  EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
  EXPECT_EQ(written, 0u);
  CloseHandle(h);

  h = Open(path_, GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char c;
  DWORD got = 99;
  EXPECT_FALSE(ReadFile(h, &c, 1, &got, nullptr));
  EXPECT_EQ(got, 0u);
  CloseHandle(h);
  EXPECT_EQ(Read(path_), "data");
}

TEST_F(Files, FailuresAreReportedNotHidden) {
  const std::string nowhere = "lumo_no_such_folder/x/file.bin";
  EXPECT_EQ(Open(nowhere, GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(Write(nowhere, "x"));

  DWORD written = 0;
  EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &written, nullptr));

  HANDLE h = Open(path_, GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_FALSE(DeleteFileA(other_.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// A failure's code and the system's words for it, as a program shows them.
TEST(SystemMessages, AFullDiskIsToldInTheSystemsWords) {
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  char text[256];
  const DWORD n = FormatMessageA(flags, nullptr, ERROR_DISK_FULL, 0, text, sizeof text, nullptr);
  ASSERT_GT(n, 2u);
  EXPECT_STREQ(text + n - 2, "\r\n");
  SetLastError(0);
  EXPECT_EQ(FormatMessageA(flags, nullptr, 0x2000ABCD, 0, text, sizeof text, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
#if !defined(_WIN32)
  EXPECT_STREQ(text, "There is not enough space on the disk.\r\n");
  EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_DISK_FULL, 0, text, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // The host's full device: the write fails and says so.
  HANDLE h = CreateFileA("/dev/full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 99;
  EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 0u);
  CloseHandle(h);
#endif
}

TEST_F(Files, ReadingStopsAtTheEnd) {
  ASSERT_TRUE(Write(path_, "abc"));
  HANDLE h = Open(path_, GENERIC_READ, OPEN_EXISTING);
  char buffer[10] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 3u);
  EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(got, 0u);
  CloseHandle(h);
}

TEST_F(Files, MoveReplacesOnlyWhenAsked) {
  ASSERT_TRUE(Write(path_, "new"));
  ASSERT_TRUE(Write(other_, "old"));
  EXPECT_FALSE(MoveFileExA(path_.c_str(), other_.c_str(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(Read(other_), "old");
  EXPECT_TRUE(MoveFileExA(path_.c_str(), other_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(Read(other_), "new");
  EXPECT_EQ(Read(path_), "<missing>");
  EXPECT_TRUE(MoveFileExA(other_.c_str(), path_.c_str(), 0));
  EXPECT_EQ(Read(path_), "new");
}

TEST(System, DescribesTheHost) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  EXPECT_GE(info.dwNumberOfProcessors, 1u);
  EXPECT_GE(info.dwPageSize, 4096u);
  EXPECT_NE(info.dwActiveProcessorMask, 0u);
  EXPECT_NE(GetCurrentProcessId(), 0u);
  const DWORD start = GetTickCount();
  EXPECT_LE(GetTickCount() - start, 10000u);
}

TEST(System, LastErrorBelongsToTheThread) {
  SetLastError(1234);
  EXPECT_EQ(GetLastError(), 1234u);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), 0u);
}

}  // namespace
