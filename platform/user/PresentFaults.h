// SPDX-License-Identifier: MIT
// Failures the tests make the shared-memory presenter meet, as a display
// might: each is armed by the test seam and strikes once, at the next
// occasion. Nothing arms them outside tests.
#pragma once

#include <atomic>

namespace lumo::user {

struct PresentFaults {
  std::atomic<bool> imageCreation{false};  // the next image cannot be made
  std::atomic<bool> put{false};            // the next put fails, as on an X error
  std::atomic<bool> threadFrame{false};    // the presenter's thread cannot show the next frame it is handed
};

PresentFaults& Faults();

// Whether `fault` is armed, disarming it.
inline bool Strikes(std::atomic<bool>& fault) { return fault.exchange(false); }

}  // namespace lumo::user
