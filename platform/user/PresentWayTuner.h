// SPDX-License-Identifier: MIT
// The way a window's frames are presented, chosen by timing: written through
// the processor's caches or around them, and on the drawing thread or the
// presenter's own. The X server reads each frame from the shared image right
// after it is written; when it runs on a processor far from the writer's,
// ordinary stores pull every line across twice and streaming stores are much
// faster, while on the same or a near processor they are slower. An 8-bit
// frame may also be expanded and put by the presenter's own thread, which
// frees the drawing thread for the next frame but costs a hand-over per
// frame: that pays for a long frame and not for a short one. Which way is
// fastest can change while the program runs (a virtual machine's processors
// move), so the tuner times short blocks of frames presented each way, keeps
// the fastest for a second, and then times again.
#pragma once

namespace lumo::user {

class PresentWayTuner {
 public:
  // The parts of a way, as bits: streaming stores, and the presenter's own
  // thread.
  static constexpr unsigned kStream = 1;
  static constexpr unsigned kThread = 2;

  // Frames per timed block, blocks of each way per trial, the time one
  // choice is kept, and the frame time above which the program is not
  // pushing frames and the first way is kept without a trial.
  static constexpr int kBlockFrames = 16;
  static constexpr int kBlocksEach = 3;
  static constexpr double kKeepSeconds = 1.0;
  static constexpr double kBusyFrameSeconds = 0.005;

  // `fixed` bits are always set; each combination of the `vary` bits is
  // timed. The first way (none of them) is the usual case, which another
  // has to beat clearly.
  explicit PresentWayTuner(unsigned vary = kStream, unsigned fixed = 0);

  // Called once a frame is shown, with a steady clock in seconds.
  void Presented(double now);
  // How the next frame is to be written and put.
  unsigned Way() const { return ways_[current_]; }
  bool Stream() const { return (Way() & kStream) != 0; }
  bool Thread() const { return (Way() & kThread) != 0; }

 private:
  void Keep(int way, double now);

  unsigned ways_[4] = {};
  int count_ = 0;  // ways timed
  bool trial_ = true;
  bool started_ = false;
  int current_ = 0;  // index into ways_
  int frames_ = 0;   // in the current block
  int blocks_ = 0;   // of the current trial
  double blockStart_ = 0;
  double spent_[4] = {};  // per way: time of its blocks in this trial
  double nextTrial_ = 0;
};

}  // namespace lumo::user
