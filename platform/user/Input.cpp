// SPDX-License-Identifier: MIT
// Keyboard and mouse input turned into the messages Windows posts to a window
// of the dialog class: key state for the MK_ flags and Alt combinations,
// lParam bits of key messages, double clicks (the class has CS_DBLCLKS), and
// the characters TranslateMessage makes of key messages.
#include "user/Input.h"

#include <cstdlib>
#include <mutex>

#include "user/MessageQueue.h"
#include "user/State.h"
#include "user/SystemMetrics.h"
#include "user/Timers.h"

namespace lumo::user {

namespace {

struct Press {
  HWND window = nullptr;
  int button = 0;
  DWORD time = 0;
  int x = 0, y = 0;
  bool valid = false;
};

struct InputState {
  std::mutex mu;
  bool keys[256] = {};
  int buttons = 0;  // MK_LBUTTON | MK_RBUTTON | MK_MBUTTON currently held
  Press lastPress;
};

InputState& Input() {
  static InputState* state = new InputState;
  return *state;
}

int MouseFlags(const InputState& in) {
  return in.buttons | (in.keys[VK_SHIFT] ? MK_SHIFT : 0) | (in.keys[VK_CONTROL] ? MK_CONTROL : 0);
}

// Screen position of a client point, for MSG.pt.
POINT ScreenPoint(HWND window, int x, int y) {
  POINT p{x, y};
  RECT r;
  if (GetWindowRect(window, &r)) {
    p.x += r.left + GetSystemMetrics(SM_CXFRAME);
    p.y += r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
  }
  return p;
}

bool InClient(HWND window, int x, int y) {
  RECT r;
  return GetClientRect(window, &r) && x >= 0 && y >= 0 && x < r.right && y < r.bottom;
}

bool KeyDown(int vk) {
  InputState& in = Input();
  std::lock_guard<std::mutex> lock(in.mu);
  return in.keys[vk & 0xFF];
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt) {
  PostToWindow(window, MSG{window, message, wParam, lParam, Now(), pt});
}

}  // namespace

void PostKey(HWND window, int vk, int scanCode, bool extended, bool down, bool repeat) {
  vk &= 0xFF;
  if (vk == 0) return;
  InputState& in = Input();
  UINT message;
  DWORD bits;
  {
    std::lock_guard<std::mutex> lock(in.mu);
    bool wasDown = in.keys[vk];
    if (down) in.keys[vk] = true;
    bool alt = in.keys[VK_MENU];
    bool ctrl = in.keys[VK_CONTROL];
    if (!down) in.keys[vk] = false;
    // Alt without Control (and F10 alone) makes system keys, as on Windows.
    bool sys = (alt && !ctrl) || vk == VK_F10;
    message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    bits = 1u | (static_cast<DWORD>(scanCode & 0xFF) << 16);
    if (extended) bits |= 1u << 24;
    if (sys && alt) bits |= 1u << 29;
    if (!down || repeat || wasDown) bits |= 1u << 30;
    if (!down) bits |= 1u << 31;
  }
  Post(window, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(bits), POINT{0, 0});
}

void PostMouseMove(HWND window, int x, int y) {
  if (!InClient(window, x, y)) return;
  InputState& in = Input();
  WPARAM flags;
  {
    std::lock_guard<std::mutex> lock(in.mu);
    flags = static_cast<WPARAM>(MouseFlags(in));
  }
  Post(window, WM_MOUSEMOVE, flags, MAKELPARAM(x, y), ScreenPoint(window, x, y));
}

void PostMouseButton(HWND window, int button, bool down, int x, int y) {
  UINT downMsg, upMsg, doubleMsg;
  switch (button) {
    case MK_LBUTTON:
      downMsg = WM_LBUTTONDOWN, upMsg = WM_LBUTTONUP, doubleMsg = WM_LBUTTONDBLCLK;
      break;
    case MK_RBUTTON:
      downMsg = WM_RBUTTONDOWN, upMsg = WM_RBUTTONUP, doubleMsg = WM_RBUTTONDBLCLK;
      break;
    case MK_MBUTTON:
      downMsg = WM_MBUTTONDOWN, upMsg = WM_MBUTTONUP, doubleMsg = WM_MBUTTONDBLCLK;
      break;
    default:
      return;
  }
  InputState& in = Input();
  UINT message;
  WPARAM flags;
  {
    std::lock_guard<std::mutex> lock(in.mu);
    // The held buttons change even where the message is not delivered.
    if (down)
      in.buttons |= button;
    else
      in.buttons &= ~button;
    if (!InClient(window, x, y)) return;
    flags = static_cast<WPARAM>(MouseFlags(in));
    message = down ? downMsg : upMsg;
    if (down) {
      DWORD now = Now();
      Press& last = in.lastPress;
      int half = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
      if (last.valid && last.window == window && last.button == button && now - last.time <= kDoubleClickTime &&
          std::abs(x - last.x) <= half && std::abs(y - last.y) <= half) {
        message = doubleMsg;
        last.valid = false;  // a third press starts a new click
      } else {
        last = Press{window, button, now, x, y, true};
      }
    }
  }
  Post(window, message, flags, MAKELPARAM(x, y), ScreenPoint(window, x, y));
}

void PostMouseWheel(HWND window, int delta, int x, int y) {
  if (!InClient(window, x, y)) return;
  InputState& in = Input();
  int flags;
  {
    std::lock_guard<std::mutex> lock(in.mu);
    flags = MouseFlags(in);
  }
  POINT pt = ScreenPoint(window, x, y);
  // The wheel message carries screen coordinates.
  Post(window, WM_MOUSEWHEEL, MAKEWPARAM(flags, delta), MAKELPARAM(pt.x, pt.y), pt);
}

void ResetInput() {
  InputState& in = Input();
  std::lock_guard<std::mutex> lock(in.mu);
  for (bool& k : in.keys) k = false;
  in.buttons = 0;
  in.lastPress = Press{};
}

}  // namespace lumo::user

using namespace lumo::user;

BOOL TranslateMessage(const MSG* lpMsg) {
  if (lpMsg == nullptr) return FALSE;
  UINT m = lpMsg->message;
  if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN && m != WM_KEYUP && m != WM_SYSKEYUP) return FALSE;
  if (m == WM_KEYUP || m == WM_SYSKEYUP) return TRUE;

  // Characters of a US layout for the keys that have one.
  int vk = static_cast<int>(lpMsg->wParam & 0xFF);
  bool shift = KeyDown(VK_SHIFT), ctrl = KeyDown(VK_CONTROL);
  int ch = 0;
  if (vk >= 'A' && vk <= 'Z') {
    ch = ctrl ? vk - 'A' + 1 : (shift != KeyDown(VK_CAPITAL) ? vk : vk - 'A' + 'a');
  } else if (vk >= '0' && vk <= '9' && !ctrl) {
    ch = shift ? ")!@#$%^&*("[vk - '0'] : vk;
  } else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB) {
    ch = vk;
  }
  if (ch == 0) return TRUE;

  // The character comes next, ahead of input that followed the key.
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto q = QueueOf(std::this_thread::get_id());
  MSG c = *lpMsg;
  c.message = m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  c.wParam = static_cast<WPARAM>(ch);
  q->items.push_front(QueueItem{c, nullptr});
  return TRUE;
}
