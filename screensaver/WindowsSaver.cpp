// SPDX-License-Identifier: MIT
#include "WindowsSaver.h"

#include <mmsystem.h>

#include <string>
#include <vector>

#include "SaverArguments.h"

namespace {

constexpr int kMaxSettings = 8;

std::string KeyOf(const TWindowsSaver& Saver) { return std::string("Software\\Lumo\\") + Saver.Name; }

std::vector<std::string> ChoicesOf(const TSaverSetting& Setting) {
  std::vector<std::string> Out(1);
  for (const char* P = Setting.Choices; *P != '\0'; ++P) {
    if (*P == '|') {
      Out.emplace_back();
    } else {
      Out.back() += *P;
    }
  }
  return Out;
}

DWORD ValueCount(const TSaverSetting& Setting) {
  return Setting.Choices == nullptr ? 2 : static_cast<DWORD>(ChoicesOf(Setting).size());
}

bool WriteSettings(const TWindowsSaver& Saver, const DWORD* Values) {
  HKEY Key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyOf(Saver).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &Key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  bool Ok = true;
  for (size_t I = 0; I < Saver.SettingCount; ++I) {
    Ok = RegSetValueExA(Key, Saver.Settings[I].Name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Values[I]),
                        sizeof(DWORD)) == ERROR_SUCCESS &&
         Ok;
  }
  RegCloseKey(Key);
  return Ok;
}

// ---- The settings dialog ----

const TWindowsSaver* Shown = nullptr;
HWND Dialog = nullptr;
bool Saved = false;

void SaveFromDialog() {
  DWORD Values[kMaxSettings] = {};
  for (size_t I = 0; I < Shown->SettingCount; ++I) {
    HWND Control = GetDlgItem(Dialog, SettingControlBase + static_cast<int>(I));
    if (Shown->Settings[I].Choices == nullptr) {
      Values[I] = SendMessageA(Control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    } else {
      const LRESULT Chosen = SendMessageA(Control, CB_GETCURSEL, 0, 0);
      Values[I] = Chosen < 0 ? Shown->Settings[I].Default : static_cast<DWORD>(Chosen);
    }
  }
  if (WriteSettings(*Shown, Values)) {
    Saved = true;
    DestroyWindow(Dialog);
  } else {
    MessageBoxA(Dialog, "The settings could not be saved.", Shown->Name, MB_OK | MB_ICONERROR);
  }
}

LRESULT CALLBACK DialogProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  switch (Message) {
    case WM_COMMAND:
      if (LOWORD(WParam) == IDOK) {
        SaveFromDialog();
      } else if (LOWORD(WParam) == IDCANCEL) {
        DestroyWindow(Window);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(Window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(Window, Message, WParam, LParam);
  }
}

HWND Control(const char* Class, const char* Text, DWORD Style, int X, int Y, int W, int H, int Id, HFONT Font) {
  HWND Made = CreateWindowExA(0, Class, Text, WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, Dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(Made, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
  return Made;
}

int ShowSettings(const TWindowsSaver& Saver, HWND Owner) {
  Shown = &Saver;
  Saved = false;
  DWORD Values[kMaxSettings] = {};
  ReadSaverSettings(Saver, Values);
  const int Rows = static_cast<int>(Saver.SettingCount);
  const int Width = 300, Height = 60 + 30 * Rows;
  RECT Outer{0, 0, Width, Height};
  const DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRectEx(&Outer, Style, FALSE, WS_EX_DLGMODALFRAME);
  const std::string Caption = std::string(Saver.Name) + " settings";
  Dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, "#32770", Caption.c_str(), Style, CW_USEDEFAULT, CW_USEDEFAULT,
                           Outer.right - Outer.left, Outer.bottom - Outer.top, Owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  if (Dialog == nullptr) return 1;
  SetWindowLongPtrA(Dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogProc));
  HFONT Font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (int I = 0; I < Rows; ++I) {
    const TSaverSetting& Setting = Saver.Settings[I];
    const int Y = 12 + 30 * I;
    if (Setting.Choices == nullptr) {
      HWND Box =
          Control("BUTTON", Setting.Label, BS_AUTOCHECKBOX | WS_TABSTOP, 12, Y, 270, 22, SettingControlBase + I, Font);
      SendMessageA(Box, BM_SETCHECK, Values[I] != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    } else {
      Control("STATIC", Setting.Label, SS_LEFT, 12, Y + 3, 120, 20, -1, Font);
      HWND List = Control("COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 140, Y, 140, 120,
                          SettingControlBase + I, Font);
      for (const std::string& Choice : ChoicesOf(Setting))
        SendMessageA(List, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Choice.c_str()));
      SendMessageA(List, CB_SETCURSEL, Values[I], 0);
    }
  }
  Control("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, Width - 180, Height - 36, 80, 26, IDOK, Font);
  Control("BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, Width - 92, Height - 36, 80, 26, IDCANCEL, Font);
  ShowWindow(Dialog, SW_SHOW);
  if (Owner != nullptr) EnableWindow(Owner, FALSE);
  MSG Message;
  while (GetMessageA(&Message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(Dialog, &Message)) continue;
    TranslateMessage(&Message);
    DispatchMessageA(&Message);
  }
  if (Owner != nullptr) EnableWindow(Owner, TRUE);
  return 0;
}

}  // namespace

void ReadSaverSettings(const TWindowsSaver& Saver, DWORD* Values) {
  HKEY Key = nullptr;
  const bool Open = RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(Saver).c_str(), 0, KEY_QUERY_VALUE, &Key) == ERROR_SUCCESS;
  for (size_t I = 0; I < Saver.SettingCount; ++I) {
    const TSaverSetting& Setting = Saver.Settings[I];
    DWORD Value = 0, Type = 0, Size = sizeof Value;
    const bool Read = Open && RegQueryValueExA(Key, Setting.Name, nullptr, &Type, reinterpret_cast<BYTE*>(&Value),
                                               &Size) == ERROR_SUCCESS;
    // A value someone else wrote is taken only when it is one of ours.
    Values[I] =
        Read && Type == REG_DWORD && Size == sizeof Value && Value < ValueCount(Setting) ? Value : Setting.Default;
  }
  if (Open) RegCloseKey(Key);
}

int RunWindowsSaver(const char* CommandLine, const TWindowsSaver& Saver) {
  const auto Command = ParseSaverCommand(CommandLine);
  if (!Command || Saver.SettingCount > kMaxSettings) return 2;
  if (Command->Verb == TSaverVerb::Settings) {
    return ShowSettings(Saver, reinterpret_cast<HWND>(Command->Window));
  }
  DWORD Values[kMaxSettings] = {};
  ReadSaverSettings(Saver, Values);
  TSaverRun Run;
  if (Command->Verb == TSaverVerb::Preview) {
    Run.Place = TSaverPlace::Inside;
    Run.Parent = reinterpret_cast<HWND>(Command->Window);
    if (!IsWindow(Run.Parent)) return 1;
  } else {
    Run.Place = TSaverPlace::FullScreen;
  }
  // About 60 frames a second: Sleep counts whole milliseconds only with the
  // finest timer period.
  Run.FrameMicroseconds = 16667;
  timeBeginPeriod(1);
  const int Status = RunSaver(Saver.Configure(Values), Run);
  timeEndPeriod(1);
  return Status;
}
