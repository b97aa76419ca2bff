// SPDX-License-Identifier: MIT
// Control block of the fake picture-codec module that the binding tests load
// in place of GdiPlus.dll. Tests set the answers and read the call record.
#pragma once

#include <cstddef>
#include <cstdint>

struct FakeGdipControl {
  // Start-up and shutdown.
  int StartupStatus;
  uintptr_t StartupToken;  // handed out as the token; 0 = a zero token
  unsigned StartupCalls;
  unsigned ShutdownCalls;
  uintptr_t ShutdownTokens[8];

  // The one picture every load yields.
  int LoadStatus;
  unsigned LoadCalls;
  unsigned LoadedBytes;  // bytes the stream held from its start position
  unsigned char LoadedFirstByte;
  uint32_t Width;
  uint32_t Height;
  int32_t Format;
  uint32_t Type;  // 1 bitmap, 2 metafile

  // Palette queries.
  int PaletteSizeStatus;
  int PaletteSize;  // reported size in bytes
  int PaletteStatus;
  uint32_t PaletteCount;  // written into the header
  uint32_t PaletteFill;   // entries written: entry i = 0xFF000000 | i * 0x010101

  // Lock path: rows top row first at Scan0, Stride apart.
  int LockStatus;
  unsigned LockCalls;
  unsigned UnlockCalls;
  int32_t LockedFormat;
  const unsigned char* Scan0;
  int32_t Stride;
  uint32_t LockHeight;  // 0 = the picture's height

  // Draw path.
  int CreateGraphicsStatus;
  unsigned CreateGraphicsCalls;
  unsigned DrawCalls;
  unsigned DeleteGraphicsCalls;
  void* GraphicsDC;

  unsigned DisposeCalls;
  unsigned LiveImages;
};

extern "C" FakeGdipControl* FakeGdipControlBlock();
// Back to the defaults: start-up succeeds with token 0x1234; loads yield a
// 4 x 3 picture in 8-bit indexed format with a 2-entry palette.
extern "C" void FakeGdipReset();
