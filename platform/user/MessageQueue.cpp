// SPDX-License-Identifier: MIT
// The per-thread message queue: posting, sending, retrieving in Windows'
// order (sent, posted and input in arrival order, quit, paint, timer) and
// dispatching.
#include "user/MessageQueue.h"

#include <algorithm>
#include <chrono>

#include "user/Backend.h"
#include "user/Timers.h"

namespace lumo::user {

namespace {

bool InRange(UINT message, UINT min, UINT max) {
  if (min == 0 && max == 0) return true;
  return message >= min && message <= max;
}

bool WindowMatches(HWND window, HWND filter) {
  // (HWND)-1 asks for messages posted to the thread itself.
  if (filter == reinterpret_cast<HWND>(-1)) return window == nullptr;
  return filter == nullptr || filter == window;
}

LRESULT CallProc(const WindowPtr& w, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = w->proc;
  return proc ? proc(w->handle, message, wParam, lParam) : DefWindowProcA(w->handle, message, wParam, lParam);
}

bool FindPaint(HWND filter, MSG* out) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto me = std::this_thread::get_id();
  for (auto& [handle, w] : s.windows) {
    if (w->owner != me || !w->hasUpdate || !w->visible || w->minimised || w->destroying) continue;
    if (filter != nullptr && filter != handle) continue;
    *out = MSG{handle, WM_PAINT, 0, 0, Now(), POINT{0, 0}};
    return true;
  }
  return false;
}

// Takes the next message for the calling thread, running sent messages and
// queued actions met on the way. False when nothing is waiting.
bool Retrieve(MSG* out, HWND filter, UINT min, UINT max, bool remove) {
  State& s = GetState();
  for (;;) {
    Action action;
    {
      std::lock_guard<std::mutex> lock(s.mu);
      auto q = QueueOf(std::this_thread::get_id());
      if (!q->sent.empty()) {
        action = std::move(q->sent.front());
        q->sent.pop_front();
      } else {
        for (auto it = q->items.begin(); it != q->items.end(); ++it) {
          if (it->action) {
            action = std::move(it->action);
            q->items.erase(it);
            break;
          }
          if (WindowMatches(it->msg.hwnd, filter) && InRange(it->msg.message, min, max)) {
            *out = it->msg;
            if (remove) q->items.erase(it);
            return true;
          }
        }
        // The quit message waits until the posted messages are gone.
        if (!action && q->quit) {
          *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, Now(), POINT{0, 0}};
          if (remove) q->quit = false;
          return true;
        }
      }
    }
    if (action) {
      action();
      continue;
    }
    if (filter != reinterpret_cast<HWND>(-1) && InRange(WM_PAINT, min, max) && FindPaint(filter, out)) return true;
    return TakeDueTimer(std::this_thread::get_id(), filter, min, max, remove, out);
  }
}

thread_local bool inIdleHook = false;

void RunIdleHook() {
  if (inIdleHook) return;
  std::function<void()> hook;
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    hook = s.idleHook;
  }
  if (!hook) return;
  inIdleHook = true;
  hook();
  inIdleHook = false;
}

void WaitForMessages(long ms) {
  if (ActiveBackend().wait(static_cast<int>(ms))) return;
  State& s = GetState();
  std::unique_lock<std::mutex> lock(s.mu);
  auto q = QueueOf(std::this_thread::get_id());
  q->wake.wait_for(lock, std::chrono::milliseconds(ms));
}

// A message sent from another thread waits here for its result.
struct SendWait {
  std::mutex mu;
  std::condition_variable done;
  bool finished = false;
  LRESULT result = 0;
};

}  // namespace

bool PostToWindow(HWND window, const MSG& msg) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto it = s.windows.find(window);
  if (it == s.windows.end() || it->second->destroying) return false;
  auto q = QueueOf(it->second->owner);
  q->items.push_back(QueueItem{msg, nullptr});
  q->wake.notify_all();
  return true;
}

bool EnqueueAction(HWND window, Action action) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto it = s.windows.find(window);
  if (it == s.windows.end()) return false;
  auto q = QueueOf(it->second->owner);
  QueueItem item;
  item.msg.hwnd = window;
  item.action = std::move(action);
  q->items.push_back(std::move(item));
  q->wake.notify_all();
  return true;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowPtr w = LookupWindow(window);
  if (!w) return 0;
  if (w->owner == std::this_thread::get_id()) return CallProc(w, message, wParam, lParam);

  // Another thread's window: its procedure runs on its own thread, the next
  // time that thread reads its queue; this one waits for the result.
  auto wait = std::make_shared<SendWait>();
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    auto q = QueueOf(w->owner);
    q->sent.push_back([wait, window, message, wParam, lParam] {
      LRESULT r = 0;
      if (WindowPtr target = LookupWindow(window)) r = CallProc(target, message, wParam, lParam);
      std::lock_guard<std::mutex> l(wait->mu);
      wait->result = r;
      wait->finished = true;
      wait->done.notify_all();
    });
    q->wake.notify_all();
  }
  std::unique_lock<std::mutex> lock(wait->mu);
  while (!wait->finished) {
    // Give up when the window goes away before its thread took the message.
    if (wait->done.wait_for(lock, std::chrono::milliseconds(50)) == std::cv_status::timeout && !IsWindow(window))
      return 0;
  }
  return wait->result;
}

}  // namespace lumo::user

using namespace lumo::user;

BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) return FALSE;
  PumpEvents();
  if (Retrieve(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)) return TRUE;
  RunIdleHook();
  return FALSE;
}

BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) return -1;
  if (hWnd != nullptr && hWnd != reinterpret_cast<HWND>(-1) && !IsWindow(hWnd)) return -1;
  for (;;) {
    PumpEvents();
    if (Retrieve(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) return lpMsg->message != WM_QUIT;
    RunIdleHook();
    // Wake at least every 10 ms: posts from other threads and timers that
    // fall due are noticed without a busy loop.
    long next = MillisecondsToNextTimer(std::this_thread::get_id());
    WaitForMessages(next < 0 || next > 10 ? 10 : std::max(next, 1L));
  }
}

LRESULT DispatchMessageA(const MSG* lpMsg) {
  if (lpMsg == nullptr) return 0;
  if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
    // Only a procedure given to SetTimer is called: a posted WM_TIMER with
    // any other lParam must not become a jump to an arbitrary address.
    auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
    if (IsTimerProc(proc)) proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, Now());
    return 0;
  }
  WindowPtr w = LookupWindow(lpMsg->hwnd);
  if (!w || w->owner != std::this_thread::get_id()) return 0;
  return CallProc(w, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) { return Send(hWnd, Msg, wParam, lParam); }

BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  MSG msg{hWnd, Msg, wParam, lParam, Now(), POINT{0, 0}};
  if (hWnd != nullptr) return PostToWindow(hWnd, msg) ? TRUE : FALSE;
  // No window: a message for the calling thread itself.
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto q = QueueOf(std::this_thread::get_id());
  q->items.push_back(QueueItem{msg, nullptr});
  q->wake.notify_all();
  return TRUE;
}

void PostQuitMessage(int nExitCode) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto q = QueueOf(std::this_thread::get_id());
  q->quit = true;
  q->quitCode = nExitCode;
  q->wake.notify_all();
}
