// Picture loading by name: binds GdiPlus.dll at run time (the program does
// not link against it), starts it once, and decodes pictures from the
// program's resources or from memory into a surface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoDIB.h"
#include "LumoPlatform.h"

// GDI+'s records and handles, declared here because nothing of GDI+ is
// included or linked. Layouts are GDI+'s published ones.
typedef int GpStatus;  // 0 = Ok
typedef int32_t GpPixelFormat;
typedef uint32_t GpARGB;
struct GpImage;
struct GpGraphics;
struct GdiplusStartupOutput;

struct GdiplusStartupInput {
  uint32_t GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

struct ColorPalette {
  UINT Flags;
  UINT Count;
  GpARGB Entries[1];
};

struct BitmapData {
  UINT Width;
  UINT Height;
  INT Stride;
  GpPixelFormat PixelFormat;
  void* Scan0;
  UINT_PTR Reserved;
};

struct GpRect {
  INT X;
  INT Y;
  INT Width;
  INT Height;
};

static_assert(sizeof(void*) != 4 || (sizeof(GdiplusStartupInput) == 16 && sizeof(BitmapData) == 24),
              "GDI+ record layouts on 32-bit Windows");
static_assert(offsetof(ColorPalette, Entries) == 8, "ColorPalette header");

// The format flag of the formats GDI itself can hold.
constexpr uint32_t PixelFormatGDI = 0x00020000;

// Entry types, GDI+'s flat signatures. Entries the system never calls are
// kept as untyped pointers.
typedef GpStatus(WINAPI* TGdiplusStartup)(ULONG_PTR* Token, const GdiplusStartupInput* Input,
                                          GdiplusStartupOutput* Output);
typedef void(WINAPI* TGdiplusShutdown)(ULONG_PTR Token);
typedef GpStatus(WINAPI* TGdipCreateFromHDC)(HDC DC, GpGraphics** Graphics);
typedef GpStatus(WINAPI* TGdipDeleteGraphics)(GpGraphics* Graphics);
typedef GpStatus(WINAPI* TGdipDrawImageI)(GpGraphics* Graphics, GpImage* Image, INT X, INT Y);
typedef GpStatus(WINAPI* TGdipDisposeImage)(GpImage* Image);
typedef GpStatus(WINAPI* TGdipLoadImageFromStream)(IStream* Stream, GpImage** Image);
typedef GpStatus(WINAPI* TGdipGetImageWidth)(GpImage* Image, UINT* Width);
typedef GpStatus(WINAPI* TGdipGetImageHeight)(GpImage* Image, UINT* Height);
typedef GpStatus(WINAPI* TGdipGetImageType)(GpImage* Image, UINT* Type);
typedef GpStatus(WINAPI* TGdipGetImagePixelFormat)(GpImage* Image, GpPixelFormat* Format);
typedef GpStatus(WINAPI* TGdipGetImagePaletteSize)(GpImage* Image, INT* Size);
typedef GpStatus(WINAPI* TGdipGetImagePalette)(GpImage* Image, ColorPalette* Palette, INT Size);
typedef GpStatus(WINAPI* TGdipBitmapLockBits)(GpImage* Image, const GpRect* Rect, UINT Flags, GpPixelFormat Format,
                                              BitmapData* Data);
typedef GpStatus(WINAPI* TGdipBitmapUnlockBits)(GpImage* Image, BitmapData* Data);
typedef FARPROC TGdipUnused;

// Binding state, one copy per process. The token is pointer-sized because
// GdiplusStartup writes a ULONG_PTR (32 bits on the i686 target).
extern HMODULE GdipLib;
extern bool GdipLoadFailed;
extern ULONG_PTR GdipToken;

extern TGdiplusStartup GdiplusStartup;
extern TGdiplusShutdown GdiplusShutdown;
extern TGdipCreateFromHDC GdipCreateFromHDC;
extern TGdipDeleteGraphics GdipDeleteGraphics;
extern TGdipDrawImageI GdipDrawImageI;
extern TGdipDisposeImage GdipDisposeImage;
extern TGdipUnused GdipCreateBitmapFromGdiDib;
extern TGdipUnused GdipLoadImageFromFile;
extern TGdipUnused GdipLoadImageFromFileICM;
extern TGdipLoadImageFromStream GdipLoadImageFromStream;
extern TGdipUnused GdipLoadImageFromStreamICM;
extern TGdipUnused GdipSaveImageToFile;
extern TGdipGetImageWidth GdipGetImageWidth;
extern TGdipGetImageHeight GdipGetImageHeight;
extern TGdipGetImageType GdipGetImageType;
extern TGdipGetImagePixelFormat GdipGetImagePixelFormat;
extern TGdipGetImagePaletteSize GdipGetImagePaletteSize;
extern TGdipGetImagePalette GdipGetImagePalette;
extern TGdipUnused GdipImageGetFrameDimensionsCount;
extern TGdipUnused GdipImageGetFrameDimensionsList;
extern TGdipUnused GdipImageGetFrameCount;
extern TGdipUnused GdipImageSelectActiveFrame;
extern TGdipUnused GdipGetPropertyItemSize;
extern TGdipUnused GdipGetPropertyItem;
extern TGdipUnused GdipGetImageDecodersSize;
extern TGdipUnused GdipGetImageDecoders;
extern TGdipUnused GdipGetImageEncodersSize;
extern TGdipUnused GdipGetImageEncoders;
extern TGdipBitmapLockBits GdipBitmapLockBits;
extern TGdipBitmapUnlockBits GdipBitmapUnlockBits;

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

// Test hook only: runs the finalisation, then puts the binding back to its
// state at program start, so that tests can walk the whole state table.
void LumoGPlusResetForTests();
