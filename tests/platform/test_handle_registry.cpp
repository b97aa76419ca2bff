// SPDX-License-Identifier: MIT
// The handle registries: one map however many threads make it first, and
// handles still released on the way out of the process, after static
// destructors have run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "LumoPlatform.h"
#include "common/HandleRegistry.h"

namespace {

// Made before the test runs and destroyed after every registry's first use,
// as a program's static surfaces are: it releases its handles at exit.
struct ReleasedAtExit {
  HGLOBAL memory = nullptr;
  HANDLE file = INVALID_HANDLE_VALUE;
  ~ReleasedAtExit() {
    if (memory != nullptr && GlobalFree(memory) != nullptr) Fail("GlobalFree");
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file)) Fail("CloseHandle");
  }
  static void Fail(const char* what) {
    std::fprintf(stderr, "%s refused a live handle at exit\n", what);
    std::_Exit(3);
  }
} releasedAtExit;

TEST(HandleRegistry, HandlesAreReleasedFromStaticDestructors) {
  releasedAtExit.memory = GlobalAlloc(GMEM_FIXED, 16);
  ASSERT_NE(releasedAtExit.memory, nullptr);
  // Moved to a new handle, so that the one released at exit is the new one.
  releasedAtExit.memory = GlobalReAlloc(releasedAtExit.memory, 1 << 20, GMEM_MOVEABLE);
  ASSERT_NE(releasedAtExit.memory, nullptr);
  EXPECT_EQ(GlobalSize(releasedAtExit.memory), SIZE_T(1) << 20);
  releasedAtExit.file = CreateFileA("/dev/null", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(releasedAtExit.file, INVALID_HANDLE_VALUE);
}

TEST(HandleRegistry, ThreadsFirstUsingItTogetherShareOneMap) {
  static constinit lumo::platform::HandleRegistry<int, int> registry;
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([i] { registry.Set(i, i + 100); });
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(registry.Find(i), i + 100) << "key " << i;
  EXPECT_EQ(registry.Take(3), 103);
  EXPECT_EQ(registry.Find(3), 0);
}

}  // namespace
