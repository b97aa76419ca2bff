// SPDX-License-Identifier: MIT
#include "Saver.h"

#include <cstdlib>

std::atomic<HWND> SaverWindow{nullptr};

namespace {

constexpr UINT_PTR kTickId = 1;
constexpr int32_t kStillPixels = 8;  // a nudge of the desk is no wish to stop

const TSaverEffect* Effect = nullptr;
TSaverRun Run;
HDC WindowDC = nullptr;
bool HaveStart = false;
POINT Start{0, 0};

// Windows' ranges of key and mouse messages (WM_KEYFIRST.., WM_MOUSEFIRST..).
bool IsInput(UINT Message) {
  return (Message >= 0x0100 && Message <= 0x0109) || (Message >= 0x0200 && Message <= 0x020E);
}

bool EndsFullScreen(UINT Message, LPARAM LParam) {
  switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      return true;
    case WM_MOUSEMOVE: {
      const int32_t X = static_cast<int16_t>(LOWORD(LParam));
      const int32_t Y = static_cast<int16_t>(HIWORD(LParam));
      if (!HaveStart) {  // where the pointer was could not be asked
        Start = POINT{X, Y};
        HaveStart = true;
        return false;
      }
      return MovedFarEnough(Start.x, Start.y, X, Y);
    }
    default:
      return false;
  }
}

LRESULT CALLBACK SaverProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_SIZE:
      Effect->Resize(LOWORD(LParam), HIWORD(LParam));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT Paint;
      HDC DC = BeginPaint(Window, &Paint);
      Effect->Paint(DC);
      EndPaint(Window, &Paint);
      return 0;
    }
    case WM_TIMER:
      Effect->Second();
      // A parent of another process may go without telling its children.
      if (Run.Parent != nullptr && !IsWindow(Run.Parent)) DestroyWindow(Window);
      return 0;
    case WM_CLOSE:
      DestroyWindow(Window);
      return 0;
    case WM_DESTROY:
      KillTimer(Window, kTickId);
      ReleaseDC(Window, WindowDC);
      WindowDC = nullptr;
      SaverWindow = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  if (IsInput(Message)) {
    if (Run.Place == TSaverPlace::FullScreen && EndsFullScreen(Message, LParam)) PostMessageA(Window, WM_CLOSE, 0, 0);
    return 0;  // a screensaver's window answers no input of its own
  }
  return DefWindowProcA(Window, Message, WParam, LParam);
}

HWND MakeWindow(HINSTANCE Instance) {
  switch (Run.Place) {
    case TSaverPlace::Inside: {
      RECT Client{0, 0, 0, 0};
      if (!GetClientRect(Run.Parent, &Client)) return nullptr;
      return CreateWindowExA(0, "#32770", "", WS_CHILD | WS_VISIBLE, 0, 0, Client.right, Client.bottom, Run.Parent,
                             nullptr, Instance, nullptr);
    }
    case TSaverPlace::FullScreen: {
#if defined(_WIN32)
      HaveStart = GetCursorPos(&Start) != 0;
      HWND Window = CreateWindowExA(WS_EX_TOPMOST, "#32770", Effect->Caption, WS_POPUP | WS_VISIBLE,
                                    GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                    GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), nullptr,
                                    nullptr, Instance, nullptr);
      ShowCursor(FALSE);
      return Window;
#else
      return nullptr;  // natively the daemon makes the window
#endif
    }
    case TSaverPlace::OwnWindow:
    default:
      return CreateWindowExA(0, "#32770", Effect->Caption, WS_VISIBLE | WS_SYSMENU | WS_THICKFRAME, 0, 0,
                             800 + 2 * GetSystemMetrics(SM_CXFRAME),
                             600 + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION), nullptr, nullptr,
                             Instance, nullptr);
  }
}

// The pause after a frame that began at FrameStart (GetTickCount).
DWORD PauseAfter(DWORD FrameStart) {
  const DWORD Pause = (Run.PauseMicroseconds + 999) / 1000;
  const DWORD Floor = Run.FrameMicroseconds / 1000;
  const DWORD Took = GetTickCount() - FrameStart;
  const DWORD Rest = Took < Floor ? Floor - Took : 0;
  return Pause > Rest ? Pause : Rest;
}

}  // namespace

bool MovedFarEnough(int32_t StartX, int32_t StartY, int32_t X, int32_t Y) {
  return std::abs(X - StartX) > kStillPixels || std::abs(Y - StartY) > kStillPixels;
}

int RunSaver(const TSaverEffect& TheEffect, const TSaverRun& TheRun) {
  Effect = &TheEffect;
  Run = TheRun;
  HaveStart = false;
  Effect->Start();
  HWND Window = MakeWindow(GetModuleHandleA(nullptr));
  if (Window == nullptr) {
    Effect->Stop();
    return 1;
  }
  SetWindowLongPtrA(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SaverProc));
  // The window's size was set before the procedure was ours.
  RECT Client{0, 0, 0, 0};
  GetClientRect(Window, &Client);
  Effect->Resize(Client.right, Client.bottom);
  WindowDC = GetDC(Window);
  SetTimer(Window, kTickId, 1000, nullptr);
  SaverWindow = Window;

  MSG Message{};
  for (;;) {
    if (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
      if (Message.message == WM_QUIT) break;
      TranslateMessage(&Message);
      DispatchMessageA(&Message);
      continue;
    }
    const DWORD FrameStart = GetTickCount();
    if (WindowDC != nullptr) Effect->Frame(WindowDC);
    Sleep(PauseAfter(FrameStart));
  }
  Effect->Stop();
  return 0;
}
