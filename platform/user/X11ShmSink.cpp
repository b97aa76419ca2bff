// SPDX-License-Identifier: MIT
// Frames through two shared-memory images of the layer's own on an X display
// (X11ImagePair.h), on a connection of its own (X11Display.h). SDL's window
// surface puts its image and then waits for the X server to finish, so
// drawing and the server's copy never overlap; here they do.
//
// An 8-bit frame may be expanded and put by a thread of the sink's own
// (FrameWorker.h), from a copy of its indices, while the program computes
// the next one: the server, woken by that thread's put, then runs on its
// processor rather than taking the drawing one's. Whether that pays, and
// whether frames are best written around the caches, the tuner finds out by
// timing (PresentWayTuner.h).
#include <atomic>
#include <chrono>

#include "user/DisplayLoss.h"
#include "user/FrameSink.h"
#include "user/FrameWorker.h"
#include "user/PresentFaults.h"
#include "user/PresentOptions.h"
#include "user/PresentWayTuner.h"
#include "user/SdlWindows.h"
#include "user/X11ImagePair.h"

namespace lumo::user {

PresentFaults& Faults() {
  static PresentFaults faults;
  return faults;
}

namespace {

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// What the sink's thread and the caller share, one at a time.
struct Presenter {
  Presenter(X11Connection& connection, const PresentOptions& options, std::atomic<int>& streamed)
      : images(connection, options.alternate), tuner(options.timedWays, options.fixedWays), streamed(streamed) {}

  // GDI has already written these pixels with ordinary stores, whatever the
  // tuner's way: such a frame is not streamed and says nothing about the
  // ways it times.
  bool Show(const RECT& changed) { return images.Show(changed); }

  bool ShowIndexed(const platform::IndexedFrame& frame) {
    // Counted in the way the frame was written, before the tuner moves on.
    const bool stream = tuner.Stream();
    if (!images.ShowIndexed(frame, stream)) return false;
    if (stream) ++streamed;
    tuner.Presented(Seconds());
    return true;
  }

  // A frame handed to the thread. One it cannot show fails the images,
  // whatever the reason, so the caller's next call finds the failure.
  static bool ShowHanded(Presenter& p, const platform::IndexedFrame& frame) {
    if (!Strikes(Faults().threadFrame) && p.ShowIndexed(frame)) return true;
    p.images.Fail();
    return false;
  }

  X11ImagePair images;
  PresentWayTuner tuner;
  std::atomic<int>& streamed;
};

class X11ShmSink final : public FrameSink {
 public:
  explicit X11ShmSink(std::unique_ptr<X11Connection> connection)
      : connection_(std::move(connection)), worker_(Presenter::ShowHanded, *connection_, Options(), streamed_) {
    connection_->OnLost([this] { worker_.Abandon(); });
  }

  const char* Name() const override { return "shared memory"; }

  bool Start(int width, int height, const uint32_t* picture) override {
    auto p = Use();
    width_ = width;
    height_ = height;
    return p->images.SetSize(width, height, picture);
  }

  uint32_t* Pixels(const RECT* overwrite) override { return Use()->images.Pixels(overwrite); }
  void Changed(const RECT& changed) override { Use()->images.Changed(changed); }
  bool Show(const RECT& changed) override { return Use()->Show(changed); }

  bool ShowIndexed(const platform::IndexedFrame& frame) override {
    auto p = Use();
    if (p->images.Failed()) return false;
    if (p->tuner.Thread() && p.Hand(frame)) return true;
    return p->ShowIndexed(frame);
  }

  void Read(uint32_t* out) override {
    auto p = Use();
    p->images.CopyOut(out);
    // A frame the thread could not show is part of the picture all the same.
    if (const platform::IndexedFrame* lost = p.Lost()) lost->WriteInto(out, width_, false);
  }

  bool DisplayLost() const override { return connection_->Lost(); }
  int Streamed() const override { return streamed_.load(); }

 private:
  // The presenter once the thread is done with it.
  FrameWorker<Presenter>::Idle Use() {
    auto p = worker_.Wait();
    // The display went away under the thread, which keeps its frame: the
    // program ends here, on the windows' thread.
    if (p.Abandoned()) EndForLostDisplay();
    return p;
  }

  // Declared first: the images go back before their connection closes.
  std::unique_ptr<X11Connection> connection_;
  std::atomic<int> streamed_{0};
  FrameWorker<Presenter> worker_;
};

}  // namespace

std::unique_ptr<FrameSink> OpenX11ShmSink(HWND window) {
  if (!Options().sharedMemory) return nullptr;
  std::unique_ptr<X11Connection> connection = X11Connection::Open(SdlWindowOf(window));
  if (!connection) return nullptr;
  return std::make_unique<X11ShmSink>(std::move(connection));
}

}  // namespace lumo::user
