// SPDX-License-Identifier: MIT
// SDL's events turned into the layer's messages and actions: input for the
// window it happened in, size changes read back from SDL when their turn in
// the queue comes, exposure, moving and the close box.
#include <SDL.h>

#include "user/Input.h"
#include "user/Keys.h"
#include "user/MessageQueue.h"
#include "user/SdlWindows.h"
#include "user/State.h"
#include "user/Timers.h"
#include "user/Windows.h"

namespace lumo::user {

namespace {

HWND WindowOfId(uint32_t id) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(id);
  if (sdlWindow == nullptr) return nullptr;
  HWND window = static_cast<HWND>(SDL_GetWindowData(sdlWindow, kSdlHandleKey));
  WindowPtr w = LookupWindow(window);
  return w && !w->destroying ? window : nullptr;
}

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

}  // namespace

void TranslateSdlEvent(const SDL_Event& e, bool modal) {
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

}  // namespace lumo::user
