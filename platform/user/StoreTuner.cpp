#include "user/StoreTuner.h"

namespace lumo::user {

void StoreTuner::Presented(double now) {
  if (!trial_) {
    if (now < nextTrial_) return;
    trial_ = true;
    started_ = false;
  }
  if (!started_) {
    // The frame just shown opens the trial; blocks alternate, ordinary first.
    started_ = true;
    stream_ = false;
    frames_ = blocks_ = 0;
    spent_[0] = spent_[1] = 0;
    blockStart_ = now;
    return;
  }
  if (++frames_ < kBlockFrames) return;
  spent_[stream_ ? 1 : 0] += now - blockStart_;
  blockStart_ = now;
  frames_ = 0;
  // A program that is not pushing frames gains nothing from either way:
  // the ordinary stores, without the rest of the trial.
  if (++blocks_ == 1 && spent_[0] > kBusyFrameSeconds * kBlockFrames) {
    Keep(false, now);
    return;
  }
  stream_ = !stream_;
  if (blocks_ < 2 * kBlocksEach) return;
  // Streaming has to win clearly: the ordinary stores are the usual case.
  Keep(spent_[1] < 0.97 * spent_[0], now);
}

void StoreTuner::Keep(bool stream, double now) {
  stream_ = stream;
  trial_ = false;
  nextTrial_ = now + kKeepSeconds;
}

}  // namespace lumo::user
