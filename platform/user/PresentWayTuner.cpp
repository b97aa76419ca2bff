// SPDX-License-Identifier: MIT
// Timing the ways of presenting in blocks of frames, and keeping the fastest.
#include "user/PresentWayTuner.h"

namespace lumo::user {

PresentWayTuner::PresentWayTuner(unsigned vary, unsigned fixed) {
  vary &= (kStream | kThread) & ~fixed;
  // Every combination of the varying bits, the one without them first.
  for (unsigned bits = 0; bits <= (kStream | kThread); ++bits)
    if ((bits & ~vary) == 0) ways_[count_++] = fixed | bits;
}

void PresentWayTuner::Presented(double now) {
  if (!trial_) {
    if (now < nextTrial_) return;
    trial_ = true;
    started_ = false;
  }
  if (!started_) {
    // The frame just shown opens the trial; blocks take the ways in turn,
    // the first one first.
    started_ = true;
    current_ = 0;
    frames_ = blocks_ = 0;
    for (double& s : spent_) s = 0;
    blockStart_ = now;
    if (count_ == 1) Keep(0, now);
    return;
  }
  if (++frames_ < kBlockFrames) return;
  spent_[current_] += now - blockStart_;
  blockStart_ = now;
  frames_ = 0;
  // A program that is not pushing frames gains nothing from any way: the
  // first, without the rest of the trial.
  if (++blocks_ == 1 && spent_[0] > kBusyFrameSeconds * kBlockFrames) {
    Keep(0, now);
    return;
  }
  current_ = (current_ + 1) % count_;
  if (blocks_ < count_ * kBlocksEach) return;
  // Another way has to win clearly: the first is the usual case.
  int best = 0;
  for (int i = 1; i < count_; ++i)
    if (spent_[i] < 0.97 * spent_[0] && spent_[i] < spent_[best]) best = i;
  Keep(best, now);
}

void PresentWayTuner::Keep(int way, double now) {
  current_ = way;
  trial_ = false;
  nextTrial_ = now + kKeepSeconds;
}

}  // namespace lumo::user
