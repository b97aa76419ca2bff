// SPDX-License-Identifier: MIT
// Windows of the predefined dialog class: creation, destruction, size
// changes, rectangles and showing (their long values and text:
// WindowLongs.cpp).
#include "user/Windows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "user/Backend.h"
#include "user/MessageQueue.h"
#include "user/Timers.h"

namespace lumo::user {

namespace {

// Handles are addresses of tokens that live until the process ends, so a
// handle is never reissued and a stale one can never reach a newer window.
HWND NewHandle() {
  static std::mutex mu;
  static auto* tokens = new std::vector<std::unique_ptr<char>>;
  std::lock_guard<std::mutex> lock(mu);
  tokens->push_back(std::make_unique<char>());
  return reinterpret_cast<HWND>(tokens->back().get());
}

bool IsDialogClass(LPCSTR name) {
  if (name == nullptr) return false;
  // MAKEINTATOM(32770) names the same class as "#32770".
  if (reinterpret_cast<uintptr_t>(name) <= 0xFFFF) return reinterpret_cast<uintptr_t>(name) == 32770;
  return std::strcmp(name, "#32770") == 0;
}

// The procedure of the dialog class until a program installs its own.
LRESULT CALLBACK DialogClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

bool HasCaption(DWORD style) {
  // Overlapped windows always get a title bar.
  bool overlapped = (style & (WS_POPUP | WS_CHILD)) == 0;
  return overlapped || (style & WS_CAPTION) == WS_CAPTION;
}

int FrameOf(DWORD style) {
  if (style & WS_THICKFRAME) return GetSystemMetrics(SM_CXFRAME);
  if (HasCaption(style) || (style & WS_DLGFRAME)) return GetSystemMetrics(SM_CXDLGFRAME);
  if (style & WS_BORDER) return GetSystemMetrics(SM_CXBORDER);
  return 0;
}

int CaptionOf(DWORD style) { return HasCaption(style) ? GetSystemMetrics(SM_CYCAPTION) : 0; }

bool OwnedHere(const WindowPtr& w) { return w && w->owner == std::this_thread::get_id(); }

}  // namespace

void InvalidateAll(const WindowPtr& w) {
  if (w->clientWidth <= 0 || w->clientHeight <= 0) return;
  w->update = RECT{0, 0, w->clientWidth, w->clientHeight};
  w->hasUpdate = true;
  w->erase = true;
}

void ApplyClientSize(HWND window, SizeKind kind, int width, int height) {
  WindowPtr w = LookupWindow(window);
  if (!w || w->destroying) return;
  if (kind == SizeKind::Minimised) width = height = 0;
  width = std::clamp(width, 0, 0x7FFF);
  height = std::clamp(height, 0, 0x7FFF);
  SizeKind before = w->minimised ? SizeKind::Minimised : w->maximised ? SizeKind::Maximised : SizeKind::Restored;
  bool resized = width != w->clientWidth || height != w->clientHeight;
  if (!resized && kind == before) return;
  w->minimised = kind == SizeKind::Minimised;
  w->maximised = kind == SizeKind::Maximised;
  if (kind == SizeKind::Restored) {
    w->restoredWidth = width;
    w->restoredHeight = height;
  }
  w->clientWidth = width;
  w->clientHeight = height;
  // GDI must see the new size before the program reacts to WM_SIZE.
  if (resized) w->pixels.Resize(width, height);
  Send(window, WM_SIZE, static_cast<WPARAM>(kind), MAKELPARAM(width, height));
  if (kind != SizeKind::Minimised) InvalidateAll(w);
}

}  // namespace lumo::user

