// SPDX-License-Identifier: MIT
// The default window procedure of the dialog class, and calling a procedure
// kept from before a subclassing.
#include "LumoPlatform.h"
#include "user/ClientPixels.h"
#include "user/MessageQueue.h"
#include "user/State.h"

using namespace lumo::user;

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (BeginPaint(hWnd, &ps)) EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      WindowPtr w = LookupWindow(hWnd);
      if (!w) return 0;
      w->pixels.Fill(kDialogFace);
      return 1;
    }
    case WM_SYSKEYDOWN:
      // Alt+F4 closes, as the system menu's accelerator.
      if (wParam == VK_F4 && (lParam & (1 << 29))) Send(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          Send(hWnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(hWnd, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(hWnd, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(hWnd, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}
