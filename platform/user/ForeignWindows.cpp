// SPDX-License-Identifier: MIT
// Other programs' X windows as parents (lumo_native/ForeignWindow.h). Such a
// window has a record of its own, sized like it, and no SDL window; a child
// inside it is an X window of the layer's own there, taken by SDL, so the
// frame sinks show it like any other. The windows' thread looks at the parents now and then: a
// changed size resizes the children, a parent that went destroys them.
#include "lumo_native/ForeignWindow.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "user/Backend.h"
#include "user/ForeignWindows.h"
#include "user/SdlWindows.h"
#include "user/State.h"
#include "user/Windows.h"
#include "user/X11Display.h"

namespace lumo::user {

namespace {

// The records made here, and the SDL windows placed in them with their X
// window; windows' thread only.
std::vector<HWND> parents;
struct Placed {
  SDL_Window* window;
  ::Window id;
};
std::vector<Placed> placed;

std::vector<WindowPtr> ChildrenOf(HWND parent) {
  std::vector<WindowPtr> children;
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  for (const auto& [handle, w] : s.windows)
    if (w->parent == parent) children.push_back(w);
  return children;
}

void Forget(HWND parent) {
  std::erase(parents, parent);
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  s.windows.erase(parent);
}

}  // namespace

SDL_Window* CreateInForeignParent(unsigned long parent, int width, int height) {
  Display* display = ForeignWatch();
  if (display == nullptr) return nullptr;
  // SDL takes it as a window it did not make, so it never waits for the
  // window's own events to hide it, which would never come once the parent
  // has gone with it.
  XSetWindowAttributes attributes{};
  const ::Window child = XCreateWindow(display, parent, 0, 0, std::max(1, width), std::max(1, height), 0,
                                       CopyFromParent, InputOutput, CopyFromParent, 0, &attributes);
  if (child == 0) return nullptr;
  ExpectLossOf(child);
  XMapWindow(display, child);
  XSync(display, False);
  SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<uintptr_t>(child)));
  if (window == nullptr) {
    XDestroyWindow(display, child);
    XSync(display, False);
    ForgetLossOf(child);
    return nullptr;
  }
  placed.push_back({window, child});
  return window;
}

void DestroyPlacedWindow(SDL_Window* window) {
  auto it = std::find_if(placed.begin(), placed.end(), [window](const Placed& p) { return p.window == window; });
  SDL_DestroyWindow(window);
  if (it == placed.end()) return;
  Display* display = ForeignWatch();
  XDestroyWindow(display, it->id);
  XSync(display, False);
  // Its errors stay expected: SDL's connection may yet report some.
  placed.erase(it);
}

void PollForeignWindows() {
  using Clock = std::chrono::steady_clock;
  static Clock::time_point lastLook;
  if (parents.empty() || Clock::now() - lastLook < std::chrono::milliseconds(100)) return;
  lastLook = Clock::now();
  for (HWND parent : std::vector<HWND>(parents)) {
    WindowPtr record = LookupWindow(parent);
    int width = 0, height = 0;
    if (!record || !ForeignWindowSize(record->foreignId, &width, &height)) {
      // As on Windows, the children go with their parent.
      for (const WindowPtr& child : ChildrenOf(parent)) DestroyWindow(child->handle);
      Forget(parent);
      continue;
    }
    if (width == record->clientWidth && height == record->clientHeight) continue;
    record->clientWidth = width;
    record->clientHeight = height;
    for (const WindowPtr& child : ChildrenOf(parent)) {
      if (SDL_Window* sdlWindow = SdlWindowOf(child->handle)) SDL_SetWindowSize(sdlWindow, width, height);
      ApplyClientSize(child->handle, SizeKind::Restored, width, height);
    }
  }
}

}  // namespace lumo::user

HWND lumo::platform::ForeignWindow(unsigned long id) {
  // Inside the function: the layer's files are compiled in batches, where a
  // file-scope using-directive would reach the files after this one.
  using namespace lumo::user;
  if (&StartBackend() != &kSdlBackend) return nullptr;
  if (id == 0) id = ForeignRootWindow();
  int width = 0, height = 0;
  if (!ForeignWindowSize(id, &width, &height)) return nullptr;
  static std::vector<std::unique_ptr<char>> tokens;  // never reissued, as other handles
  tokens.push_back(std::make_unique<char>());
  auto w = std::make_shared<lumo::user::Window>();
  w->handle = reinterpret_cast<HWND>(tokens.back().get());
  w->owner = std::this_thread::get_id();
  w->foreignId = id;
  w->visible = true;
  w->clientWidth = w->restoredWidth = width;
  w->clientHeight = w->restoredHeight = height;
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    s.windows[w->handle] = w;
  }
  parents.push_back(w->handle);
  return w->handle;
}
