// SPDX-License-Identifier: MIT
// Queue timers on the fake clock: about once per interval, only when nothing
// else waits, never piling up.
#include "platform/test_user_support.h"

using namespace user_test;

namespace {

class Timers : public HeadlessWindow {};

int Ticks() { return static_cast<int>(Only(WM_TIMER).size()); }

TEST_F(Timers, TickOncePerIntervalWithTheIdentifier) {
  HWND w = Open();
  EXPECT_NE(SetTimer(w, 0, 1000, nullptr), 0u);  // identifier 0 still succeeds
  lumo::test::AdvanceClock(999);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 0);
  lumo::test::AdvanceClock(1);
  lumo::test::DispatchPending();
  ASSERT_EQ(Ticks(), 1);
  EXPECT_EQ(Only(WM_TIMER)[0].wParam, 0u);
  EXPECT_EQ(Only(WM_TIMER)[0].lParam, 0);
  lumo::test::AdvanceClock(1000);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 2);
}

TEST_F(Timers, ALongStallGivesOneTickNotAPile) {
  HWND w = Open();
  SetTimer(w, 0, 1000, nullptr);
  lumo::test::AdvanceClock(10500);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 1);
  lumo::test::AdvanceClock(999);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 1);
  lumo::test::AdvanceClock(1);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 2);
}

TEST_F(Timers, TickWaitsBehindPostedMessages) {
  HWND w = Open();
  SetTimer(w, 3, 100, nullptr);
  lumo::test::AdvanceClock(100);
  PostMessageA(w, WM_USER, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(m.wParam, 3u);
  // Peeking without removing does not use the tick up.
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Timers, KillResetAndDestroyStopTheTimer) {
  HWND w = Open();
  SetTimer(w, 1, 100, nullptr);
  EXPECT_TRUE(KillTimer(w, 1));
  EXPECT_FALSE(KillTimer(w, 1));
  lumo::test::AdvanceClock(500);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 0);

  // Setting it again restarts the interval.
  SetTimer(w, 2, 100, nullptr);
  lumo::test::AdvanceClock(90);
  SetTimer(w, 2, 100, nullptr);
  lumo::test::AdvanceClock(90);
  lumo::test::DispatchPending();
  EXPECT_EQ(Ticks(), 0);

  EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x1234), 1, 100, nullptr), 0u);
  DestroyWindow(w);
  lumo::test::AdvanceClock(500);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Timers, RealClockTicksWithoutAFakeClock) {
  lumo::test::UseRealClock();
  HWND w = Open();
  SetTimer(w, 0, 20, nullptr);
  MSG m;
  // GetMessageA sleeps until the tick is due.
  ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
}

}  // namespace
