// SPDX-License-Identifier: MIT
// Invalidation and WM_PAINT. The update area is kept as one rectangle, the
// union of everything invalidated since the last BeginPaint.
#include <cstring>

#include "user/Rects.h"
#include "user/State.h"

namespace lumo::user {

namespace {

void Invalidate(const WindowPtr& w, const RECT* rect, BOOL erase) {
  const RECT client{0, 0, w->clientWidth, w->clientHeight};
  const RECT r = rect != nullptr ? Intersect(client, *rect) : client;
  if (Empty(r)) return;
  w->update = w->hasUpdate ? Union(w->update, r) : r;
  w->hasUpdate = true;
  if (erase) w->erase = true;
}

}  // namespace

}  // namespace lumo::user

using namespace lumo::user;

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w || lpPaint == nullptr) return nullptr;
  std::memset(lpPaint, 0, sizeof(*lpPaint));
  HDC dc = GetDC(hWnd);
  lpPaint->hdc = dc;
  if (w->hasUpdate) lpPaint->rcPaint = w->update;
  bool erase = w->erase;
  // Validate first: whatever the procedure invalidates while painting
  // brings another WM_PAINT.
  w->hasUpdate = false;
  w->erase = false;
  if (erase) lpPaint->fErase = SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
  if (lpPaint == nullptr) return FALSE;
  if (lpPaint->hdc != nullptr) ReleaseDC(hWnd, lpPaint->hdc);
  return TRUE;
}

BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
  if (hWnd == nullptr) {
    // Every window of the calling thread.
    std::vector<WindowPtr> mine;
    {
      State& s = GetState();
      std::lock_guard<std::mutex> lock(s.mu);
      for (auto& [handle, w] : s.windows)
        if (w->owner == std::this_thread::get_id()) mine.push_back(w);
    }
    for (auto& w : mine) Invalidate(w, nullptr, bErase);
    return TRUE;
  }
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return FALSE;
  Invalidate(w, lpRect, bErase);
  return TRUE;
}

BOOL ValidateRect(HWND hWnd, const RECT* lpRect) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return FALSE;
  if (!w->hasUpdate) return TRUE;
  // With one rectangle for the update area, only a rectangle covering all of
  // it can validate it.
  if (lpRect == nullptr || (lpRect->left <= w->update.left && lpRect->top <= w->update.top &&
                            lpRect->right >= w->update.right && lpRect->bottom >= w->update.bottom)) {
    w->hasUpdate = false;
    w->erase = false;
  }
  return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return FALSE;
  if (w->hasUpdate && w->visible && !w->minimised) SendMessageA(hWnd, WM_PAINT, 0, 0);
  return TRUE;
}
