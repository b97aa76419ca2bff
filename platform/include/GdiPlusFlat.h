// SPDX-License-Identifier: MIT
// GDI+'s flat interface as the system uses it: records, handles, and one list
// of the thirty entries with their signatures. The picture loader's table,
// the codec module's exports and the tests' fake module all expand this list,
// so a name or a signature is written once. Nothing of GDI+ itself is
// included or linked; layouts are GDI+'s published ones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoPlatform.h"

typedef int GpStatus;  // 0 = Ok
typedef int32_t GpPixelFormat;
typedef uint32_t GpARGB;
// Defined by whichever module makes images and graphics.
struct GpImage;
struct GpGraphics;

struct GdiplusStartupInput {
  uint32_t GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

struct GdiplusStartupOutput {
  GpStatus(WINAPI* NotificationHook)(ULONG_PTR* Token);
  void(WINAPI* NotificationUnhook)(ULONG_PTR Token);
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
static_assert(sizeof(void*) != 8 || (sizeof(GdiplusStartupInput) == 24 && sizeof(BitmapData) == 32),
              "GDI+ record layouts on 64-bit hosts");
static_assert(offsetof(ColorPalette, Entries) == 8, "ColorPalette header");

// Every entry in the order the loader binds them: the two start-up entries
// first, then the rest. USED(Name, Result, Parameters) marks the entries the
// system calls; SPARE(...) the ones it binds but never calls.
#define LUMO_GDIPLUS_STARTUP_ENTRIES(USED, SPARE)                                                                     \
  USED(GdiplusStartup, GpStatus, (ULONG_PTR * Token, const GdiplusStartupInput* Input, GdiplusStartupOutput* Output)) \
  USED(GdiplusShutdown, void, (ULONG_PTR Token))

#define LUMO_GDIPLUS_RUNNING_ENTRIES(USED, SPARE)                                                    \
  USED(GdipCreateFromHDC, GpStatus, (HDC DC, GpGraphics * *Graphics))                                \
  USED(GdipDeleteGraphics, GpStatus, (GpGraphics * Graphics))                                        \
  USED(GdipDrawImageI, GpStatus, (GpGraphics * Graphics, GpImage * Image, INT X, INT Y))             \
  USED(GdipDisposeImage, GpStatus, (GpImage * Image))                                                \
  SPARE(GdipCreateBitmapFromGdiDib, GpStatus, (const BITMAPINFO* Info, void* Bits, GpImage** Image)) \
  SPARE(GdipLoadImageFromFile, GpStatus, (const uint16_t* Name, GpImage** Image))                    \
  SPARE(GdipLoadImageFromFileICM, GpStatus, (const uint16_t* Name, GpImage** Image))                 \
  USED(GdipLoadImageFromStream, GpStatus, (IStream * Stream, GpImage * *Image))                      \
  SPARE(GdipLoadImageFromStreamICM, GpStatus, (IStream * Stream, GpImage * *Image))                  \
  SPARE(GdipSaveImageToFile, GpStatus,                                                               \
        (GpImage * Image, const uint16_t* Name, const CLSID* Encoder, const void* Parameters))       \
  USED(GdipGetImageWidth, GpStatus, (GpImage * Image, UINT * Width))                                 \
  USED(GdipGetImageHeight, GpStatus, (GpImage * Image, UINT * Height))                               \
  USED(GdipGetImageType, GpStatus, (GpImage * Image, UINT * Type))                                   \
  USED(GdipGetImagePixelFormat, GpStatus, (GpImage * Image, GpPixelFormat * Format))                 \
  USED(GdipGetImagePaletteSize, GpStatus, (GpImage * Image, INT * Size))                             \
  USED(GdipGetImagePalette, GpStatus, (GpImage * Image, ColorPalette * Palette, INT Size))           \
  SPARE(GdipImageGetFrameDimensionsCount, GpStatus, (GpImage * Image, UINT * Count))                 \
  SPARE(GdipImageGetFrameDimensionsList, GpStatus, (GpImage * Image, GUID * Ids, UINT Count))        \
  SPARE(GdipImageGetFrameCount, GpStatus, (GpImage * Image, const GUID* Dimension, UINT* Count))     \
  SPARE(GdipImageSelectActiveFrame, GpStatus, (GpImage * Image, const GUID* Dimension, UINT Index))  \
  SPARE(GdipGetPropertyItemSize, GpStatus, (GpImage * Image, ULONG Id, UINT * Size))                 \
  SPARE(GdipGetPropertyItem, GpStatus, (GpImage * Image, ULONG Id, UINT Size, void* Item))           \
  SPARE(GdipGetImageDecodersSize, GpStatus, (UINT * Count, UINT * Size))                             \
  SPARE(GdipGetImageDecoders, GpStatus, (UINT Count, UINT Size, void* Decoders))                     \
  SPARE(GdipGetImageEncodersSize, GpStatus, (UINT * Count, UINT * Size))                             \
  SPARE(GdipGetImageEncoders, GpStatus, (UINT Count, UINT Size, void* Encoders))                     \
  USED(GdipBitmapLockBits, GpStatus,                                                                 \
       (GpImage * Image, const GpRect* Rect, UINT Flags, GpPixelFormat Format, BitmapData* Data))    \
  USED(GdipBitmapUnlockBits, GpStatus, (GpImage * Image, BitmapData * Data))

#define LUMO_GDIPLUS_ENTRIES(USED, SPARE)   \
  LUMO_GDIPLUS_STARTUP_ENTRIES(USED, SPARE) \
  LUMO_GDIPLUS_RUNNING_ENTRIES(USED, SPARE)
