// What the files of the window half share: the window records, the per-thread
// message queues, the clock and the hooks between them. One mutex guards the
// tables; it is never held while a window procedure runs, because procedures
// call back into the layer.
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
#include "common/WindowTarget.h"

struct SDL_Window;

namespace lumo::user {

namespace x11 {
class Presenter;
}

// The dialog class's own background (the 3-D face colour).
constexpr uint32_t kDialogFace = 0xF0F0F0;

// Frame and caption sizes reported by GetSystemMetrics and used to turn an
// outer window size into a client size.
constexpr int kFrame = 4;
constexpr int kCaption = 19;

constexpr DWORD kDoubleClickTime = 500;
constexpr int kDoubleClickBox = 4;  // a square of this side centred on the first press

DWORD Now();

// A window's client pixels, shared with GDI through the target registry. On
// an X display with shared memory they live in the two images of an
// x11::Presenter, so the X server copies one frame while the next is drawn.
// Failing that they are SDL's window surface itself whenever that has their
// size and 0x00RRGGBB layout, so GDI draws straight into what the window
// system shows and a presentation only hands it the changed rectangle;
// otherwise they are a buffer of their own, copied to the window on each
// presentation.
class ClientPixels : public platform::WindowTarget {
 public:
  ClientPixels();
  ~ClientPixels() override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t* Pixels() override { return Acquire(nullptr); }
  uint32_t* PixelsToOverwrite(const RECT& overwrite) override { return Acquire(&overwrite); }
  void Presented(const RECT& changed) override;

  // New size; the pixels become the dialog face colour.
  void Resize(int width, int height);
  void Fill(uint32_t colour);
  // Puts all of the pixels on screen again, not counted as a presentation
  // (showing the window, exposure while a modal dialog runs).
  void ShowAll();
  // Stops using the SDL window, keeping the pixels, before it is destroyed.
  SDL_Window* Detach();

  SDL_Window* sdl = nullptr;
  int presents = 0;

 private:
  uint32_t* Acquire(const RECT* overwrite);
  void Show(const RECT& changed);
  void Bind();           // takes the presenter's images, or else SDL's surface when it fits, as the pixels
  void Unbind();         // copies the pixels out of them and lets them go
  void DropPresenter();  // after it failed: SDL's surface from now on

  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> own_;
  uint32_t* screen_ = nullptr;
  std::unique_ptr<x11::Presenter> shm_;
  bool shmTried_ = false;  // Open is asked once per window
  bool onShm_ = false;     // the pixels are in shm_'s images
};

enum class SizeKind { Restored = SIZE_RESTORED, Minimised = SIZE_MINIMIZED, Maximised = SIZE_MAXIMIZED };

struct Window {
  HWND handle = nullptr;
  std::thread::id owner;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  WNDPROC proc = nullptr;
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
  uint32_t sdlId = 0;
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
  bool headless = false;
  bool headlessDecided = false;
  std::function<void()> idleHook;
};

State& GetState();

// Looks a window up; null for stale and foreign handles.
WindowPtr LookupWindow(HWND window);
std::shared_ptr<Queue> QueueOf(std::thread::id thread);  // creates it on first use; caller holds mu

bool Headless();

// Queueing for the thread that owns `window`. False when it is not a window.
bool PostToWindow(HWND window, const MSG& msg);
bool EnqueueAction(HWND window, Action action);
void WakeAll();

// Sends to the procedure at once (same thread) or through the owner's queue.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Size changes as the user or ShowWindow makes them: resizes the pixels,
// sends WM_SIZE when the client size or kind changed, and invalidates.
void ApplyClientSize(HWND window, SizeKind kind, int width, int height);
void InvalidateAll(const WindowPtr& w);

// Timer bookkeeping used by the queue.
bool TakeDueTimer(std::thread::id thread, HWND filter, UINT min, UINT max, bool remove, MSG* out);
bool IsTimerProc(TIMERPROC proc);
long MillisecondsToNextTimer(std::thread::id thread);  // -1 when none
void DropTimersOf(HWND window);
void DropAllTimers();

// Input translation (keyboard and mouse state, double clicks).
void PostKey(HWND window, int vk, int scanCode, bool extended, bool down, bool repeat);
void PostMouseMove(HWND window, int x, int y);
void PostMouseButton(HWND window, int button, bool down, int x, int y);
void PostMouseWheel(HWND window, int delta, int x, int y);
int ScanCodeOfVk(int vk, bool* extended);
bool KeyDown(int vk);
void ResetInput();

// The SDL side; none of these is called in headless mode.
namespace sdl {
// Starts SDL video once. On failure prints one line and ends the process.
void StartVideo();
bool Started();
SDL_Window* Create(Window& w);
void Destroy(SDL_Window* window);
void Present(SDL_Window* window, const uint32_t* pixels, int width, int height);
// The window surface's pixels when it is width x height 0x00RRGGBB pixels
// with rows width pixels apart, else null.
uint32_t* Screen(SDL_Window* window, int width, int height);
// Shows a rectangle of the window surface; false when SDL has dropped the
// surface (it saw a resize) and Screen() must be asked again.
bool Update(SDL_Window* window, const RECT& changed);
void SetTitle(SDL_Window* window, const std::string& title);
void Show(SDL_Window* window, int command);
// Turns waiting SDL events into queued messages and actions.
void Pump();
// The same while a modal dialog runs: window events only, input dropped.
void PumpModal();
// Waits up to `ms` for an SDL event.
void Wait(int ms);
bool IsVideoThread();
// The X11 window behind an SDL window, 0 elsewhere.
unsigned long NativeWindowId(SDL_Window* window);
void ScreenSize(int* width, int* height);
}  // namespace sdl

// Reads the windowing system's events into the queues (nothing when headless).
void PumpEvents();
// Keeps the windows alive on screen while a modal dialog blocks the thread.
void PumpWhileModal();
// The windowing system's id of a window on screen (0 when headless or unknown),
// so that a dialog program can stay above its owner.
unsigned long NativeWindowOf(HWND window);

}  // namespace lumo::user
