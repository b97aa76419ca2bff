// SPDX-License-Identifier: MIT
// The SDL backend: the windows on screen, through SDL. It creates and shows
// them, puts the client pixels on screen, and turns SDL's events into the
// layer's input and size changes. All of it runs on the thread that started
// video.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "user/Backend.h"
#include "user/Input.h"
#include "user/Keys.h"
#include "user/MessageQueue.h"
#include "user/State.h"
#include "user/Timers.h"
#include "user/Windows.h"
#include "user/X11Present.h"

namespace lumo::user {

namespace {

std::atomic<bool> started{false};
std::thread::id videoThread;
bool modal = false;  // a modal dialog runs: input to the windows is dropped

// Each SDL window carries its handle as SDL window data, and the handles map
// back to the SDL windows; the shared window record knows nothing of SDL.
constexpr const char* kHandleKey = "lumo.hwnd";

struct SdlWindows {
  std::mutex mu;
  std::map<HWND, SDL_Window*> of;
};

SdlWindows& Registry() {
  static SdlWindows* windows = new SdlWindows;
  return *windows;
}

SDL_Window* SdlWindowOf(HWND window) {
  SdlWindows& all = Registry();
  std::lock_guard<std::mutex> lock(all.mu);
  auto it = all.of.find(window);
  return it == all.of.end() ? nullptr : it->second;
}

HWND WindowOfId(uint32_t id) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(id);
  if (sdlWindow == nullptr) return nullptr;
  HWND window = static_cast<HWND>(SDL_GetWindowData(sdlWindow, kHandleKey));
  WindowPtr w = LookupWindow(window);
  return w && !w->destroying ? window : nullptr;
}

bool IsVideoThread() { return started.load() && std::this_thread::get_id() == videoThread; }

// The key table with SDL's column (see Keys.h).
struct SdlKey {
  SDL_Keycode sym;
  int vk;
  int scan;
  bool extended;
};

constexpr SdlKey kKeys[] = {
#define LUMO_SDL_KEY(vk, sdlKeycode, scan, extended) {sdlKeycode, vk, scan, extended},
    LUMO_USER_KEYS(LUMO_SDL_KEY)
#undef LUMO_SDL_KEY
};

const SdlKey* KeyOf(SDL_Keycode sym) {
  for (const SdlKey& k : kKeys)
    if (k.sym == sym) return &k;
  return nullptr;
}

int ButtonOf(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return MK_LBUTTON;
    case SDL_BUTTON_RIGHT:
      return MK_RBUTTON;
    case SDL_BUTTON_MIDDLE:
      return MK_MBUTTON;
    default:
      return 0;
  }
}

