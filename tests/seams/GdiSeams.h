// SPDX-License-Identifier: MIT
// Test seams of the native GDI layer: a simulated screen format, counters of
// live objects and of calls, forced failures and off-screen windows whose
// pixels tests read back. Native builds only; Windows has the real GDI.
#pragma once

#include <cstdint>

#include "LumoPlatform.h"

namespace lumo::test {

// Depth and 16-bit layout of the simulated screen: (32, 8) is the default,
// (16, 6) a 5-6-5 screen and (16, 5) a 5-5-5 screen.
void SetScreenFormat(int bitsPerPixel, int greenBits);

// DCs, bitmaps and fonts alive, stock objects not included.
int LiveGdiObjects();

struct GdiCallCounts {
  int bitBlt, stretchDIBits, textOut, setDIBColorTable, createDIBSection, createCompatibleDC;
  int lastTextLength;            // the count passed to the last TextOutA
  unsigned lastColorTableCount;  // the entry count passed to the last SetDIBColorTable
};
GdiCallCounts GetGdiCallCounts();
void ResetGdiCallCounts();

void FailNextCreateDIBSection();    // the next CreateDIBSection returns NULL
void FailNextCreateCompatibleDC();  // the next CreateCompatibleDC returns NULL
void FailNextSelectObject();        // the next SelectObject returns NULL

// A window that exists only as pixels: GetDC(window) draws into them.
HWND CreateOffscreenWindow(int width, int height);
const uint32_t* OffscreenWindowPixels(HWND window);  // 0x00RRGGBB, top row first
// The rectangle the last drawing on it asked to be shown (empty before any).
RECT LastPresentedRect(HWND window);
void DestroyOffscreenWindow(HWND window);

}  // namespace lumo::test
