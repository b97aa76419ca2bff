// SPDX-License-Identifier: MIT
// A connection of the layer's own to the X server that shows an SDL window,
// for its shared-memory images: their requests and completion events travel
// on it, never on SDL's. The layer's only Xlib user besides SDL.
//
// X errors reach one handler for the whole process. Those on these
// connections fail that connection instead of ending the process; others go
// on to the handler that was there before (SDL's).
//
// Losing the server is met inside an Xlib call, on whichever thread made it;
// Xlib's own handling would print and call exit() there, and its state is not
// fit to go on if the handler returns. On the thread that opened the
// connection (the windows' thread) the program ends at once
// (DisplayLoss.h); on any other (the presenter's) the connection is marked
// lost, whoever waits for that thread is told, and the thread stays inside
// the call until the windows' thread ends the program.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// The layer's headers first: Xlib's macros (None, Bool, ...) must not reach them.
#include "LumoPlatform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

struct SDL_Window;

namespace lumo::user {

// The exit handler of the layer's own connections (see above).
[[noreturn]] void OnOwnConnectionLost(Display* display, void* connection);

// Other programs' windows (the foreign parents, ForeignWindow.h), looked at
// on a connection of the layer's own whose errors fail only the question
// asked. False when there is no such window (or no display); else its size
// and whether it is mapped.
bool ForeignWindowSize(unsigned long id, int* width, int* height);
// The root window of the watch connection's screen; 0 without a display.
unsigned long ForeignRootWindow();
// The watch connection itself (opened on first use; null without a display).
// The layer's children inside foreign parents are made on it.
Display* ForeignWatch();
// Errors about `id` on any connection are expected, and dropped: a window
// inside a foreign parent goes with it whenever that program likes.
void ExpectLossOf(unsigned long id);
void ForgetLossOf(unsigned long id);

class X11Connection {
 public:
  // A connection for `window` when it is an X11 window on a display with
  // shared memory whose pixels are 0x00RRGGBB; else null.
  static std::unique_ptr<X11Connection> Open(SDL_Window* window);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  Display* display() const { return display_; }
  ::Window window() const { return window_; }
  Visual* visual() const { return visual_; }
  int depth() const { return depth_; }
  GC gc() const { return gc_; }
  // The event type of a shared-memory put's completion.
  int completionType() const { return completionType_; }

  // After an X error, a timeout or the loss of the server: nothing more is
  // shown through this connection.
  bool Failed() const { return failed_.load(); }
  void Fail() { failed_.store(true); }
  // The server is gone.
  bool Lost() const { return lost_.load(); }
  // Called on another thread than the opener's when the server is gone,
  // before that thread stops for good.
  void OnLost(std::function<void()> tell) { tell_ = std::move(tell); }

 private:
  X11Connection() = default;
  friend void OnOwnConnectionLost(Display*, void*);

  Display* display_ = nullptr;
  ::Window window_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  GC gc_ = nullptr;
  int completionType_ = 0;
  std::atomic<bool> failed_{false};
  std::atomic<bool> lost_{false};
  std::thread::id opener_;
  std::function<void()> tell_;
};

}  // namespace lumo::user
