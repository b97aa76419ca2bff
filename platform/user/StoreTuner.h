// Whether a window's frames are better written around the processor's
// caches. The X server reads each frame from the shared image right after it
// is written; when it runs on a processor far from the writer's, ordinary
// stores pull every line across twice and streaming stores are much faster,
// while on the same or a near processor they are slower. Which holds can
// change while the program runs (a virtual machine's processors move), so
// the tuner times short blocks of frames written each way, keeps the faster
// way for a second, and then times again.
#pragma once

namespace lumo::user {

class StoreTuner {
 public:
  // Frames per timed block, blocks of each way per trial, the time one
  // choice is kept, and the frame time above which the program is not
  // pushing frames and the ordinary stores are kept without a trial.
  static constexpr int kBlockFrames = 16;
  static constexpr int kBlocksEach = 3;
  static constexpr double kKeepSeconds = 1.0;
  static constexpr double kBusyFrameSeconds = 0.005;

  // Called once a frame is shown, with a steady clock in seconds.
  void Presented(double now);
  // How the next frame is to be written.
  bool Stream() const { return stream_; }

 private:
  void Keep(bool stream, double now);

  bool trial_ = true;
  bool started_ = false;
  bool stream_ = false;
  int frames_ = 0;  // in the current block
  int blocks_ = 0;  // of the current trial
  double blockStart_ = 0;
  double spent_[2] = {0, 0};  // per way: time of its blocks in this trial
  double nextTrial_ = 0;
};

}  // namespace lumo::user
