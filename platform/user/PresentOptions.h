// SPDX-License-Identifier: MIT
// How the layer presents windows' frames, as the environment asks: read once,
// on first use. The variables and their values are listed in the README
// (Speed).
#pragma once

namespace lumo::user {

struct PresentOptions {
  bool sharedMemory = true;  // shared-memory images of the layer's own where the display allows
  bool alternate = false;    // every frame into the other image (tests of the catching up)
  // The ways of presenting the tuner times, and those always taken (bits
  // of PresentWayTuner).
  unsigned timedWays = 0;
  unsigned fixedWays = 0;
  bool log = false;  // a line about the presentations every second on stderr
};

const PresentOptions& Options();

}  // namespace lumo::user
