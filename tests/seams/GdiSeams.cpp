// SPDX-License-Identifier: MIT
// Test seams of the native GDI layer (see GdiSeams.h).
#include <mutex>
#include <unordered_set>
#include <vector>

#include "common/WindowTarget.h"
#include "gdi/GdiObjects.h"
#include "seams/GdiSeams.h"

namespace lumo::test {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

class OffscreenTarget : public platform::WindowTarget {
 public:
  OffscreenTarget(int width, int height)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, 0u) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  uint32_t* Pixels() override { return pixels_.data(); }
  void Presented(const RECT& changed) override { presented_ = changed; }
  RECT LastPresented() const { return presented_; }

 private:
  int width_, height_;
  RECT presented_{};
  std::vector<uint32_t> pixels_;
};

// The off-screen windows made here, so only those are ever freed here.
std::unordered_set<HWND>& OffscreenWindows() {
  static auto* windows = new std::unordered_set<HWND>;
  return *windows;
}

}  // namespace

void SetScreenFormat(int bitsPerPixel, int greenBits) {
  Guard guard(gdi::Lock());
  gdi::ScreenFormat& screen = gdi::Screen();
  screen.bitsPerPixel = bitsPerPixel;
  screen.greenBits = greenBits;
}

int LiveGdiObjects() {
  Guard guard(gdi::Lock());
  return gdi::LiveNonStock();
}

GdiCallCounts GetGdiCallCounts() {
  Guard guard(gdi::Lock());
  const gdi::Counters& c = gdi::Count();
  return GdiCallCounts{c.bitBlt,           c.stretchDIBits,      c.textOut,        c.setDIBColorTable,
                       c.createDIBSection, c.createCompatibleDC, c.lastTextLength, c.lastColorTableCount};
}

void ResetGdiCallCounts() {
  Guard guard(gdi::Lock());
  gdi::Counters& c = gdi::Count();
  const bool failDib = c.failNextDIBSection, failDC = c.failNextCompatibleDC, failSelect = c.failNextSelectObject;
  c = gdi::Counters{};
  c.failNextDIBSection = failDib;
  c.failNextCompatibleDC = failDC;
  c.failNextSelectObject = failSelect;
}

void FailNextCreateDIBSection() {
  Guard guard(gdi::Lock());
  gdi::Count().failNextDIBSection = true;
}

void FailNextCreateCompatibleDC() {
  Guard guard(gdi::Lock());
  gdi::Count().failNextCompatibleDC = true;
}

void FailNextSelectObject() {
  Guard guard(gdi::Lock());
  gdi::Count().failNextSelectObject = true;
}

HWND CreateOffscreenWindow(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  auto* target = new OffscreenTarget(width, height);
  // The target's own address is a handle no real window can have.
  HWND window = reinterpret_cast<HWND>(target);
  {
    Guard guard(gdi::Lock());
    OffscreenWindows().insert(window);
  }
  platform::RegisterWindowTarget(window, target);
  return window;
}

const uint32_t* OffscreenWindowPixels(HWND window) {
  platform::WindowTarget* target = platform::FindWindowTarget(window);
  return target ? target->Pixels() : nullptr;
}

RECT LastPresentedRect(HWND window) {
  Guard guard(gdi::Lock());
  if (OffscreenWindows().count(window) == 0) return RECT{};
  return reinterpret_cast<OffscreenTarget*>(window)->LastPresented();
}

void DestroyOffscreenWindow(HWND window) {
  {
    Guard guard(gdi::Lock());
    if (OffscreenWindows().erase(window) == 0) return;
  }
  platform::UnregisterWindowTarget(window);
  delete reinterpret_cast<OffscreenTarget*>(window);
}

}  // namespace lumo::test
