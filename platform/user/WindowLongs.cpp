// SPDX-License-Identifier: MIT
// A window's long values (procedure, styles, user data, the dialog class's
// extra bytes) and its text.
#include <algorithm>
#include <cstring>

#include "user/Backend.h"
#include "user/State.h"

using namespace lumo::user;

LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return 0;
  LONG_PTR previous = 0;
  switch (nIndex) {
    case GWL_WNDPROC:
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      // A null procedure would leave messages nowhere to go; Windows refuses it too.
      if (dwNewLong == 0) return 0;
      w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
      return previous;
    case GWL_STYLE:
      previous = static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0));
      w->style = static_cast<DWORD>(dwNewLong) & ~static_cast<DWORD>(WS_VISIBLE);
      return previous;
    case GWL_EXSTYLE:
      previous = w->exStyle;
      w->exStyle = static_cast<DWORD>(dwNewLong);
      return previous;
    default:
      // GWL_USERDATA, GWL_ID, GWL_HINSTANCE and the dialog class's extra bytes.
      if (nIndex == GWL_USERDATA || nIndex == GWL_ID || nIndex == GWL_HINSTANCE || (nIndex >= 0 && nIndex < 64)) {
        previous = w->longs[nIndex];
        w->longs[nIndex] = dwNewLong;
        return previous;
      }
      return 0;
  }
}

LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return 0;
  switch (nIndex) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0));
    case GWL_EXSTYLE:
      return w->exStyle;
    default: {
      auto it = w->longs.find(nIndex);
      return it == w->longs.end() ? 0 : it->second;
    }
  }
}

namespace {
bool PointerSized(int nIndex) {
  return sizeof(LONG_PTR) > sizeof(LONG) && (nIndex == GWL_WNDPROC || nIndex == GWL_HINSTANCE);
}
}  // namespace

LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  if (PointerSized(nIndex)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(SetWindowLongPtrA(hWnd, nIndex, dwNewLong));
}

LONG GetWindowLongA(HWND hWnd, int nIndex) {
  if (PointerSized(nIndex)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex));
}

int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  lpString[0] = '\0';
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return 0;
  size_t n = std::min(w->title.size(), static_cast<size_t>(nMaxCount - 1));
  std::memcpy(lpString, w->title.data(), n);
  lpString[n] = '\0';
  return static_cast<int>(n);
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  WindowPtr w = LookupWindow(hWnd);
  if (!w) return FALSE;
  w->title = lpString ? lpString : "";
  ActiveBackend().setTitle(hWnd, w->title.c_str());
  return TRUE;
}