// Reads the window's state from SDL when its turn in the queue comes, so a
// burst of SDL size events makes one WM_SIZE with the final size.
void QueueSizeSync(HWND window, SDL_Window* sdlWindow) {
  EnqueueAction(window, [window, sdlWindow] {
    if (SdlWindowOf(window) != sdlWindow) return;
    Uint32 flags = SDL_GetWindowFlags(sdlWindow);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdlWindow, &width, &height);
    SizeKind kind = (flags & SDL_WINDOW_MINIMIZED)   ? SizeKind::Minimised
                    : (flags & SDL_WINDOW_MAXIMIZED) ? SizeKind::Maximised
                                                     : SizeKind::Restored;
    ApplyClientSize(window, kind, width, height);
  });
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: {
      HWND window = WindowOfId(e.window.windowID);
      WindowPtr w = LookupWindow(window);
      if (!w) return;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          // What the close box does on Windows: the default procedure turns
          // it into WM_CLOSE.
          PostToWindow(window, MSG{window, WM_SYSCOMMAND, SC_CLOSE, 0, Now(), POINT{0, 0}});
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          InvalidateAll(w);
          // No WM_PAINT can run while a modal dialog waits; show what was drawn.
          if (modal) w->pixels.ShowAll();
          break;
        case SDL_WINDOWEVENT_MOVED: {
          // SDL reports where the client area is; the window starts at its frame.
          int cx = e.window.data1, cy = e.window.data2;
          EnqueueAction(window, [window, cx, cy] {
            WindowPtr moved = LookupWindow(window);
            if (!moved || moved->destroying) return;
            int frame = GetSystemMetrics(SM_CXFRAME), caption = GetSystemMetrics(SM_CYCAPTION);
            if (moved->x == cx - frame && moved->y == cy - frame - caption) return;
            moved->x = cx - frame;
            moved->y = cy - frame - caption;
            Send(window, WM_MOVE, 0, MAKELPARAM(cx, cy));
          });
          break;
        }
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
          QueueSizeSync(window, SdlWindowOf(window));
          break;
        default:
          break;
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      if (modal) return;
      HWND window = WindowOfId(e.key.windowID);
      const SdlKey* key = KeyOf(e.key.keysym.sym);
      if (!window || key == nullptr) return;
      PostKey(window, key->vk, key->scan, key->extended, e.type == SDL_KEYDOWN, e.key.repeat != 0);
      break;
    }
    case SDL_MOUSEMOTION: {
      if (modal) return;
      HWND window = WindowOfId(e.motion.windowID);
      if (window) PostMouseMove(window, e.motion.x, e.motion.y);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (modal) return;
      HWND window = WindowOfId(e.button.windowID);
      int button = ButtonOf(e.button.button);
      if (window && button) PostMouseButton(window, button, e.type == SDL_MOUSEBUTTONDOWN, e.button.x, e.button.y);
      break;
    }
    case SDL_MOUSEWHEEL: {
      if (modal) return;
      HWND window = WindowOfId(e.wheel.windowID);
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      int delta = e.wheel.y * WHEEL_DELTA;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
      if (window && delta != 0) PostMouseWheel(window, delta, x, y);
      break;
    }
    default:
      break;  // SDL_QUIT among others: closing arrives per window
  }
}

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
  SDL_Window* window =
      SDL_CreateWindow(w.title.c_str(), w.x, w.y, std::max(1, w.clientWidth), std::max(1, w.clientHeight), flags);
  if (window == nullptr) {
    std::fprintf(stderr, "cannot open a window: %s\n", SDL_GetError());
    std::fflush(stderr);
    return false;
  }
  SDL_SetWindowData(window, kHandleKey, w.handle);
  SdlWindows& all = Registry();
  std::lock_guard<std::mutex> lock(all.mu);
  all.of[w.handle] = window;
  return true;
}

void Destroy(HWND window) {
  SDL_Window* sdlWindow = nullptr;
  {
    SdlWindows& all = Registry();
    std::lock_guard<std::mutex> lock(all.mu);
    auto it = all.of.find(window);
    if (it == all.of.end()) return;
    sdlWindow = it->second;
    all.of.erase(it);
  }
  SDL_DestroyWindow(sdlWindow);
}

uint32_t* Surface(HWND window, int width, int height) {
  SDL_Window* sdlWindow = SdlWindowOf(window);
  if (sdlWindow == nullptr) return nullptr;
  SDL_Surface* screen = SDL_GetWindowSurface(sdlWindow);
  if (screen == nullptr || screen->format->format != SDL_PIXELFORMAT_RGB888 || screen->w != width ||
      screen->h != height || screen->pitch != width * 4 || SDL_MUSTLOCK(screen))
    return nullptr;
  return static_cast<uint32_t*>(screen->pixels);
}

bool Present(HWND window, const uint32_t* pixels, int width, int height, const RECT& changed) {
  SDL_Window* sdlWindow = SdlWindowOf(window);
  if (sdlWindow == nullptr) return true;  // nothing on screen to show it in
  if (pixels == nullptr) {
    const SDL_Rect r{changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top};
    return SDL_UpdateWindowSurfaceRects(sdlWindow, &r, 1) == 0;
  }
  if (width <= 0 || height <= 0) return true;
  SDL_Surface* screen = SDL_GetWindowSurface(sdlWindow);
  if (screen == nullptr) return true;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_RGB888);
  if (source == nullptr) return true;
  SDL_BlitSurface(source, nullptr, screen, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(sdlWindow);
  return true;
}

std::unique_ptr<x11::Presenter> OpenPresenter(HWND window) {
  SDL_Window* sdlWindow = SdlWindowOf(window);
  return sdlWindow != nullptr ? x11::Presenter::Open(sdlWindow) : nullptr;
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
  modal = modalNow;
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) Translate(e);
  modal = false;
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
  SDL_Window* sdlWindow = SdlWindowOf(window);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (sdlWindow == nullptr || !SDL_GetWindowWMInfo(sdlWindow, &info)) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11) return static_cast<unsigned long>(info.info.x11.window);
#endif
  return 0;
}

}  // namespace

const Backend kSdlBackend = {Start,    Create, Destroy, Surface, Present,    OpenPresenter,
                             SetTitle, Show,   Pump,    Wait,    ScreenSize, NativeWindow};

}  // namespace lumo::user
