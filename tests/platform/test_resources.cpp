// SPDX-License-Identifier: MIT
// The program's own resources: found by name and type without regard to
// case, by number, and refused when either does not match. Runs natively
// (resources embedded at build time) and under Wine (compiled by windres).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "LumoPlatform.h"

namespace {

std::string Contents(HRSRC res) {
  HMODULE self = GetModuleHandleA(nullptr);
  HGLOBAL loaded = LoadResource(self, res);
  EXPECT_NE(loaded, nullptr);
  const char* data = static_cast<const char*>(LockResource(loaded));
  EXPECT_NE(data, nullptr);
  std::string s(data, SizeofResource(self, res));
  FreeResource(loaded);
  return s;
}

TEST(Resources, NamesAndTypesMatchWithoutRegardToCase) {
  HMODULE self = GetModuleHandleA(nullptr);
  for (const char* name : {"hello_text", "HELLO_TEXT", "Hello_Text"}) {
    for (const char* type : {"binary", "BINARY"}) {
      HRSRC res = FindResourceA(self, name, type);
      ASSERT_NE(res, nullptr) << name << " " << type;
      EXPECT_EQ(Contents(res), "Hello, resources.\n");
    }
  }
  // The null module is the program's own, too.
  EXPECT_NE(FindResourceA(nullptr, "hello_text", "binary"), nullptr);
}

TEST(Resources, NumbersFindNumberedResources) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(self, MAKEINTRESOURCEA(7), RT_RCDATA);
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(Contents(res), std::string("\x07\x00\x07", 3));
  EXPECT_EQ(FindResourceA(self, "#7", RT_RCDATA), res);
}

TEST(Resources, MismatchesAreNotFound) {
  HMODULE self = GetModuleHandleA(nullptr);
  EXPECT_EQ(FindResourceA(self, "hello_text", "other"), nullptr);
  EXPECT_EQ(FindResourceA(self, "missing", "binary"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(8), RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(self, "hello_text", RT_RCDATA), nullptr);
}

}  // namespace
