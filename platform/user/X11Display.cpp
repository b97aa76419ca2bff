// SPDX-License-Identifier: MIT
// Opening and closing the layer's own X connections, and what happens to X
// errors and to the loss of the server, on those and on SDL's.
#include "user/X11Display.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "user/DisplayLoss.h"
#include "user/SdlWindows.h"

namespace lumo::user {

namespace {

std::mutex registryMutex;
std::vector<X11Connection*> registry;
XErrorHandler previousHandler = nullptr;
// The watch connection and the ids whose errors are dropped (registryMutex).
Display* watch = nullptr;
bool watchFailed = false;
std::vector<unsigned long> expectedLosses;

int OnXError(Display* display, XErrorEvent* event) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (display == watch) {
      watchFailed = true;
      return 0;
    }
    if (std::find(expectedLosses.begin(), expectedLosses.end(), event->resourceid) != expectedLosses.end()) return 0;
    for (X11Connection* connection : registry) {
      if (connection->display() == display) {
        connection->Fail();
        return 0;
      }
    }
  }
  return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

// Called first on the loss of any connection: quiet, since each connection's
// exit handler says and does what the loss means.
int OnLostServer(Display*) { return 0; }

// SDL uses its connection on the windows' thread only.
void OnSdlConnectionLost(Display*, void*) { EndForLostDisplay(); }

void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    previousHandler = XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnLostServer);
  });
}

void Register(X11Connection* connection) {
  std::lock_guard<std::mutex> lock(registryMutex);
  registry.push_back(connection);
}

void Unregister(X11Connection* connection) {
  std::lock_guard<std::mutex> lock(registryMutex);
  std::erase(registry, connection);
}

Display* Watch();

}  // namespace

Display* ForeignWatch() { return Watch(); }

namespace {

Display* Watch() {
  static std::once_flag once;
  std::call_once(once, [] {
    InstallHandlers();
    Display* display = XOpenDisplay(nullptr);
    std::lock_guard<std::mutex> lock(registryMutex);
    watch = display;
  });
  return watch;
}

}  // namespace

bool ForeignWindowSize(unsigned long id, int* width, int* height) {
  Display* display = Watch();
  if (display == nullptr || id == 0) return false;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    watchFailed = false;
  }
  XWindowAttributes attributes;
  const bool known = XGetWindowAttributes(display, id, &attributes) != 0;
  XSync(display, False);
  std::lock_guard<std::mutex> lock(registryMutex);
  if (!known || watchFailed) return false;
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

unsigned long ForeignRootWindow() {
  Display* display = Watch();
  return display == nullptr ? 0 : DefaultRootWindow(display);
}

void ExpectLossOf(unsigned long id) {
  std::lock_guard<std::mutex> lock(registryMutex);
  expectedLosses.push_back(id);
}

void ForgetLossOf(unsigned long id) {
  std::lock_guard<std::mutex> lock(registryMutex);
  std::erase(expectedLosses, id);
}

void OnOwnConnectionLost(Display*, void* data) {
  X11Connection* connection = static_cast<X11Connection*>(data);
  if (std::this_thread::get_id() == connection->opener_) EndForLostDisplay();
  connection->lost_.store(true);
  connection->failed_.store(true);
  if (connection->tell_) connection->tell_();
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

void WatchDisplayOf(SDL_Window* window) {
  Display* display = nullptr;
  ::Window x11Window = 0;
  if (!X11Of(window, &display, &x11Window)) return;
  InstallHandlers();
  XSetIOErrorExitHandler(display, OnSdlConnectionLost, nullptr);
}

std::unique_ptr<X11Connection> X11Connection::Open(SDL_Window* window) {
  Display* sdlDisplay = nullptr;
  ::Window x11Window = 0;
  if (!X11Of(window, &sdlDisplay, &x11Window) || !XShmQueryExtension(sdlDisplay)) return nullptr;
  InstallHandlers();
  std::unique_ptr<X11Connection> c(new X11Connection);
  c->opener_ = std::this_thread::get_id();
  c->display_ = XOpenDisplay(DisplayString(sdlDisplay));
  if (c->display_ == nullptr) return nullptr;
  XSetIOErrorExitHandler(c->display_, OnOwnConnectionLost, c.get());
  Register(c.get());
  c->window_ = x11Window;
  XWindowAttributes attributes;
  if (!XShmQueryExtension(c->display_) || !XGetWindowAttributes(c->display_, c->window_, &attributes) || c->Failed())
    return nullptr;
  // SDL gives its windows a DirectColor visual with an identity colour map
  // when the screen has one: pixels mean the same as in TrueColor.
  const Visual* v = attributes.visual;
  if (v == nullptr || (v->c_class != TrueColor && v->c_class != DirectColor) ||
      (attributes.depth != 24 && attributes.depth != 32) || v->red_mask != 0xFF0000 || v->green_mask != 0xFF00 ||
      v->blue_mask != 0xFF)
    return nullptr;
  c->visual_ = attributes.visual;
  c->depth_ = attributes.depth;
  c->completionType_ = XShmGetEventBase(c->display_) + ShmCompletion;
  c->gc_ = XCreateGC(c->display_, c->window_, 0, nullptr);
  if (c->gc_ == nullptr) return nullptr;
  return c;
}

X11Connection::~X11Connection() {
  if (display_ == nullptr) return;
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  // Closing waits for the server, so errors still reach the handler as ours.
  XCloseDisplay(display_);
  Unregister(this);
}

}  // namespace lumo::user
