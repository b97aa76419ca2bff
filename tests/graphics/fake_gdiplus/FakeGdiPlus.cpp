// SPDX-License-Identifier: MIT
// A stand-in for the picture-codec module: answers as the control block says
// and records every call, so the binding's state table and the decoding
// choices can be checked without a real codec.
#include "FakeGdiPlus.h"

#include <cstring>

#include "GdiPlusFlat.h"
#include "LumoPlatform.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

// Declared from the one list of entries: a fake entry whose signature
// strays from what the loader binds does not compile.
#define FAKE_DECLARE(Name, Result, Parameters) FAKE_EXPORT Result WINAPI Name Parameters;
LUMO_GDIPLUS_ENTRIES(FAKE_DECLARE, FAKE_DECLARE)

struct GpImage {
  int Unused;
};
struct GpGraphics {
  int Unused;
};

namespace {

FakeGdipControl Control;
GpImage TheImage;        // every image handle points here
GpGraphics TheGraphics;  // and every graphics handle here

}  // namespace

FAKE_EXPORT FakeGdipControl* FakeGdipControlBlock() { return &Control; }

FAKE_EXPORT void FakeGdipReset() {
  std::memset(&Control, 0, sizeof(Control));
  Control.StartupToken = 0x1234;
  Control.Width = 4;
  Control.Height = 3;
  Control.Format = 0x00030803;
  Control.Type = 1;
  Control.PaletteSize = 8 + 2 * 4;
  Control.PaletteCount = 2;
  Control.PaletteFill = 2;
}

FAKE_EXPORT int GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput*, GdiplusStartupOutput*) {
  ++Control.StartupCalls;
  *token = Control.StartupToken;
  return Control.StartupStatus;
}

#if !defined(FAKE_NO_SHUTDOWN)
FAKE_EXPORT void GdiplusShutdown(ULONG_PTR token) {
  if (Control.ShutdownCalls < 8) Control.ShutdownTokens[Control.ShutdownCalls] = token;
  ++Control.ShutdownCalls;
}
#endif

FAKE_EXPORT int GdipLoadImageFromStream(IStream* stream, GpImage** image) {
  ++Control.LoadCalls;
  Control.LoadedBytes = 0;
  unsigned char buffer[4096];
  ULONG got = 0;
  bool first = true;
  while (stream->Read(buffer, sizeof(buffer), &got) == S_OK && got > 0) {
    if (first) Control.LoadedFirstByte = buffer[0];
    first = false;
    Control.LoadedBytes += got;
  }
  if (Control.LoadStatus != 0) return Control.LoadStatus;
  *image = &TheImage;
  ++Control.LiveImages;
  return 0;
}

FAKE_EXPORT int GdipDisposeImage(GpImage*) {
  ++Control.DisposeCalls;
  --Control.LiveImages;
  return 0;
}

FAKE_EXPORT int GdipGetImageWidth(GpImage*, UINT* value) {
  *value = Control.Width;
  return 0;
}
FAKE_EXPORT int GdipGetImageHeight(GpImage*, UINT* value) {
  *value = Control.Height;
  return 0;
}
FAKE_EXPORT int GdipGetImagePixelFormat(GpImage*, INT* value) {
  *value = Control.Format;
  return 0;
}
FAKE_EXPORT int GdipGetImageType(GpImage*, UINT* value) {
  *value = Control.Type;
  return 0;
}

FAKE_EXPORT int GdipGetImagePaletteSize(GpImage*, INT* size) {
  *size = Control.PaletteSize;
  return Control.PaletteSizeStatus;
}

// Writes exactly what the control block says, bounded by the size given.
FAKE_EXPORT int GdipGetImagePalette(GpImage*, ColorPalette* palette, INT size) {
  if (Control.PaletteStatus != 0) return Control.PaletteStatus;
  auto* bytes = reinterpret_cast<unsigned char*>(palette);
  if (size >= 8) {
    uint32_t header[2] = {0, Control.PaletteCount};
    std::memcpy(bytes, header, 8);
  }
  for (uint32_t i = 0; i < Control.PaletteFill && 8 + 4 * size_t(i) + 4 <= size_t(size); ++i) {
    uint32_t entry = 0xFF000000u | (i & 0xFF) * 0x010101u;
    std::memcpy(bytes + 8 + 4 * size_t(i), &entry, 4);
  }
  return 0;
}

FAKE_EXPORT int GdipBitmapLockBits(GpImage*, const GpRect*, UINT, INT format, BitmapData* data) {
  ++Control.LockCalls;
  Control.LockedFormat = format;
  if (Control.LockStatus != 0) return Control.LockStatus;
  data->Width = Control.Width;
  data->Height = Control.LockHeight ? Control.LockHeight : Control.Height;
  data->Stride = Control.Stride;
  data->PixelFormat = format;
  data->Scan0 = const_cast<unsigned char*>(Control.Scan0);
  return 0;
}

FAKE_EXPORT int GdipBitmapUnlockBits(GpImage*, BitmapData*) {
  ++Control.UnlockCalls;
  return 0;
}

FAKE_EXPORT int GdipCreateFromHDC(HDC dc, GpGraphics** graphics) {
  ++Control.CreateGraphicsCalls;
  Control.GraphicsDC = dc;
  if (Control.CreateGraphicsStatus != 0) return Control.CreateGraphicsStatus;
  *graphics = &TheGraphics;
  return 0;
}

FAKE_EXPORT int GdipDrawImageI(GpGraphics*, GpImage*, INT, INT) {
  ++Control.DrawCalls;
  return 0;
}

FAKE_EXPORT int GdipDeleteGraphics(GpGraphics*) {
  ++Control.DeleteGraphicsCalls;
  return 0;
}
