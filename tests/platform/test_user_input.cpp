// SPDX-License-Identifier: MIT
// Keyboard and mouse messages as a window of the dialog class receives them.
#include "platform/test_user_support.h"

using namespace user_test;

namespace {

class Input : public HeadlessWindow {};

DWORD Bits(LPARAM lp) { return static_cast<DWORD>(lp); }

TEST_F(Input, KeysArriveAsVirtualKeysWithRepeatAndTransitionBits) {
  HWND w = Open();
  lumo::test::InjectKey(w, 'S', true);
  lumo::test::InjectKey(w, 'S', true, true);  // auto-repeat
  lumo::test::InjectKey(w, 'S', false);
  lumo::test::InjectKey(w, VK_ESCAPE, true);
  lumo::test::InjectKey(w, VK_SPACE, true);
  lumo::test::InjectKey(w, VK_UP, true);
  lumo::test::DispatchPending();

  auto downs = Only(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 5u);
  EXPECT_EQ(downs[0].wParam, static_cast<WPARAM>('S'));
  EXPECT_EQ(Bits(downs[0].lParam) & 0xFFFF, 1u);           // repeat count
  EXPECT_EQ((Bits(downs[0].lParam) >> 16) & 0xFF, 0x1Fu);  // scan code of S
  EXPECT_EQ(Bits(downs[0].lParam) & (1u << 30), 0u);       // was up before
  EXPECT_EQ(downs[1].wParam, static_cast<WPARAM>('S'));    // repeat repeats WM_KEYDOWN
  EXPECT_NE(Bits(downs[1].lParam) & (1u << 30), 0u);
  EXPECT_EQ(downs[2].wParam, static_cast<WPARAM>(0x1B));
  EXPECT_EQ(downs[3].wParam, static_cast<WPARAM>(0x20));
  EXPECT_EQ(downs[4].wParam, static_cast<WPARAM>(VK_UP));
  EXPECT_NE(Bits(downs[4].lParam) & (1u << 24), 0u);  // extended key

  auto ups = Only(WM_KEYUP);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(Bits(ups[0].lParam) >> 30, 3u);  // previous state and transition set
}

TEST_F(Input, AltCombinationsAndF10AreSystemKeys) {
  HWND w = Open();
  lumo::test::InjectKey(w, VK_MENU, true);
  lumo::test::InjectKey(w, 'X', true);
  lumo::test::InjectKey(w, 'X', false);
  lumo::test::InjectKey(w, VK_MENU, false);
  lumo::test::InjectKey(w, VK_F10, true);
  lumo::test::InjectKey(w, VK_CONTROL, true);
  lumo::test::InjectKey(w, VK_MENU, true);
  lumo::test::InjectKey(w, 'Y', true);  // Control+Alt: an ordinary key
  lumo::test::DispatchPending();
  auto sys = Only(WM_SYSKEYDOWN);
  ASSERT_EQ(sys.size(), 3u);
  EXPECT_EQ(sys[0].wParam, static_cast<WPARAM>(VK_MENU));
  EXPECT_EQ(sys[1].wParam, static_cast<WPARAM>('X'));
  EXPECT_NE(Bits(sys[1].lParam) & (1u << 29), 0u);  // Alt held
  EXPECT_EQ(sys[2].wParam, static_cast<WPARAM>(VK_F10));
  EXPECT_EQ(Bits(sys[2].lParam) & (1u << 29), 0u);
  EXPECT_EQ(Only(WM_SYSKEYUP).size(), 2u);
  auto plain = Only(WM_KEYDOWN);
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(plain.back().wParam, static_cast<WPARAM>('Y'));
  EXPECT_TRUE(IsWindow(w));
}

TEST_F(Input, MouseMessagesCarryButtonAndKeyFlagsAndClientCoordinates) {
  HWND w = Open(320, 200);
  lumo::test::InjectMouseMove(w, 10, 20);
  lumo::test::InjectMouseButton(w, MK_LBUTTON, true, 10, 20);
  lumo::test::InjectMouseMove(w, 11, 21);
  lumo::test::InjectKey(w, VK_SHIFT, true);
  lumo::test::InjectMouseMove(w, 12, 22);  // Shift-drag: 5, not 1
  lumo::test::InjectKey(w, VK_CONTROL, true);
  lumo::test::InjectMouseButton(w, MK_RBUTTON, true, 12, 22);
  lumo::test::InjectMouseButton(w, MK_LBUTTON, false, 12, 22);
  lumo::test::InjectMouseMove(w, 500, 22);  // outside the client area: not delivered
  lumo::test::DispatchPending();

  auto moves = Only(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_EQ(moves[0].wParam, 0u);
  EXPECT_EQ(moves[0].lParam, MAKELPARAM(10, 20));
  EXPECT_EQ(moves[1].wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(moves[2].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_SHIFT));
  EXPECT_EQ(moves[2].wParam, 5u);
  auto down = Only(WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
  auto right = Only(WM_RBUTTONDOWN);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_EQ(right[0].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL));
  auto up = Only(WM_LBUTTONUP);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].wParam, static_cast<WPARAM>(MK_RBUTTON | MK_SHIFT | MK_CONTROL));
}

TEST_F(Input, SecondPressSoonAndNearIsADoubleClick) {
  HWND w = Open(320, 200);
  auto click = [w](int x, int y) {
    lumo::test::InjectMouseButton(w, MK_LBUTTON, true, x, y);
    lumo::test::InjectMouseButton(w, MK_LBUTTON, false, x, y);
  };
  click(50, 50);
  lumo::test::AdvanceClock(200);
  click(51, 49);  // double click
  lumo::test::AdvanceClock(100);
  click(51, 49);  // third press: an ordinary press again
  lumo::test::AdvanceClock(GetDoubleClickTime() + 1);
  click(51, 49);  // too late
  lumo::test::AdvanceClock(100);
  click(60, 49);  // too far
  lumo::test::AdvanceClock(100);
  lumo::test::InjectMouseButton(w, MK_RBUTTON, true, 60, 49);  // other button
  lumo::test::InjectMouseButton(w, MK_RBUTTON, false, 60, 49);
  lumo::test::DispatchPending();

  std::vector<UINT> presses;
  for (const Seen& s : Log())
    if (s.message == WM_LBUTTONDOWN || s.message == WM_LBUTTONDBLCLK || s.message == WM_RBUTTONDOWN ||
        s.message == WM_RBUTTONDBLCLK)
      presses.push_back(s.message);
  EXPECT_EQ(presses, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDOWN,
                                        WM_LBUTTONDOWN, WM_RBUTTONDOWN}));
  EXPECT_EQ(Only(WM_LBUTTONDBLCLK)[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
}

TEST_F(Input, InputKeepsItsOrderWithPostedMessages) {
  HWND w = Open();
  lumo::test::InjectKey(w, 'A', true);
  PostMessageA(w, WM_USER, 0, 0);
  lumo::test::InjectMouseButton(w, MK_RBUTTON, true, 1, 1);
  lumo::test::DispatchPending();
  std::vector<UINT> seen;
  for (const Seen& s : Log()) seen.push_back(s.message);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_USER, WM_RBUTTONDOWN}));
}

}  // namespace
