// SPDX-License-Identifier: MIT
// Test seams of the native window layer: windows without a screen, a clock
// that only moves when told, user actions injected as the windowing system
// would report them, and canned answers for the file dialog and message
// boxes. Native builds only; on Windows the real USER and common dialogs run.
//
// Typical program test:
//   lumo::test::UseHeadlessWindows();          // before the first window
//   lumo::test::UseFakeClock(0);
//   ... start-up code creates its window ...
//   HWND w = lumo::test::LastCreatedWindow();
//   lumo::test::InjectKey(w, 'F', true);
//   lumo::test::DispatchPending();             // the program's WndProc runs
//   const uint32_t* px = lumo::test::WindowPixels(w, &width, &height);
//   lumo::test::ResetWindows();                // clean slate for the next test
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "LumoPlatform.h"

namespace lumo::test {

// ---- Mode ----------------------------------------------------------------

// Windows exist only in memory: no SDL, no display needed. Same as the
// environment's LUMO_HEADLESS (see the README). Call before the first
// CreateWindowExA of the process; later calls have no effect on windows that
// already exist.
void UseHeadlessWindows();
bool HeadlessWindows();

// ---- Clock ---------------------------------------------------------------
// One millisecond clock drives message times, timers and double-click
// detection. The fake clock stands still until AdvanceClock moves it, so
// timer tests never depend on how fast the machine is.

void UseFakeClock(DWORD startMs);
void AdvanceClock(DWORD ms);
void UseRealClock();
DWORD ClockNow();

// ---- What a window shows -------------------------------------------------

// The client area as GDI last drew it: *width x *height pixels 0x00RRGGBB,
// top row first (either out pointer may be null), read without touching
// where the next drawing goes. nullptr when `window` is not a window of this
// layer or its client area is empty (minimised). The pointer is valid until
// the next resize or destruction of the window; the pixels are those of the
// call.
const uint32_t* WindowPixels(HWND window, int* width, int* height);

// Where GDI's next drawing into the window goes (one of the shared-memory
// images, SDL's window surface, memory), as GDI asks for it: this picks the
// image to draw into and brings it up to date. Valid until the next
// presentation.
const uint32_t* WindowDrawingPixels(HWND window);

// Where the window's frames go: "shared memory", "window surface" or
// "memory"; empty for a handle that is no window.
std::string WindowSink(HWND window);

// A failure the shared-memory presenter meets once, at its next occasion, as
// a display might: an image cannot be made, a put fails, or the presenter's
// thread cannot show the next frame it is handed.
enum class PresentFault { ImageCreation, Put, ThreadFrame };
void InjectPresentFault(PresentFault fault);

// How often GDI has finished drawing into the window (BitBlt/StretchDIBits).
int PresentCount(HWND window);

struct WindowState {
  bool exists = false;
  bool visible = false;
  bool resizable = false;  // WS_THICKFRAME
  bool minimiseBox = false;
  bool maximiseBox = false;
  bool minimised = false;
  bool maximised = false;
  int clientWidth = 0;
  int clientHeight = 0;
  std::string title;
};
WindowState GetWindowState(HWND window);

// The window most recently created by CreateWindowExA (NULL if none or if it
// has been destroyed since).
HWND LastCreatedWindow();

// ---- User actions ----------------------------------------------------------
// Each action is queued for the window's thread as the windowing system's
// report of it would be, behind everything already queued, and reaches the
// window procedure only when that thread reads its queue (PeekMessageA or
// GetMessageA). Input is translated at once (so the held keys and buttons
// behind MK_ flags change at the call); size changes, exposure and closing
// take effect when their turn in the queue comes.

// A key by virtual-key code ('A'..'Z', '0'..'9', VK_ESCAPE, VK_SHIFT, ...).
// `repeat` marks auto-repeat of a key already held (another WM_KEYDOWN).
// Shift, Control and Alt held this way show in later mouse messages'
// MK_SHIFT/MK_CONTROL and make Alt combinations WM_SYSKEYDOWN.
void InjectKey(HWND window, int vk, bool down, bool repeat = false);

// Mouse at client coordinates (x, y). `button` is MK_LBUTTON, MK_RBUTTON or
// MK_MBUTTON. A second press of the same button within the double-click time
// (500 ms on the layer's clock) and 2 pixels arrives as WM_xBUTTONDBLCLK.
// Positions outside the client area are not delivered, as with a window that
// has not captured the mouse.
void InjectMouseMove(HWND window, int x, int y);
void InjectMouseButton(HWND window, int button, bool down, int x, int y);

// The user drags the frame to a new client size: WM_SIZE SIZE_RESTORED.
void ResizeClient(HWND window, int width, int height);
// Maximise to the given client size: WM_SIZE SIZE_MAXIMIZED.
void Maximise(HWND window, int width, int height);
// Minimise: WM_SIZE SIZE_MINIMIZED with 0 x 0.
void Minimise(HWND window);
// Back from minimised or maximised to the last restored size.
void Restore(HWND window);
// Part of the window was uncovered: it becomes invalid, WM_PAINT follows.
void Expose(HWND window);
// The close box (or the window manager's close): WM_SYSCOMMAND SC_CLOSE,
// which DefWindowProcA turns into WM_CLOSE.
void Close(HWND window);

// ---- Running the queue ---------------------------------------------------

struct PumpResult {
  int dispatched = 0;  // messages dispatched
  bool quit = false;   // WM_QUIT was retrieved (and consumed)
  int exitCode = 0;    // its wParam
};
// The programs' loop without the frames: PeekMessageA(PM_REMOVE),
// TranslateMessage, DispatchMessageA until nothing is waiting, WM_QUIT is
// retrieved, or `limit` messages went through (WM_PAINT repeats while a
// procedure never validates the window).
PumpResult DispatchPending(int limit = 10000);

// Called on the window thread each time PeekMessageA or GetMessageA finds
// nothing to return, so a test can act while a program's own loop runs (for
// instance inject input, read pixels, and finally Close the window). Pass an
// empty function to remove it.
void SetIdleHook(std::function<void()> hook);

// ---- File dialog -----------------------------------------------------------
// Without answers queued, GetOpenFileNameA runs the dialog program: the
// stand-in the environment names (LUMO_FILE_DIALOG, see the README), else
// zenity, else kdialog.

// The next GetOpenFileNameA takes `path` as the user's choice (the default
// extension and buffer checks still apply) without running any program.
void QueueFileDialogAnswer(const std::string& path);
// The next GetOpenFileNameA is cancelled.
void QueueFileDialogCancel();

struct FileDialogCall {
  HWND owner = nullptr;
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // (description, patterns)
  std::string initialDir;                                    // the folder the dialog opens in, after fallback
  std::string defExt;
  DWORD maxFile = 0;
  DWORD flags = 0;
};
int FileDialogCallCount();
FileDialogCall LastFileDialogCall();
// Drops queued answers and the record of calls (ResetWindows does this too).
void ResetFileDialog();

// ---- Message box -----------------------------------------------------------
// Without answers queued, MessageBoxA runs the dialog program: the stand-in
// the environment names (LUMO_MESSAGE_BOX, see the README), else zenity, else
// kdialog.

// The next MessageBoxA answers `answer` without running any program.
void QueueMessageBoxAnswer(int answer = IDOK);

struct MessageBoxCall {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
};
int MessageBoxCallCount();
MessageBoxCall LastMessageBox();
// Drops queued answers and the record of calls (ResetWindows does this too).
void ResetMessageBoxes();

// ---- Reset -----------------------------------------------------------------

// Destroys every window (their procedures get WM_DESTROY), drops queued
// messages, timers, the quit flag, keyboard and mouse state, the idle hook,
// file-dialog and message-box answers, and returns to the real clock: a clean
// slate between tests. Headless mode stays as it was.
void ResetWindows();

}  // namespace lumo::test