using namespace lumo::user;

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y, int nWidth,
                     int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  if (!IsDialogClass(lpClassName)) return nullptr;
  // The programs never check the result, so a window that cannot exist
  // ends the process here with one clear line instead of a crash later.
  const Backend& backend = StartBackend();

  auto w = std::make_shared<Window>();
  w->handle = NewHandle();
  w->owner = std::this_thread::get_id();
  w->title = lpWindowName ? lpWindowName : "";
  w->style = dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
  w->exStyle = dwExStyle;
  w->proc = DialogClassProc;
  if (dwStyle & WS_CHILD) {
    WindowPtr parent = LookupWindow(hWndParent);
    if (!parent) return nullptr;  // as on Windows: a child needs its parent
    w->parent = hWndParent;
    w->foreignParent = parent->foreignId;
    // Inside another program's window the child always fills it.
    if (parent->foreignId != 0) {
      X = Y = 0;
      nWidth = parent->clientWidth;
      nHeight = parent->clientHeight;
    }
  }
  int frame = FrameOf(dwStyle);
  int caption = CaptionOf(dwStyle);
  if (nWidth == CW_USEDEFAULT) {  // the height is then ignored, as on Windows
    nWidth = 640 + 2 * frame;
    nHeight = 480 + 2 * frame + caption;
  } else if (nHeight == CW_USEDEFAULT) {
    nHeight = 480 + 2 * frame + caption;
  }
  w->x = X == CW_USEDEFAULT ? 0 : X;
  w->y = Y == CW_USEDEFAULT ? 0 : Y;
  w->clientWidth = std::clamp(nWidth - 2 * frame, 0, 0x7FFF);
  w->clientHeight = std::clamp(nHeight - 2 * frame - caption, 0, 0x7FFF);
  w->restoredWidth = w->clientWidth;
  w->restoredHeight = w->clientHeight;
  w->pixels.Resize(w->clientWidth, w->clientHeight);
  if (!backend.create(*w)) std::exit(1);  // the backend has said why
  w->pixels.Attach(w->handle);
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    s.windows[w->handle] = w;
    s.lastCreated = w->handle;
  }
  lumo::platform::RegisterWindowTarget(w->handle, &w->pixels);

  // The creation messages reach the class's own procedure: the program can
  // install its procedure only once it has the handle.
  CREATESTRUCTA cs{lpParam,
                   hInstance,
                   hMenu,
                   hWndParent,
                   nHeight,
                   nWidth,
                   w->y,
                   w->x,
                   static_cast<LONG>(dwStyle),
                   lpWindowName,
                   reinterpret_cast<uintptr_t>(lpClassName) <= 0xFFFF ? "#32770" : lpClassName,
                   dwExStyle};
  LPARAM create = reinterpret_cast<LPARAM>(&cs);
  if (!SendMessageA(w->handle, WM_NCCREATE, 0, create) || SendMessageA(w->handle, WM_CREATE, 0, create) == -1) {
    DestroyWindow(w->handle);
    return nullptr;
  }
  if (!IsWindow(w->handle)) return nullptr;
  SendMessageA(w->handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->clientWidth, w->clientHeight));
  SendMessageA(w->handle, WM_MOVE, 0, MAKELPARAM(w->x + frame, w->y + frame + caption));
  if (dwStyle & WS_VISIBLE) ShowWindow(w->handle, SW_SHOW);
  return IsWindow(w->handle) ? w->handle : nullptr;
}

BOOL DestroyWindow(HWND hWnd) {
  WindowPtr w = LookupWindow(hWnd);
  // Like Windows, only the thread that created a window may destroy it.
  if (!OwnedHere(w)) return FALSE;
  if (w->destroying) return TRUE;
  w->destroying = true;
  const Backend& backend = ActiveBackend();
  if (w->visible) backend.show(hWnd, SW_HIDE);
  SendMessageA(hWnd, WM_DESTROY, 0, 0);
  SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
  DropTimersOf(hWnd);
  lumo::platform::UnregisterWindowTarget(hWnd);
  {
    State& s = GetState();
    std::lock_guard<std::mutex> lock(s.mu);
    s.windows.erase(hWnd);
    if (s.lastCreated == hWnd) s.lastCreated = nullptr;
    for (auto& [thread, q] : s.queues) {
      std::erase_if(q->items, [hWnd](const QueueItem& item) { return item.msg.hwnd == hWnd; });
    }
  }
  w->pixels.Detach();
  backend.destroy(hWnd);
  return TRUE;
}

BOOL IsWindow(HWND hWnd) { return LookupWindow(hWnd) != nullptr; }

BOOL IsIconic(HWND hWnd) {
  WindowPtr w = LookupWindow(hWnd);
  return w && w->minimised;
}

BOOL IsZoomed(HWND hWnd) {
  WindowPtr w = LookupWindow(hWnd);
  return w && w->maximised;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  WindowPtr w = LookupWindow(hWnd);
  if (!OwnedHere(w) || w->destroying) return FALSE;
  BOOL wasVisible = w->visible;
  if (nCmdShow == SW_HIDE) {
    if (!w->visible) return FALSE;
    w->visible = false;
    ActiveBackend().show(hWnd, SW_HIDE);
    SendMessageA(hWnd, WM_SHOWWINDOW, FALSE, 0);
    return wasVisible;
  }
  if (!w->visible) {
    w->visible = true;
    SendMessageA(hWnd, WM_SHOWWINDOW, TRUE, 0);
    if (!IsWindow(hWnd)) return wasVisible;
    InvalidateAll(w);
  }
  ActiveBackend().show(hWnd, nCmdShow);
  w->pixels.ShowAll();
  switch (nCmdShow) {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      ApplyClientSize(hWnd, SizeKind::Minimised, 0, 0);
      break;
    case SW_MAXIMIZE: {
      int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
      int frame = FrameOf(w->style), caption = CaptionOf(w->style);
      ApplyClientSize(hWnd, SizeKind::Maximised, sw - 2 * frame, sh - 2 * frame - caption);
      break;
    }
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      if (w->minimised || w->maximised) ApplyClientSize(hWnd, SizeKind::Restored, w->restoredWidth, w->restoredHeight);
      break;
    default:
      break;
  }
  return wasVisible;
}

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w || lpRect == nullptr) return FALSE;
  *lpRect = RECT{0, 0, w->clientWidth, w->clientHeight};
  return TRUE;
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w || lpRect == nullptr) return FALSE;
  int frame = FrameOf(w->style), caption = CaptionOf(w->style);
  *lpRect = RECT{w->x, w->y, w->x + w->clientWidth + 2 * frame, w->y + w->clientHeight + 2 * frame + caption};
  return TRUE;
}
