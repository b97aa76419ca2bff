// SPDX-License-Identifier: MIT
// The windowing system behind the layer's windows, as one table of entries.
// Three backends fill it: SDL (Sdl.cpp) puts the windows on a real display,
// the web one (web/WebBackend.cpp) makes them canvases of the page in the
// browser, the headless one (Headless.cpp) keeps them in memory only, the
// way SDL's own dummy video driver is just another driver. The rest of the
// window half calls the table and never asks which backend it has.
//
// The backend is chosen once, the first time it is asked for: headless when
// the environment asks for it (LUMO_HEADLESS, see the README), else the
// window system of the build (SDL, or the page in the browser). Each backend
// keeps its own data for a window, keyed by the window's handle.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "LumoPlatform.h"

namespace lumo::user {

struct Window;
class FrameSink;

// Gives a sink for the window's frames, or null where it has none.
using SinkMaker = std::unique_ptr<FrameSink> (*)(HWND window);

struct Backend {
  // Makes the windowing system ready; called before every window is created,
  // it does its work once. When that fails it prints one line and ends the
  // process: the programs never check CreateWindowExA's result.
  void (*start)();
  // A hidden on-screen window for a new record (handle, title, place, size
  // and style are set). False when there can be none, after printing why.
  bool (*create)(const Window& window);
  void (*destroy)(HWND window);
  // Where a window's frames can go (FrameSink.h), best first. A window
  // takes the first that starts and the next one down when that fails;
  // after the last, memory that nothing shows.
  std::span<const SinkMaker> sinks;
  void (*setTitle)(HWND window, const char* title);
  // ShowWindow's command, as the window system shows it.
  void (*show)(HWND window, int command);
  // Turns waiting window-system events into queued messages and actions.
  // `modal`: a modal dialog runs, so only window events count, input is
  // dropped, and exposed windows show what they last drew.
  void (*pump)(bool modal);
  // Waits up to `ms` for a window-system event. False at once when the
  // calling thread's waits are not the backend's to do; the queue then waits
  // for its own messages.
  bool (*wait)(int ms);
  // False when the backend knows no screen.
  bool (*screenSize)(int* width, int* height);
  // The window system's id of the window (the X11 window), 0 when it has none.
  unsigned long (*nativeWindow)(HWND window);
};

extern const Backend kSdlBackend;
extern const Backend kWebBackend;
extern const Backend kHeadlessBackend;

// The backend of this process, chosen on the first call.
const Backend& ActiveBackend();
// Chooses the backend (the headless test seam). Once a window has been made
// the choice stands and this does nothing: every window must stay with the
// backend that holds its data.
void ChooseBackend(const Backend& backend);
// Settles the choice and starts the backend; called before each window is made.
const Backend& StartBackend();

// Reads the windowing system's events into the queues.
void PumpEvents();
// Keeps the windows alive on screen while a modal dialog blocks the thread.
void PumpWhileModal();
// The windowing system's id of a window on screen (0 when headless or
// unknown), so that a dialog program can stay above its owner.
unsigned long NativeWindowOf(HWND window);

}  // namespace lumo::user
