// SPDX-License-Identifier: MIT
// The programs as Windows screensavers (.scr): /s over the whole screen,
// /p HWND inside the control panel's preview, /c or nothing for the
// settings, which are kept per user under HKEY_CURRENT_USER\Software\Lumo\<program>.
#pragma once

#include <cstdint>

#include "LumoPlatform.h"
#include "Saver.h"

// One setting: a check box (Choices null: 0 or 1) or a list of choices
// ("1|2|both": the index of the one chosen).
struct TSaverSetting {
  const char* Name;  // the registry value (a DWORD)
  const char* Label;
  const char* Choices;
  DWORD Default;
};

struct TWindowsSaver {
  const char* Name;  // the program: the registry key and the captions
  const TSaverSetting* Settings;
  size_t SettingCount;
  // Takes the settings' values (in the table's order) and returns the effect.
  const TSaverEffect& (*Configure)(const DWORD* Values);
};

// The control identifiers of the settings dialog: setting I is 100 + I,
// OK and Cancel are IDOK and IDCANCEL.
inline constexpr int SettingControlBase = 100;

// Reads the settings (their defaults where a value is missing or out of
// range) into Values.
void ReadSaverSettings(const TWindowsSaver& Saver, DWORD* Values);

// The whole program: reads the command line and does what it asks. The
// process's exit status.
int RunWindowsSaver(const char* CommandLine, const TWindowsSaver& Saver);
