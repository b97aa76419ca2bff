// SPDX-License-Identifier: MIT
// Modules found by name beside the executable: natively the project's codec
// module, under Wine the system's GdiPlus.dll. The search seams are native.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "LumoPlatform.h"
#if !defined(_WIN32)
#include "seams/ModuleSeams.h"
#include "support/ScratchFolder.h"
#endif

namespace {

TEST(Modules, LibraryNamesMatchWithoutRegardToCaseAndEntriesExactly) {
  HMODULE module = LoadLibraryA("gdiplus.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "GdiplusStartup"), nullptr);
  EXPECT_NE(GetProcAddress(module, "GdipBitmapLockBits"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "gdiplusstartup"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "NoSuchEntry"), nullptr);
  EXPECT_EQ(GetModuleHandleA("GDIPLUS.dll"), module);
  // Loading again counts up; each load is released once.
  HMODULE second = LoadLibraryA("GdiPlus");
  EXPECT_EQ(second, module);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, MissingLibraryFailsWithModuleNotFound) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("NoSuchModule.dll"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST(Modules, OwnFileNameIsReportedAndCutToTheBuffer) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, DWORD(sizeof(path)));
  EXPECT_NE(std::string(path, n).find("test_modules"), std::string::npos);
  char small[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), DWORD(sizeof(small)));
  EXPECT_EQ(std::memcmp(small, path, sizeof(small) - 1), 0);
#if !defined(_WIN32)
  // Terminated, as Windows does since Vista (Wine leaves it open).
  EXPECT_EQ(small[sizeof(small) - 1], '\0');
#endif
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

#if !defined(_WIN32)
TEST(ModuleSeams, MappingsAndSearchDirectoryRedirectTheSearch) {
  lumo::test::ResetModuleCallCounts();
  lumo::test::MapModuleName("GdiPlus.dll", nullptr);
  EXPECT_EQ(LoadLibraryA("GdiPlus.dll"), nullptr);
  lumo::test::ClearModuleNameMappings();

  lumo::test::SetModuleSearchDirectory("/nonexistent-directory");
  EXPECT_EQ(LoadLibraryA("GdiPlus.dll"), nullptr);
  lumo::test::SetModuleSearchDirectory(nullptr);

  HMODULE module = LoadLibraryA("GdiPlus.dll");
  ASSERT_NE(module, nullptr);
  char path[4096];
  DWORD n = GetModuleFileNameA(module, path, sizeof(path));
  EXPECT_EQ(std::string(path, n).substr(std::string(path, n).rfind('/') + 1), "GdiPlus.dll");
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module)) << "an unloaded handle is not freed twice";
  EXPECT_EQ(lumo::test::LoadLibraryCallCount(), 3u);
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 2u);
}

// A module cut short (an interrupted copy) or built for another machine is
// refused before the host's loader maps it: mapped, the missing pages would
// fault and take the process with them.
TEST(ModuleSeams, TruncatedOrForeignModulesAreBadFormats) {
  char own[4096];
  DWORD n = GetModuleFileNameA(nullptr, own, sizeof(own));
  std::string dir(own, n);
  dir = dir.substr(0, dir.rfind('/'));
  std::ifstream in(dir + "/GdiPlus.dll", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GT(bytes.size(), 8192u);
  const lumo::test::ScratchFolder folder("lumo-modules");
  const std::string scratch = folder.Path().string();
  std::string foreign = bytes;
  foreign[18] = char(foreign[18] ^ 0x40);  // e_machine
  for (const std::string& contents : {bytes.substr(0, 4096), foreign}) {
    std::ofstream(scratch + "/GdiPlus.dll", std::ios::binary | std::ios::trunc) << contents;
    lumo::test::SetModuleSearchDirectory(scratch.c_str());
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("GdiPlus.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));
    lumo::test::SetModuleSearchDirectory(nullptr);
  }
}
#endif

}  // namespace
