// SPDX-License-Identifier: MIT
// A thread of the presenter's own that shows 8-bit frames while the program
// computes the next. It holds one frame at most, copied when handed over, and
// it owns the state the frames are shown through (the shared images): that
// state is reached only through Wait(), which first waits for the frame the
// thread holds, so no caller can touch it while the thread does.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "common/IndexedFrame.h"

namespace lumo::user {

// Height rows of Width indices, InStep bytes apart, packed one after the
// other into Out, whose lines are written around the caches and fenced: Out
// is read next on another processor (the worker's thread), and ordinary
// stores to lines that processor read last time cost several times the copy.
void CopyRowsStreaming(const uint8_t* In, ptrdiff_t InStep, uint8_t* Out, int Width, int Height);

template <class State>
class FrameWorker {
 public:
  // Writes and shows one frame through the state; false when it could not.
  using ShowFrame = bool (*)(State& state, const platform::IndexedFrame& frame);

  template <class... Args>
  explicit FrameWorker(ShowFrame show, Args&&... args) : state_(std::forward<Args>(args)...), show_(show) {}
  ~FrameWorker() {
    std::unique_lock<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
    // After the frame it holds, unless it was abandoned with it.
    changed_.wait(lock, [this] { return !pending_ || abandoned_; });
    const bool abandoned = abandoned_;
    lock.unlock();
    if (!thread_.joinable()) return;
    if (abandoned)
      thread_.detach();  // it never comes back
    else
      thread_.join();
  }
  FrameWorker(const FrameWorker&) = delete;
  FrameWorker& operator=(const FrameWorker&) = delete;

  // The state while the thread holds no frame; it is handed none while this
  // lives, so only one thread at a time uses the state.
  class Idle {
   public:
    State& operator*() const { return worker_->state_; }
    State* operator->() const { return &worker_->state_; }
    // The thread was abandoned holding a frame (see Abandon): the state is
    // still in its hands and must not be touched.
    bool Abandoned() const { return worker_->abandoned_; }
    // The last frame handed over, when the thread could not show it (its
    // rows packed, Width() apart); else null.
    const platform::IndexedFrame* Lost() const { return worker_->lost_ ? &worker_->held_ : nullptr; }
    // Hands a copy of `frame` to the thread, which shows it while the caller
    // goes on, and ends this access. False when no thread can be had: then
    // nothing is handed and the caller shows the frame itself.
    bool Hand(const platform::IndexedFrame& frame) {
      if (!worker_->Running()) return false;
      worker_->Hold(frame);
      lock_.unlock();
      worker_->changed_.notify_all();
      worker_ = nullptr;
      return true;
    }

   private:
    friend class FrameWorker;
    Idle(FrameWorker* worker, std::unique_lock<std::mutex> lock) : worker_(worker), lock_(std::move(lock)) {}
    FrameWorker* worker_;
    std::unique_lock<std::mutex> lock_;
  };

  // Waits until the thread holds no frame, or has been abandoned.
  Idle Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !pending_ || abandoned_; });
    return Idle(this, std::move(lock));
  }

  // Called from the thread, inside showing a frame, when it will never
  // finish (the display went away under it): Wait() returns from now on,
  // with Abandoned() set.
  void Abandon() {
    // Told under the lock: once a waiter sees abandoned_ it may destroy the
    // worker, and this thread must be done with it by then.
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
  }

 private:
  // Starts the thread on first use; false when the process may not have one.
  bool Running() {
    if (thread_.joinable()) return true;
    if (noThread_) return false;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      noThread_ = true;
    }
    return !noThread_;
  }

  // Under the lock, the thread idle.
  void Hold(const platform::IndexedFrame& frame) {
    const int width = frame.Width(), height = frame.Height();
    indices_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    CopyRowsStreaming(frame.rows, frame.rowStep, indices_.data(), width, height);
    table_ = *frame.table;
    held_ = platform::IndexedFrame{frame.rect, indices_.data(), width, &table_, frame.writeRows};
    lost_ = false;
    pending_ = true;
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return pending_ || stopping_; });
      if (!pending_) return;
      lock.unlock();
      const bool shown = show_(state_, held_);
      lock.lock();
      lost_ = !shown;
      pending_ = false;
      changed_.notify_all();
    }
  }

  State state_;
  ShowFrame show_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;  // the thread holds a frame
  bool stopping_ = false;
  bool lost_ = false;      // it could not show the last one
  bool noThread_ = false;  // none could be started
  bool abandoned_ = false;
  std::thread thread_;
  std::vector<uint8_t> indices_;
  platform::PaletteTable table_{};
  platform::IndexedFrame held_{};
};

}  // namespace lumo::user
