// SPDX-License-Identifier: MIT
// The message queue: order, the quit message, never blocking, sending,
// filters, other threads, and dispatching timer procedures.
#include <atomic>
#include <thread>

#include "platform/test_user_support.h"

using namespace user_test;

namespace {

class Queue : public HeadlessWindow {};

TEST_F(Queue, PostedMessagesComeInOrderAndQuitOnlyAfterThem) {
  HWND w = Open();
  PostMessageA(w, WM_USER + 1, 1, 0);
  PostQuitMessage(7);
  PostMessageA(w, WM_USER + 2, 2, 0);
  PostMessageA(nullptr, WM_USER + 3, 3, 0);  // to the thread itself

  MSG m;
  std::vector<UINT> order;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    order.push_back(m.message);
    if (m.message == WM_QUIT) {
      EXPECT_EQ(m.wParam, 7u);
      EXPECT_EQ(m.hwnd, nullptr);
      break;
    }
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_QUIT}));
  // Retrieved once only.
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Queue, PeekWithoutRemoveLeavesTheMessageAndEmptyQueueReturnsAtOnce) {
  HWND w = Open();
  MSG m;
  // A pending timer that is not due must not make PeekMessageA wait.
  SetTimer(w, 1, 100000, nullptr);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));

  PostMessageA(w, WM_USER, 5, 6);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(m.lParam, 6);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Queue, FiltersByWindowAndRange) {
  HWND a = Open();
  HWND b = Open();
  PostMessageA(a, WM_USER + 1, 0, 0);
  PostMessageA(b, WM_USER + 2, 0, 0);
  PostMessageA(a, WM_KEYDOWN, 'A', 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
  ASSERT_TRUE(PeekMessageA(&m, a, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
}

TEST_F(Queue, SendMessageRunsTheProcedureBeforeReturning) {
  HWND w = Open();
  PostMessageA(w, WM_USER + 1, 0, 0);
  SendMessageA(w, WM_USER + 2, 9, 0);
  // Sent at once, ahead of what was posted, and never queued.
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(lumo::test::DispatchPending().dispatched, 1);
  EXPECT_EQ(Log().back().message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0), 0);
}

TEST_F(Queue, DispatchOfUnknownOrDestroyedWindowsDoesNothing) {
  HWND w = Open();
  MSG m{w, WM_USER, 0, 0, 0, {0, 0}};
  DestroyWindow(w);
  Log().clear();
  EXPECT_EQ(DispatchMessageA(&m), 0);
  EXPECT_TRUE(Log().empty());
  EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
}

TEST_F(Queue, DestroyingAWindowDropsItsQueuedMessages) {
  HWND a = Open();
  HWND b = Open();
  PostMessageA(a, WM_USER + 1, 0, 0);
  PostMessageA(b, WM_USER + 2, 0, 0);
  DestroyWindow(a);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, b);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Queue, GetMessageWaitsForAnotherThreadsPostAndEndsOnQuit) {
  HWND w = Open();
  std::thread poster([w] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    PostMessageA(w, WM_USER, 42, 0);
  });
  MSG m;
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(m.wParam, 42u);
  poster.join();
  PostQuitMessage(3);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_EQ(GetMessageA(&m, reinterpret_cast<HWND>(0x1234), 0, 0), -1);
}

TEST_F(Queue, SendFromAnotherThreadRunsOnTheWindowsThread) {
  HWND w = Open();
  std::atomic<LRESULT> result{-1};
  std::thread sender([&] { result = SendMessageA(w, WM_NCCREATE, 0, 0); });  // the default answers TRUE
  // The procedure runs only when the owner reads its queue.
  while (result.load() == -1) {
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);
    std::this_thread::yield();
  }
  sender.join();
  EXPECT_EQ(result.load(), TRUE);
  ASSERT_FALSE(Only(WM_NCCREATE).empty());
}

TEST_F(Queue, TranslateMessagePostsTheCharacterNext) {
  HWND w = Open();
  lumo::test::InjectKey(w, 'Q', true);
  lumo::test::InjectKey(w, 'Q', false);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&m));
  std::vector<std::pair<UINT, WPARAM>> rest;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) rest.emplace_back(m.message, m.wParam);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[0], std::make_pair(static_cast<UINT>(WM_CHAR), static_cast<WPARAM>('q')));
  EXPECT_EQ(rest[1].first, static_cast<UINT>(WM_KEYUP));
  MSG notKey{w, WM_USER, 0, 0, 0, {0, 0}};
  EXPECT_FALSE(TranslateMessage(&notKey));
}

std::atomic<int> timerProcCalls{0};
void CALLBACK CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) { ++timerProcCalls; }

TEST_F(Queue, TimerProceduresRunOnlyWhenRegistered) {
  timerProcCalls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 50, CountingTimerProc);
  ASSERT_NE(id, 0u);
  lumo::test::AdvanceClock(60);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(m.wParam, id);
  DispatchMessageA(&m);
  EXPECT_EQ(timerProcCalls.load(), 1);
  KillTimer(nullptr, id);
  // A WM_TIMER carrying an address nobody gave to SetTimer calls nothing.
  DispatchMessageA(&m);
  EXPECT_EQ(timerProcCalls.load(), 1);
}

}  // namespace
