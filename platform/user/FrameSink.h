// SPDX-License-Identifier: MIT
// Where a window's frames go. Each backend offers its sinks best first (see
// Backend.h): on an X display two shared-memory images of the layer's own
// (X11ShmSink.cpp), SDL's window surface (SdlSurfaceSink.cpp), and memory
// that nothing shows (MemorySink.cpp, the headless backend's only sink and
// every window's before it is on screen). A window keeps the first sink that
// starts; one that fails gives its picture to the next one down.
//
// A sink is used from the thread that owns its window only.
#pragma once

#include <cstdint>
#include <memory>

#include "LumoPlatform.h"
#include "common/IndexedFrame.h"

namespace lumo::user {

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // What it is, for tests: "shared memory", "window surface" or "memory".
  virtual const char* Name() const = 0;
  // From now on the picture is width x height pixels, 0x00RRGGBB with rows
  // width apart, starting as `picture`. False when the sink cannot show
  // that size; it is then not used again. An empty size (a minimised
  // window) always starts.
  virtual bool Start(int width, int height, const uint32_t* picture) = 0;
  // The pixels to draw into: the picture, except inside `overwrite` (when
  // given), which the caller writes in full before showing it. Valid until
  // the next Show or Start. Null once the sink has failed.
  virtual uint32_t* Pixels(const RECT* overwrite) = 0;
  // The pixels changed inside `changed` without being shown.
  virtual void Changed(const RECT& changed) { (void)changed; }
  // Puts `changed` (inside the picture, not empty) on screen. False once
  // the sink has failed.
  virtual bool Show(const RECT& changed) = 0;
  // Writes an 8-bit frame (inside the picture, not empty) and shows it,
  // perhaps later on a thread of its own. False once the sink has failed;
  // whether the frame got into the picture then is for Read to tell.
  virtual bool ShowIndexed(const platform::IndexedFrame& frame);
  // The picture, width x height, into `out`. After a failure it holds
  // everything the sink was given, shown or not.
  virtual void Read(uint32_t* out) = 0;
  // The display itself went away: no other sink can show anything.
  virtual bool DisplayLost() const { return false; }
  // Frames shown so far that were written around the processor's caches.
  virtual int Streamed() const { return 0; }

 protected:
  int width_ = 0;  // of the picture, set by Start
  int height_ = 0;
};

// The sinks there are. Each gives one for `window`, or null where it cannot
// be had (not an X11 window, no shared memory on the display).
std::unique_ptr<FrameSink> OpenX11ShmSink(HWND window);
std::unique_ptr<FrameSink> OpenSdlSurfaceSink(HWND window);
std::unique_ptr<FrameSink> OpenMemorySink(HWND window);

}  // namespace lumo::user
