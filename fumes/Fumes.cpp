// SPDX-License-Identifier: MIT
#include "Fumes.h"

#include <cstring>
#include <string>

#include "FumesPalette.h"
#include "FumesSim.h"
#include "LumoDIB.h"

HWND WindowHandle = nullptr;
HDC WindowDC = nullptr;

namespace {

constexpr int kFieldWidth = 800;
constexpr int kFieldHeight = 500;
constexpr DWORD kWindowStyle = WS_VISIBLE | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
static_assert(kWindowStyle == 0x100F0000);
constexpr UINT_PTR kTimerId = 0;
constexpr char kCaption[] = "fumes - tovak; click and drag to draw fumes";

uint16_t LowWord(LPARAM Value) { return static_cast<uint16_t>(static_cast<uint32_t>(Value) & 0xFFFF); }
uint16_t HighWord(LPARAM Value) { return static_cast<uint16_t>((static_cast<uint32_t>(Value) >> 16) & 0xFFFF); }

void OnKeyDown(HWND Window, WPARAM Key) {
  switch (Key) {
    case VK_ESCAPE:  // closing runs now, inside the key handling
      SendMessageA(Window, WM_CLOSE, 0, 0);
      break;
    case VK_SPACE:  // smothers every source while held
      SeedRange = 0;
      SeedBase = 0;
      break;
    case VK_SHIFT:  // saturates every source while held
      SeedRange = 0;
      SeedBase = 255;
      break;
    case 'F':
      ShowFps = !ShowFps;
      break;
    case 'S':
      SaveBitmap();
      break;
    default:
      break;
  }
}

}  // namespace

void SelectFieldFont() {
  FumeDib->SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
  FumeDib->TextColour(ColourToRef(KeyLime));
}

void UpdateFumes() {
  if (!StepFumes()) {
    return;
  }
  if (ShowFps) {
    FumeDib->PrintText(0, 0, std::to_string(FramesPerSecond));
  }
  FumeDib->DrawTo(WindowDC, 0, 0);
  ++FrameCount;
}

LRESULT CALLBACK WndProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam) {
  switch (Message) {
    case WM_SIZE:
      FumeDib->Allocate(LowWord(lParam), -static_cast<int32_t>(HighWord(lParam)), 8);
      SelectFieldFont();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT Paint;
      HDC PaintDC = BeginPaint(Window, &Paint);
      FumeDib->DrawTo(PaintDC, 0, 0);
      EndPaint(Window, &Paint);
      return 0;
    }
    case WM_CLOSE:
      KillTimer(WindowHandle, kTimerId);
      ReleaseDC(WindowHandle, WindowDC);
      // Nothing may draw on the released context before the quit arrives.
      WindowDC = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(Window, wParam);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE || wParam == VK_SHIFT) {
        SeedRange = 255;
        SeedBase = 0;
      }
      return 0;
    case WM_TIMER:
      FramesPerSecond = FrameCount;
      FrameCount = 0;
      return 0;
    case WM_MOUSEMOVE:
      // Only the left button alone draws; any other state sparks.
      if (wParam == MK_LBUTTON) {
        AddFumePoint(LowWord(lParam), HighWord(lParam));
      } else {
        SparkAt(LowWord(lParam), HighWord(lParam));
      }
      return 0;
    case WM_LBUTTONDOWN:
      AddFumePoint(LowWord(lParam), HighWord(lParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      ClearFumePoints();
      return 0;
    case WM_RBUTTONDOWN:
      AltScheme = !AltScheme;
      ApplyPalette(AltScheme);
      return 0;
    default:
      return DefWindowProcA(Window, Message, wParam, lParam);
  }
}

void FumesStartUp(HINSTANCE Instance) {
  SeedRandom(GetTickCount());
  FumeDib = new TLumoDIB();
  FumeDib->Allocate(kFieldWidth, -kFieldHeight, 8);
  SelectFieldFont();
  WindowHandle =
      CreateWindowExA(0, "#32770", kCaption, kWindowStyle, 0, 0, kFieldWidth + 2 * GetSystemMetrics(SM_CXFRAME),
                      kFieldHeight + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION), nullptr,
                      nullptr, Instance, nullptr);
  WindowDC = GetDC(WindowHandle);
  SetWindowLongPtrA(WindowHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WndProc));
  ApplyPalette(AltScheme);
  SetTimer(WindowHandle, kTimerId, 1000, nullptr);
}

bool FumesPump(MSG& Msg) {
  if (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
    return true;
  }
  UpdateFumes();
  return false;
}

void FumesShutDown() {
  delete FumeDib;
  FumeDib = nullptr;
  std::vector<TFumePoint>().swap(FumePoints);
}

int FumesMain(HINSTANCE Instance, HINSTANCE, LPSTR, int) {
  FumesStartUp(Instance);
  MSG Msg;
  std::memset(&Msg, 0, sizeof(Msg));
  for (;;) {
    if (FumesPump(Msg) && Msg.message == WM_QUIT) {
      break;
    }
  }
  FumesShutDown();
  return static_cast<int>(Msg.wParam);
}
