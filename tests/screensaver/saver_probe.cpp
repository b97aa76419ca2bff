// SPDX-License-Identifier: MIT
// A Windows helper for the screensaver end-to-end script (under Wine):
//   saver_probe parent <file> <seconds>   a window to preview in: its HWND goes
//       to <file> as "hwnd N"; once a child fills it, "fills WxH"; after
//       <seconds> it is destroyed and "destroyed" follows
//   saver_probe find <caption> <seconds>  waits for a top-level window of that
//       caption; status 0 once there, 1 if it never came
//   saver_probe choose <caption> <id> <n> picks choice n of control <id> in
//       the dialog of that caption, then its OK
//   saver_probe prefix <program>          this prefix for the tests: Wine's own
//       unmanaged windows, and no settings kept for <program>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Line(const char* Path, const std::string& Text) {
  if (std::FILE* F = std::fopen(Path, "a")) {
    std::fprintf(F, "%s\n", Text.c_str());
    std::fclose(F);
  }
}

HWND Found = nullptr;
BOOL CALLBACK FirstChild(HWND Window, LPARAM) {
  Found = Window;
  return FALSE;
}

int Parent(const char* Path, int Seconds) {
  WNDCLASSA Class{};
  Class.lpfnWndProc = DefWindowProcA;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  Class.lpszClassName = "LumoPreviewParent";
  RegisterClassA(&Class);
  HWND Window = CreateWindowExA(0, Class.lpszClassName, "preview parent", WS_POPUP | WS_VISIBLE, 100, 100, 320, 240,
                                nullptr, nullptr, Class.hInstance, nullptr);
  if (Window == nullptr) return 1;
  Line(Path, "hwnd " + std::to_string(reinterpret_cast<uintptr_t>(Window)));
  const DWORD End = GetTickCount() + static_cast<DWORD>(Seconds) * 1000;
  bool Told = false;
  while (GetTickCount() < End) {
    MSG Message;
    while (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&Message);
    Found = nullptr;
    EnumChildWindows(Window, FirstChild, 0);
    RECT Mine{}, Its{};
    GetClientRect(Window, &Mine);
    if (!Told && Found != nullptr && GetClientRect(Found, &Its) && Its.right == Mine.right &&
        Its.bottom == Mine.bottom) {
      Line(Path, "fills " + std::to_string(Its.right) + "x" + std::to_string(Its.bottom));
      Told = true;
    }
    Sleep(50);
  }
  DestroyWindow(Window);
  Line(Path, "destroyed");
  return 0;
}

int Find(const char* Caption, int Seconds) {
  for (int I = 0; I < Seconds * 10; ++I) {
    if (FindWindowA(nullptr, Caption) != nullptr) return 0;
    Sleep(100);
  }
  return 1;
}

int Choose(const char* Caption, int Id, int Choice) {
  HWND Dialog = nullptr;
  for (int I = 0; I < 600 && Dialog == nullptr; ++I) {
    Dialog = FindWindowA(nullptr, Caption);
    if (Dialog == nullptr) Sleep(100);
  }
  HWND Control = Dialog ? GetDlgItem(Dialog, Id) : nullptr;
  if (Control == nullptr || SendMessageA(Control, CB_SETCURSEL, static_cast<WPARAM>(Choice), 0) != Choice) return 1;
  SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(Dialog, IDOK)));
  return 0;
}

int Prefix(const char* Program) {
  HKEY Key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Key,
                      nullptr) != ERROR_SUCCESS)
    return 1;
  // Without a window manager Wine waits about 2 s for one when a managed
  // full-screen window goes.
  const LONG Set = RegSetValueExA(Key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(Key);
  RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Lumo\\") + Program).c_str());
  return Set == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "parent") == 0) return Parent(argv[2], std::atoi(argv[3]));
  if (argc == 4 && std::strcmp(argv[1], "find") == 0) return Find(argv[2], std::atoi(argv[3]));
  if (argc == 5 && std::strcmp(argv[1], "choose") == 0) return Choose(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (argc == 3 && std::strcmp(argv[1], "prefix") == 0) return Prefix(argv[2]);
  std::fprintf(
      stderr, "usage: saver_probe parent FILE SECONDS | find CAPTION SECONDS | choose CAPTION ID N | prefix PROGRAM\n");
  return 2;
}
