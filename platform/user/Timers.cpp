// SPDX-License-Identifier: MIT
// Message-queue timers and the clock behind message times. A timer is a due
// time, not a queued message: WM_TIMER is made when the queue is otherwise
// empty, so a slow program never finds a pile of ticks waiting.
#include "user/Timers.h"

#include <algorithm>
#include <chrono>

#include "user/State.h"

namespace lumo::user {

namespace {

bool Due(DWORD now, DWORD due) { return static_cast<int32_t>(now - due) >= 0; }

bool TimerWindowMatches(HWND window, HWND filter) {
  if (filter == reinterpret_cast<HWND>(-1)) return window == nullptr;
  return filter == nullptr || filter == window;
}

constexpr UINT kMinimumElapse = 10;  // USER_TIMER_MINIMUM
constexpr UINT kMaximumElapse = 0x7FFFFFFF;

}  // namespace

FakeClock& TheFakeClock() {
  static FakeClock clock;
  return clock;
}

DWORD Now() {
  FakeClock& fake = TheFakeClock();
  if (fake.on.load()) return fake.now.load();
  using namespace std::chrono;
  static const auto start = steady_clock::now();
  // Starts well above zero so that "no time yet" and "at once" differ.
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now() - start).count()) + 100000;
}

bool TakeDueTimer(std::thread::id thread, HWND filter, UINT min, UINT max, bool remove, MSG* out) {
  if (!(min == 0 && max == 0) && (WM_TIMER < min || WM_TIMER > max)) return false;
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  DWORD now = Now();
  for (Timer& t : s.timers) {
    if (t.owner != thread || !TimerWindowMatches(t.window, filter) || !Due(now, t.due)) continue;
    *out = MSG{t.window, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), now, POINT{0, 0}};
    if (remove) {
      // Keep the rhythm, but never owe ticks for time already lost.
      t.due += t.elapse;
      if (Due(now, t.due)) t.due = now + t.elapse;
      // Rotate so that several due timers take turns.
      Timer taken = t;
      std::erase_if(s.timers, [&](const Timer& x) {
        return x.owner == taken.owner && x.window == taken.window && x.id == taken.id;
      });
      s.timers.push_back(taken);
    }
    return true;
  }
  return false;
}

bool IsTimerProc(TIMERPROC proc) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  return std::any_of(s.timers.begin(), s.timers.end(), [proc](const Timer& t) { return t.proc == proc; });
}

long MillisecondsToNextTimer(std::thread::id thread) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  DWORD now = Now();
  long best = -1;
  for (const Timer& t : s.timers) {
    if (t.owner != thread) continue;
    long left = Due(now, t.due) ? 0 : static_cast<long>(t.due - now);
    if (best < 0 || left < best) best = left;
  }
  return best;
}

void DropTimersOf(HWND window) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  std::erase_if(s.timers, [window](const Timer& t) { return t.window == window; });
}

void DropAllTimers() {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  s.timers.clear();
}

}  // namespace lumo::user

using namespace lumo::user;

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  auto me = std::this_thread::get_id();
  if (hWnd != nullptr) {
    WindowPtr w = LookupWindow(hWnd);
    if (!w || w->owner != me) return 0;
  }
  UINT elapse = std::clamp(uElapse, kMinimumElapse, kMaximumElapse);
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  DWORD due = Now() + elapse;
  for (Timer& t : s.timers) {
    if (t.window == hWnd && t.id == nIDEvent && (hWnd != nullptr || t.owner == me)) {
      // Setting an existing timer again restarts it.
      t.elapse = elapse;
      t.proc = lpTimerFunc;
      t.due = due;
      return hWnd != nullptr && nIDEvent == 0 ? 1 : nIDEvent;
    }
  }
  UINT_PTR id = nIDEvent;
  if (hWnd == nullptr) {
    // Thread timers get a fresh identifier.
    static UINT_PTR next = 0x7FF0;
    do {
      id = ++next;
    } while (std::any_of(s.timers.begin(), s.timers.end(),
                         [&](const Timer& t) { return t.window == nullptr && t.id == id; }));
  }
  s.timers.push_back(Timer{hWnd, id, elapse, lpTimerFunc, due, me});
  // A window timer with identifier 0 is still a success.
  return hWnd != nullptr && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  auto me = std::this_thread::get_id();
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  size_t removed = std::erase_if(s.timers, [&](const Timer& t) {
    return t.window == hWnd && t.id == uIDEvent && (hWnd != nullptr || t.owner == me);
  });
  return removed > 0 ? TRUE : FALSE;
}
