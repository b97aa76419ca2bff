// SPDX-License-Identifier: MIT
// How the layer presents on the web: one way only, the canvas, on the page's
// one thread; none of the native display's choices apply, and a page has no
// environment to ask for the presentation log.
#include "user/PresentOptions.h"

namespace lumo::user {

const PresentOptions& Options() {
  static const PresentOptions options = [] {
    PresentOptions o;
    o.sharedMemory = false;
    return o;
  }();
  return options;
}

}  // namespace lumo::user
