// SPDX-License-Identifier: MIT
// The choice of how frames are written, on a simulated clock: it must settle
// on the fastest way, follow a change of which way is faster within about a
// second, and keep the first way for a program that is not pushing frames.
#include <gtest/gtest.h>

#include "user/PresentWayTuner.h"

namespace {

struct TSimulation {
  lumo::user::PresentWayTuner Tuner;
  double Now = 0;

  // Runs `Seconds` of frames costing `Cached` or `Stream` seconds each, as
  // the tuner chose for them; returns the share written around the caches.
  double Run(double Seconds, double Cached, double Stream) {
    int Frames = 0, Streamed = 0;
    for (const double End = Now + Seconds; Now < End; ++Frames) {
      const bool Streaming = Tuner.Stream();
      Streamed += Streaming;
      Now += Streaming ? Stream : Cached;
      Tuner.Presented(Now);
    }
    return static_cast<double>(Streamed) / Frames;
  }
};

TEST(PresentWayTuner, KeepsTheFasterWayAndFollowsAChange) {
  TSimulation Far;
  Far.Run(0.1, 200e-6, 120e-6);  // the first trial
  EXPECT_GT(Far.Run(3, 200e-6, 120e-6), 0.97) << "streaming is faster: nearly every frame streams";
  Far.Run(1.1, 100e-6, 180e-6);  // the processors come close: within the next trial
  EXPECT_LT(Far.Run(3, 100e-6, 180e-6), 0.03) << "ordinary stores are faster again";

  TSimulation Near;
  EXPECT_LT(Near.Run(3, 100e-6, 180e-6), 0.03);
  // A difference within the noise keeps the ordinary stores.
  EXPECT_LT(Near.Run(3, 100e-6, 99e-6), 0.03);

  // A program showing a frame now and then gains nothing from either way.
  TSimulation Idle;
  EXPECT_EQ(Idle.Run(5, 16e-3, 8e-3), 0.0);
}

// With the presenter's thread timed too, each way is tried and the fastest
// kept, whichever it is.
TEST(PresentWayTuner, FindsTheFastestOfItsWays) {
  using lumo::user::PresentWayTuner;
  const unsigned Stream = PresentWayTuner::kStream, Thread = PresentWayTuner::kThread;
  // Seconds per frame of each way, indexed by its bits.
  const double Costs[4][4] = {{300e-6, 320e-6, 200e-6, 250e-6},
                              {300e-6, 200e-6, 320e-6, 250e-6},
                              {200e-6, 320e-6, 300e-6, 250e-6},
                              {300e-6, 250e-6, 320e-6, 200e-6}};
  const unsigned Fastest[4] = {Thread, Stream, 0, Stream | Thread};
  for (int Case = 0; Case < 4; ++Case) {
    PresentWayTuner Tuner(Stream | Thread);
    double Now = 0;
    int Frames = 0, Kept = 0;
    for (; Now < 3; ++Frames) {
      Kept += Tuner.Way() == Fastest[Case];
      Now += Costs[Case][Tuner.Way()];
      Tuner.Presented(Now);
    }
    EXPECT_GT(static_cast<double>(Kept) / Frames, 0.85) << "way " << Fastest[Case];
  }
}

}  // namespace
