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

int OnXError(Display* display, XErrorEvent* event) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
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

}  // namespace

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
