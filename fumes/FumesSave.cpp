// SPDX-License-Identifier: MIT
// Saving the field as a BMP file, and telling the user when it could not be
// saved: a failed dialog or write would otherwise look like success.
#include <cstdio>
#include <cstring>
#include <string>

#include "Fumes.h"
#include "FumesSim.h"
#include "LumoDIB.h"
#include "LumoFX.h"

namespace {

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(OPENFILENAMEA) == 88, "the dialog record includes the reserved fields and FlagsEx");
#endif

constexpr char kBoxCaption[] = "fumes";

void Tell(const std::string& Text) { MessageBoxA(WindowHandle, Text.c_str(), kBoxCaption, MB_OK | MB_ICONERROR); }

// The system's wording of Error, without the line end it comes with.
std::string ReasonOf(DWORD Error) {
  char Text[512];
  DWORD Length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0, Text,
                                sizeof(Text), nullptr);
  while (Length > 0 && (Text[Length - 1] == '\r' || Text[Length - 1] == '\n' || Text[Length - 1] == ' ')) {
    --Length;
  }
  return Length > 0 ? std::string(Text, Length) : "error " + std::to_string(Error);
}

// A dialog that failed, rather than being cancelled.
void TellDialogFailed(DWORD Error) {
  if (Error == FNERR_BUFFERTOOSMALL) {
    Tell("Could not save the picture: the chosen path is longer than 255 characters.");
    return;
  }
  char Text[96];
  std::snprintf(Text, sizeof(Text), "Could not save the picture: the file dialog failed (error 0x%04X).",
                static_cast<unsigned>(Error));
  Tell(Text);
}

}  // namespace

void SaveBitmap() {
  char FileName[256];
  FileName[0] = '\0';

  OPENFILENAMEA Dialog;
  std::memset(&Dialog, 0, sizeof(Dialog));
  Dialog.lStructSize = sizeof(OPENFILENAMEA);
  Dialog.hwndOwner = WindowHandle;
  Dialog.hInstance = nullptr;
  Dialog.lpstrFilter = "Bitmap Files (*.bmp)\0*.bmp\0\0";
  Dialog.lpstrFile = FileName;
  Dialog.nMaxFile = sizeof(FileName);
  Dialog.lpstrInitialDir = "c:\\";
  Dialog.lpstrTitle = "Save Bitmap";
  Dialog.Flags = 0;
  Dialog.lpstrDefExt = ".bmp";
  if (GetOpenFileNameA(&Dialog) == 0) {
    // Cancel says nothing; only a failure has an error code.
    const DWORD Error = CommDlgExtendedError();
    if (Error != 0) {
      TellDialogFailed(Error);
    }
    return;
  }
  // Never trust the dialog to have terminated the text inside the buffer.
  FileName[sizeof(FileName) - 1] = '\0';

  TLumoDIB& Dib = *FumeDib;
  bool Written;
  DWORD Error;
  if (Dib.Header.biHeight < 0) {
    // The field is top-down; an ordinary BMP is bottom-up. The flip back and
    // the height are restored whatever the write made of it.
    Dib.Header.biHeight = -Dib.Header.biHeight;
    FlipRows(Dib);
    Written = Dib.WriteBitmapFile(FileName);
    Error = GetLastError();
    FlipRows(Dib);
    Dib.Header.biHeight = -Dib.Header.biHeight;
  } else {
    Written = Dib.WriteBitmapFile(FileName);
    Error = GetLastError();
  }
  // Told only now, with the field as it was: the box lets paint messages in.
  if (!Written) {
    Tell(std::string("Could not save the picture to ") + FileName + ": " + ReasonOf(Error));
  }
}
