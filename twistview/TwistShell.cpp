// SPDX-License-Identifier: MIT
#include "TwistShell.h"

#include <cstring>

#include "LumoGPlus.h"
#include "TwistRender.h"

int32_t PictureIndex = 0;
const char* const PictureNames[2] = {"velro1", "velro2"};
HWND WindowHandle = nullptr;
MSG Message = {};

namespace {

constexpr DWORD WindowStyle = WS_VISIBLE | WS_SYSMENU | WS_THICKFRAME;
static_assert(WindowStyle == 0x100C0000);

}  // namespace

void SetWindowPalette(TLumoDIB& Dib) {
  Dib.RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(0, 100, 128), MakeColour(255, 255, 255)});
}

void SetUpText(TLumoDIB& Dib) {
  Dib.SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
  Dib.TransparentText(true);
}

bool SelectPicture(int32_t Index) {
  if (Index < 0 || Index > 1) {
    return false;
  }
  TLumoDIB* Loaded = new TLumoDIB;
  if (!LoadDIBFromResource(PictureNames[Index], "binary", Loaded) || !IsUsablePicture(Loaded)) {
    delete Loaded;
    return false;
  }
  delete PictureDib;
  PictureDib = Loaded;
  PictureIndex = Index;
  return true;
}

LRESULT CALLBACK WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_DESTROY:
      delete PictureDib;
      delete WindowDib;
      delete FeedbackDib;
      PictureDib = WindowDib = FeedbackDib = nullptr;
      KillTimer(Window, 0);
      ReleaseDC(Window, WindowDC);
      ExitProcess(0);
    case WM_SIZE:
      WindowDib->Allocate(static_cast<int32_t>(LParam & 0xFFFF), static_cast<int32_t>((LParam >> 16) & 0xFFFF), 8);
      SetUpText(*WindowDib);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT Paint;
      HDC DC = BeginPaint(Window, &Paint);
      WindowDib->DrawTo(DC, 0, 0);
      EndPaint(Window, &Paint);
      return 0;
    }
    case WM_KEYDOWN:
      if (WParam == VK_ESCAPE) {
        PostQuitMessage(0);
      } else {
        SelectPicture(PictureIndex == 0 ? 1 : 0);
        BuildWrapTables();
      }
      return 0;
    case WM_TIMER:
      TickSecond();
      return 0;
    case WM_LBUTTONDOWN:
      Bilinear = !Bilinear;
      return 0;
    case WM_RBUTTONDOWN:
      // Before its first frame in feedback mode the surface has no pixels.
      if (FeedbackDib->Pixels != nullptr) {
        std::memset(FeedbackDib->Pixels, 0, FeedbackDib->Header.biSizeImage);
      }
      Feedback = !Feedback;
      return 0;
    default:
      return DefWindowProcA(Window, Msg, WParam, LParam);
  }
}

void StartUp() {
  PictureDib = new TLumoDIB;
  SelectPicture(0);
  BuildWrapTables();
  PhaseStep = 0.46f;

  FeedbackDib = new TLumoDIB;
  SetWindowPalette(*FeedbackDib);

  WindowDib = new TLumoDIB;
  WindowDib->Allocate(StartWidth, StartHeight, 8);
  SetWindowPalette(*WindowDib);
  SetUpText(*WindowDib);

  WindowHandle =
      CreateWindowExA(0, "#32770", "twistview - tovak", WindowStyle, 0, 0,
                      WindowDib->Header.biWidth + 2 * GetSystemMetrics(SM_CXDLGFRAME),
                      WindowDib->Header.biHeight + 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION),
                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(WindowHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WndProc));
  WindowDC = GetDC(WindowHandle);
  SetTimer(WindowHandle, 0, 1000, nullptr);
}

void RunMessageLoop() {
  while (Message.message != WM_QUIT) {
    if (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&Message);
    } else {
      RenderFrame();
    }
  }
}

int TwistViewMain() {
  StartUp();
  RunMessageLoop();
  return static_cast<int>(Message.wParam);
}
