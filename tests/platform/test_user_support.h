// SPDX-License-Identifier: MIT
// Shared by the window-layer tests: a headless window whose procedure records
// every message, on a fake clock, torn down after each test.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "LumoPlatform.h"
#include "seams/UserSeams.h"

namespace user_test {

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

inline std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}

inline LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  Log().push_back(Seen{w, m, wp, lp});
  return DefWindowProcA(w, m, wp, lp);
}

// Messages of one kind that the procedure saw, in order.
inline std::vector<Seen> Only(UINT message) {
  std::vector<Seen> out;
  for (const Seen& s : Log())
    if (s.message == message) out.push_back(s);
  return out;
}

constexpr DWORD kFumesStyle = 0x100F0000;  // visible, system menu, sizing frame, min and max boxes

class HeadlessWindow : public testing::Test {
 protected:
  void SetUp() override {
    lumo::test::UseHeadlessWindows();
    lumo::test::UseFakeClock(1000);
    Log().clear();
  }
  void TearDown() override {
    lumo::test::ResetWindows();
    Log().clear();
  }
  // A window with the program-style size arithmetic and the recording procedure.
  HWND Open(int clientWidth = 320, int clientHeight = 200, DWORD style = kFumesStyle) {
    int w = clientWidth + 2 * GetSystemMetrics(SM_CXFRAME);
    int h = clientHeight + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
    HWND window = CreateWindowExA(0, "#32770", "test", style, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc));
    lumo::test::DispatchPending();  // the first paint
    Log().clear();
    return window;
  }
};

}  // namespace user_test
