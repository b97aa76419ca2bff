// SPDX-License-Identifier: MIT
// The SDL backend: the windows on screen, through SDL. It creates and shows
// them and reads SDL's events (SdlEvents.cpp turns them into the layer's
// input and size changes); their frames go to shared-memory images of the
// layer's own or to SDL's window surface (FrameSink.h). All of it runs on
// the thread that started video.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/HandleRegistry.h"
#include "user/Backend.h"
#include "user/ForeignWindows.h"
#include "user/FrameSink.h"
#include "user/SdlWindows.h"
#include "user/State.h"
#include "user/DisplayLoss.h"

namespace lumo::user {

namespace {

std::atomic<bool> started{false};
std::thread::id videoThread;

// The handles map to the SDL windows, and each SDL window carries its
// handle (kSdlHandleKey); the shared window record knows nothing of SDL.
// Immortal (HandleRegistry.h): windows may be destroyed on the way out.
constinit lumo::platform::HandleRegistry<HWND, SDL_Window*> sdlWindows;

bool IsVideoThread() { return started.load() && std::this_thread::get_id() == videoThread; }

void Start() {
  if (started.load()) return;
  // Ctrl+C must still end the process, not become a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // A click that activates the window is still a click, as on Windows.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // The pixels are already computed in software: hand them to the windowing
  // system directly (shared memory on X11) rather than through a GL context,
  // which is a software rasteriser on machines without a GPU.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Only a real window system: left to itself SDL falls back to its
  // off-screen driver, and the program would run on with no window at all.
  // SDL_VIDEODRIVER, when set, still decides.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
  bool up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  // A busy X server may turn a connection away for a moment: a few more
  // tries before giving up.
  for (int i = 0; !up && i < 10 && std::getenv("DISPLAY") != nullptr; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    up = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  }
  if (!up) {
    const char* why = SDL_GetError();
    std::fprintf(stderr, "cannot open a window: %s\n",
                 std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr ? "no display" : why);
    std::fflush(stderr);
    std::exit(1);
  }
  videoThread = std::this_thread::get_id();
  started.store(true);
  std::atexit([] { SDL_Quit(); });
}

bool Create(const Window& w) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (w.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
  SDL_Window* window = w.foreignParent != 0 ? CreateInForeignParent(w.foreignParent, w.clientWidth, w.clientHeight)
                                            : SDL_CreateWindow(w.title.c_str(), w.x, w.y, std::max(1, w.clientWidth),
                                                               std::max(1, w.clientHeight), flags);
  if (window == nullptr) {
    std::fprintf(stderr, "cannot open a window: %s\n", SDL_GetError());
    std::fflush(stderr);
    return false;
  }
  SDL_SetWindowData(window, kSdlHandleKey, w.handle);
  // Losing this display ends the program from this thread, with a line of its own.
  WatchDisplayOf(window);
  sdlWindows.Set(w.handle, window);
  return true;
}

void Destroy(HWND window) {
  if (SDL_Window* sdlWindow = sdlWindows.Take(window)) DestroyPlacedWindow(sdlWindow);
}

void SetTitle(HWND window, const char* title) {
  if (SDL_Window* sdlWindow = SdlWindowOf(window)) SDL_SetWindowTitle(sdlWindow, title);
}

void Show(HWND window, int command) {
  SDL_Window* sdlWindow = SdlWindowOf(window);
  if (sdlWindow == nullptr) return;
  switch (command) {
    case SW_HIDE:
      SDL_HideWindow(sdlWindow);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      SDL_ShowWindow(sdlWindow);
      SDL_MinimizeWindow(sdlWindow);
      break;
    case SW_MAXIMIZE:
      SDL_ShowWindow(sdlWindow);
      SDL_MaximizeWindow(sdlWindow);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      SDL_ShowWindow(sdlWindow);
      SDL_RestoreWindow(sdlWindow);
      break;
    default:
      SDL_ShowWindow(sdlWindow);
      break;
  }
}

void Pump(bool modalNow) {
  // Only the thread that started video may read SDL's events.
  if (!IsVideoThread()) return;
  // Reading the display's connection takes system calls, and a program that
  // renders without pause asks thousands of times a second: the display is
  // read at most once a millisecond. Events already in SDL's queue are taken
  // on every call.
  using Clock = std::chrono::steady_clock;
  static Clock::time_point lastRead;
  const Clock::time_point now = Clock::now();
  if (now - lastRead >= std::chrono::milliseconds(1)) {
    SDL_PumpEvents();
    lastRead = now;
  }
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) TranslateSdlEvent(e, modalNow);
  PollForeignWindows();
}

bool Wait(int ms) {
  if (!IsVideoThread()) return false;
  SDL_WaitEventTimeout(nullptr, ms);
  return true;
}

bool ScreenSize(int* width, int* height) {
  SDL_Rect r;
  if (!started.load() || SDL_GetDisplayBounds(0, &r) != 0) return false;
  *width = r.w;
  *height = r.h;
  return true;
}

unsigned long NativeWindow(HWND window) {
  if (!IsVideoThread()) return 0;
  _XDisplay* display = nullptr;
  unsigned long x11Window = 0;
  return X11Of(SdlWindowOf(window), &display, &x11Window) ? x11Window : 0;
}

// Shared-memory images of the layer's own where the display allows, else
// SDL's window surface.
constexpr SinkMaker kSinks[] = {OpenX11ShmSink, OpenSdlSurfaceSink};

}  // namespace

SDL_Window* SdlWindowOf(HWND window) { return sdlWindows.Find(window); }

bool X11Of(SDL_Window* window, _XDisplay** display, unsigned long* x11Window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *x11Window = info.info.x11.window;
  return *display != nullptr;
#else
  (void)window, (void)display, (void)x11Window;
  return false;
#endif
}

const Backend kSdlBackend = {Start, Create, Destroy, kSinks, SetTitle, Show, Pump, Wait, ScreenSize, NativeWindow};

}  // namespace lumo::user
