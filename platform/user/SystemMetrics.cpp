// SPDX-License-Identifier: MIT
// GetSystemMetrics: the sizes the programs use to turn the client area they
// want into an outer window size, and the double-click rectangle.
#include "user/SystemMetrics.h"

#include "user/Backend.h"

using namespace lumo::user;

int GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      int w = 1024, h = 768;  // when the backend knows no screen
      ActiveBackend().screenSize(&w, &h);
      return nIndex == SM_CXSCREEN ? w : h;
    }
    case SM_CYCAPTION:
      return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    // The dialog frame and the sizing frame count the same: the window
    // manager draws the real frame, and a program that sizes its window from
    // either pair then gets exactly the client area it asked for.
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kFrame;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return kDoubleClickBox;
    default:
      return 0;
  }
}

UINT GetDoubleClickTime() { return kDoubleClickTime; }
