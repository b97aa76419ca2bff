// SPDX-License-Identifier: MIT
// What the files of the window half share: the window records, the per-thread
// message queues and the timers. One mutex guards the tables; it is never
// held while a window procedure runs, because procedures call back into the
// layer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LumoPlatform.h"
#include "user/ClientPixels.h"

namespace lumo::user {

struct Window {
  HWND handle = nullptr;
  std::thread::id owner;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  WNDPROC proc = nullptr;
  HWND parent = nullptr;  // WS_CHILD windows only
  // Set on the record of another program's X window (ForeignWindow.h);
  // foreignParent on a child made inside one, which fills it.
  unsigned long foreignId = 0;
  unsigned long foreignParent = 0;
  int x = 0, y = 0;  // outer top-left on the screen
  int clientWidth = 0, clientHeight = 0;
  int restoredWidth = 0, restoredHeight = 0;  // to come back to from minimised/maximised
  bool visible = false;
  bool minimised = false;
  bool maximised = false;
  bool destroying = false;
  bool hasUpdate = false;  // a part of the client area waits for WM_PAINT
  bool erase = false;
  RECT update{};
  std::map<int, LONG_PTR> longs;  // GWL_USERDATA, GWL_ID and the class's extra bytes
  ClientPixels pixels;
};

using WindowPtr = std::shared_ptr<Window>;

// Runs on the queue's thread when its turn comes; never returned as a message.
using Action = std::function<void()>;

struct QueueItem {
  MSG msg{};
  Action action;  // set: deliver in order instead of returning msg
};

struct Queue {
  std::deque<QueueItem> items;  // posted messages and input, in arrival order
  std::deque<Action> sent;      // messages sent from other threads, run first
  bool quit = false;
  int quitCode = 0;
  std::condition_variable wake;
};

struct Timer {
  HWND window = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  DWORD due = 0;
  std::thread::id owner;
};

struct State {
  std::mutex mu;
  std::map<HWND, WindowPtr> windows;
  std::map<std::thread::id, std::shared_ptr<Queue>> queues;
  std::vector<Timer> timers;
  HWND lastCreated = nullptr;
  std::function<void()> idleHook;
};

State& GetState();

// Looks a window up; null for stale and foreign handles.
WindowPtr LookupWindow(HWND window);
std::shared_ptr<Queue> QueueOf(std::thread::id thread);  // creates it on first use; caller holds mu
// Wakes every thread waiting for its queue (the clock moved, say).
void WakeAll();

}  // namespace lumo::user
