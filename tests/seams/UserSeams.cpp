// SPDX-License-Identifier: MIT
// Test seams of the window half (see UserSeams.h).
#include "seams/UserSeams.h"
#include "user/Backend.h"
#include "user/Input.h"
#include "user/Keys.h"
#include "user/MessageQueue.h"
#include "user/PresentFaults.h"
#include "user/State.h"
#include "user/Timers.h"
#include "user/Windows.h"

namespace lumo::test {

using namespace lumo::user;

void UseHeadlessWindows() { ChooseBackend(kHeadlessBackend); }

bool HeadlessWindows() { return &ActiveBackend() == &kHeadlessBackend; }

void UseFakeClock(DWORD startMs) {
  FakeClock& clock = TheFakeClock();
  clock.now.store(startMs);
  clock.on.store(true);
}

void AdvanceClock(DWORD ms) {
  TheFakeClock().now.fetch_add(ms);
  WakeAll();
}

void UseRealClock() { TheFakeClock().on.store(false); }

DWORD ClockNow() { return Now(); }

const uint32_t* WindowPixels(HWND window, int* width, int* height) {
  WindowPtr w = LookupWindow(window);
  if (width) *width = w ? w->pixels.Width() : 0;
  if (height) *height = w ? w->pixels.Height() : 0;
  return w ? w->pixels.Shown() : nullptr;
}

const uint32_t* WindowDrawingPixels(HWND window) {
  WindowPtr w = LookupWindow(window);
  return w ? w->pixels.Pixels() : nullptr;
}

std::string WindowSink(HWND window) {
  WindowPtr w = LookupWindow(window);
  return w ? w->pixels.SinkName() : "";
}

void InjectPresentFault(PresentFault fault) {
  PresentFaults& faults = Faults();
  switch (fault) {
    case PresentFault::ImageCreation:
      faults.imageCreation = true;
      break;
    case PresentFault::Put:
      faults.put = true;
      break;
    case PresentFault::ThreadFrame:
      faults.threadFrame = true;
      break;
  }
}

int PresentCount(HWND window) {
  WindowPtr w = LookupWindow(window);
  return w ? w->pixels.presents : 0;
}

WindowState GetWindowState(HWND window) {
  WindowState st;
  WindowPtr w = LookupWindow(window);
  if (!w) return st;
  st.exists = true;
  st.visible = w->visible;
  st.resizable = (w->style & WS_THICKFRAME) != 0;
  st.minimiseBox = (w->style & WS_MINIMIZEBOX) != 0;
  st.maximiseBox = (w->style & WS_MAXIMIZEBOX) != 0;
  st.minimised = w->minimised;
  st.maximised = w->maximised;
  st.clientWidth = w->clientWidth;
  st.clientHeight = w->clientHeight;
  st.title = w->title;
  return st;
}

HWND LastCreatedWindow() {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  return s.lastCreated;
}

// Input is translated at once, as the windowing system's reports are when
// the queue is pumped, so it keeps its place among posted messages.
void InjectKey(HWND window, int vk, bool down, bool repeat) {
  bool extended = false;
  int scan = ScanCodeOfVk(vk, &extended);
  PostKey(window, vk, scan, extended, down, repeat);
}

void InjectMouseMove(HWND window, int x, int y) { PostMouseMove(window, x, y); }

void InjectMouseButton(HWND window, int button, bool down, int x, int y) {
  PostMouseButton(window, button, down, x, y);
}

void ResizeClient(HWND window, int width, int height) {
  EnqueueAction(window, [=] { ApplyClientSize(window, SizeKind::Restored, width, height); });
}

void Maximise(HWND window, int width, int height) {
  EnqueueAction(window, [=] { ApplyClientSize(window, SizeKind::Maximised, width, height); });
}

void Minimise(HWND window) {
  EnqueueAction(window, [=] { ApplyClientSize(window, SizeKind::Minimised, 0, 0); });
}

void Restore(HWND window) {
  EnqueueAction(window, [=] {
    if (WindowPtr w = LookupWindow(window))
      ApplyClientSize(window, SizeKind::Restored, w->restoredWidth, w->restoredHeight);
  });
}

void Expose(HWND window) {
  EnqueueAction(window, [=] {
    if (WindowPtr w = LookupWindow(window)) InvalidateAll(w);
  });
}

void Close(HWND window) { PostToWindow(window, MSG{window, WM_SYSCOMMAND, SC_CLOSE, 0, Now(), POINT{0, 0}}); }

PumpResult DispatchPending(int limit) {
  PumpResult result;
  MSG msg;
  while (result.dispatched < limit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      result.quit = true;
      result.exitCode = static_cast<int>(msg.wParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    ++result.dispatched;
  }
  return result;
}

void SetIdleHook(std::function<void()> hook) {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  s.idleHook = std::move(hook);
}

void ResetWindows() {
  std::vector<HWND> all;
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    for (auto& [handle, w] : s.windows)
      if (w->owner == std::this_thread::get_id()) all.push_back(handle);
  }
  for (HWND h : all) DestroyWindow(h);
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    s.queues.clear();
    s.timers.clear();
    s.idleHook = nullptr;
    s.lastCreated = nullptr;
  }
  ResetInput();
  UseRealClock();
  ResetFileDialog();
  ResetMessageBoxes();
}

}  // namespace lumo::test
