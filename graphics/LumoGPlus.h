// SPDX-License-Identifier: MIT
// Picture loading by name: binds GdiPlus.dll at run time (the program does
// not link against it), starts it once, and decodes pictures from the
// program's resources or from memory into a surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoDIB.h"
#include "LumoPlatform.h"

#include "GdiPlusFlat.h"

// The format flag of the formats GDI itself can hold.
constexpr uint32_t PixelFormatGDI = 0x00020000;

// Entry types, T<entry>, with GDI+'s flat signatures. Entries the system
// never calls are kept as untyped pointers.
#define LUMO_GPLUS_ENTRY_TYPE(Name, Result, Parameters) typedef Result(WINAPI* T##Name) Parameters;
#define LUMO_GPLUS_NO_TYPE(Name, Result, Parameters)
LUMO_GDIPLUS_ENTRIES(LUMO_GPLUS_ENTRY_TYPE, LUMO_GPLUS_NO_TYPE)
typedef FARPROC TGdipUnused;

// Binding state, one copy per process. The token is pointer-sized because
// GdiplusStartup writes a ULONG_PTR (32 bits on the i686 target).
extern HMODULE GdipLib;
extern bool GdipLoadFailed;
extern ULONG_PTR GdipToken;

// One pointer per entry, named after it; null until bound.
#define LUMO_GPLUS_DECLARE_ENTRY(Name, Result, Parameters) extern T##Name Name;
#define LUMO_GPLUS_DECLARE_SPARE(Name, Result, Parameters) extern TGdipUnused Name;
LUMO_GDIPLUS_ENTRIES(LUMO_GPLUS_DECLARE_ENTRY, LUMO_GPLUS_DECLARE_SPARE)

// Loads and starts GDI+ on first use; true while it is running.
bool InitGdiPlus();
// Shuts GDI+ down if it is running.
void CloseGdiPlus();

struct TGpImageInfo {
  uint32_t Width;
  uint32_t Height;
  int32_t Bpp;
};

// Surface depth per pixel-format index 1..14 (entry 0 unused).
extern const int32_t PixelFormatBpp[15];

bool LoadDIBFromResource(const char* Name, const char* ResType, TLumoDIB* Dib);
bool LoadDIBFromMemory(const void* Data, int32_t Size, TLumoDIB* Dib);
void CreateMemStream(const void* Data, HGLOBAL Memory, uint32_t Size, IStream*& Stream);
bool ImageToDIB(GpImage* Image, TLumoDIB* Dib, TGpImageInfo* Info);
uint32_t GetImageInfo(GpImage* Image, TGpImageInfo& Info);
// Sizes Dib to the picture in a layout that shows it and fills it. A lock
// that fails or covers less than the picture fails with Dib as it was.
bool DecodeIntoDIB(GpImage* Image, TLumoDIB* Dib, const TGpImageInfo& Info, uint32_t PixelFormat);
void CopyLockedRows(const void* Src, int32_t Stride, TLumoDIB* Dib, bool Flip);

// The unit's finalisation, run once at normal termination: shuts GDI+ down
// and releases the library.
void FinalizeLumoGPlus();
