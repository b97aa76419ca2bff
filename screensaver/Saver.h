// SPDX-License-Identifier: MIT
// The screensaver shell both programs share, in the same Win32 terms as
// their program shells: one window (the program's own, one inside a window
// someone else made, or one over the whole screen), a frame whenever the
// queue is empty followed by a pause, and a one-second tick. Only the
// full-screen kind ends on input; the others ignore it.
#pragma once

#include <atomic>
#include <cstdint>

#include "LumoPlatform.h"

// What a program's effect gives the shell.
struct TSaverEffect {
  const char* Caption;                            // of the program's own window
  void (*Start)();                                // surfaces and palettes, before the window
  void (*Resize)(int32_t Width, int32_t Height);  // the client size, from WM_SIZE
  void (*Frame)(HDC DC);                          // compute one frame and draw it
  void (*Paint)(HDC DC);                          // draw the last frame again
  void (*Second)();                               // the one-second tick
  void (*Stop)();                                 // free what Start made
};

enum class TSaverPlace {
  OwnWindow,   // a window of its own, for trying it out
  Inside,      // a child filling Parent: a preview, a daemon's or locker's window
  FullScreen,  // a topmost popup over the whole virtual screen (Windows)
};

struct TSaverRun {
  TSaverPlace Place = TSaverPlace::OwnWindow;
  HWND Parent = nullptr;
  // After each frame: at least PauseMicroseconds, and as long as it takes
  // for a frame to last FrameMicroseconds (0: no such floor).
  uint32_t PauseMicroseconds = 0;
  uint32_t FrameMicroseconds = 0;
};

// The shell's window while it runs (null before and after): another thread
// may post WM_CLOSE to it to end the run.
extern std::atomic<HWND> SaverWindow;

// Runs the effect until its window goes. Returns the exit status: 0, or 1
// when no window could be made.
int RunSaver(const TSaverEffect& Effect, const TSaverRun& Run);

// Whether a pointer that started at (StartX, StartY) and is now at (X, Y)
// has moved far enough to end a full-screen run.
bool MovedFarEnough(int32_t StartX, int32_t StartY, int32_t X, int32_t Y);
