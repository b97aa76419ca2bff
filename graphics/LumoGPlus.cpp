// SPDX-License-Identifier: MIT
#include "LumoGPlus.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

HMODULE GdipLib = nullptr;
bool GdipLoadFailed = false;
ULONG_PTR GdipToken = 0;

#define LUMO_GPLUS_DEFINE_ENTRY(Name, Result, Parameters) T##Name Name = nullptr;
#define LUMO_GPLUS_DEFINE_SPARE(Name, Result, Parameters) TGdipUnused Name = nullptr;
LUMO_GDIPLUS_ENTRIES(LUMO_GPLUS_DEFINE_ENTRY, LUMO_GPLUS_DEFINE_SPARE)

const int32_t PixelFormatBpp[15] = {24, 1, 4, 8, 8, 16, 16, 32, 24, 32, 32, 32, 24, 32, 32};

namespace {

const char kLibraryName[] = "GdiPlus.dll";

template <class T>
void Bind(T& pointer, const char* name) {
  // Through void (*)() so the cast between function types stays explicit.
  pointer = reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(GdipLib, name)));
}

#define LUMO_GPLUS_BIND(Name, Result, Parameters) Bind(Name, #Name);

void BindStartupEntries() { LUMO_GDIPLUS_STARTUP_ENTRIES(LUMO_GPLUS_BIND, LUMO_GPLUS_BIND) }

void BindRunningEntries() { LUMO_GDIPLUS_RUNNING_ENTRIES(LUMO_GPLUS_BIND, LUMO_GPLUS_BIND) }

// Releases the stream on every way out of a load; the image is disposed of
// before this runs, since it may still read from the stream.
struct StreamHolder {
  IStream* Stream = nullptr;
  StreamHolder() = default;
  StreamHolder(const StreamHolder&) = delete;
  StreamHolder& operator=(const StreamHolder&) = delete;
  ~StreamHolder() {
    if (Stream) Stream->Release();
  }
};

struct ImageHolder {
  GpImage* Image = nullptr;
  ImageHolder() = default;
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
  ~ImageHolder() {
    if (Image) GdipDisposeImage(Image);
  }
};

// Runs the unit's finalisation at normal termination.
struct Finalizer {
  ~Finalizer() { FinalizeLumoGPlus(); }
} TheFinalizer;

}  // namespace

bool InitGdiPlus() {
  if (GdipLoadFailed) return false;
  if (!GdipLib) {
    GdipLib = LoadLibraryA(kLibraryName);
    GdipLoadFailed = GdipLib == nullptr;
    if (GdipLoadFailed) return false;
    BindStartupEntries();
  }
  if (GdipToken != 0) return true;
  if (!GdiplusStartup) return false;
  GdiplusStartupInput input;
  std::memset(&input, 0, sizeof(input));
  input.GdiplusVersion = 1;
  GpStatus status = GdiplusStartup(&GdipToken, &input, nullptr);
  if (status != 0 || GdipToken == 0) {
    // A failed start-up is not running, whatever it left in the token;
    // otherwise the next call would take it for running GDI+.
    GdipToken = 0;
    return false;
  }
  BindRunningEntries();
  return true;
}

void CloseGdiPlus() {
  if (GdipToken != 0) {
    // A module may start without offering a shutdown; nothing to call then.
    if (GdiplusShutdown) GdiplusShutdown(GdipToken);
    GdipToken = 0;
  }
}

void FinalizeLumoGPlus() {
  CloseGdiPlus();
  if (GdipLib) {
    FreeLibrary(GdipLib);
    GdipLib = nullptr;
  }
}

bool LoadDIBFromResource(const char* Name, const char* ResType, TLumoDIB* Dib) {
  if (!InitGdiPlus()) return false;
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, Name, ResType);
  if (!res) return false;
  HGLOBAL handle = LoadResource(module, res);
  DWORD size = SizeofResource(module, res);
  // Beyond 2 GB the size does not fit the loader's signed count.
  if (!handle || size == 0 || size > 0x7FFFFFFFu) return false;
  const void* p = LockResource(handle);
  bool result = p != nullptr && LoadDIBFromMemory(p, int32_t(size), Dib);
  FreeResource(handle);
  return result;
}

namespace {

// Every entry a load may call. A module may lack any of them; a load then
// fails before it starts rather than call through a null pointer.
bool LoadEntriesBound() {
  return GdipLoadImageFromStream && GdipDisposeImage && GdipGetImageWidth && GdipGetImageHeight &&
         GdipGetImagePixelFormat && GdipGetImageType && GdipGetImagePaletteSize && GdipGetImagePalette &&
         GdipBitmapLockBits && GdipBitmapUnlockBits && GdipCreateFromHDC && GdipDrawImageI && GdipDeleteGraphics;
}

}  // namespace

bool LoadDIBFromMemory(const void* Data, int32_t Size, TLumoDIB* Dib) {
  if (!InitGdiPlus() || !LoadEntriesBound()) return false;
  // Nothing to decode; a negative count would become a huge unsigned one.
  if (!Data || Size <= 0) return false;
  StreamHolder stream;
  CreateMemStream(Data, nullptr, uint32_t(Size), stream.Stream);
  if (!stream.Stream) return false;
  ImageHolder image;
  if (GdipLoadImageFromStream(stream.Stream, &image.Image) != 0) return false;
  return ImageToDIB(image.Image, Dib, nullptr);
}

void CreateMemStream(const void* Data, HGLOBAL Memory, uint32_t Size, IStream*& Stream) {
  if (Stream) {
    Stream->Release();
    Stream = nullptr;
  }
  CreateStreamOnHGlobal(Memory, TRUE, &Stream);
  if (!Stream || Memory || !Data) return;
  ULONG written = 0;
  Stream->Write(Data, Size, &written);
  if (written == Size) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULARGE_INTEGER position;
    Stream->Seek(zero, STREAM_SEEK_SET, &position);
  } else {
    Stream->Release();
    Stream = nullptr;
  }
}

uint32_t GetImageInfo(GpImage* Image, TGpImageInfo& Info) {
  UINT width = 0;
  UINT height = 0;
  GpPixelFormat format = 0;
  GdipGetImageWidth(Image, &width);
  GdipGetImageHeight(Image, &height);
  GdipGetImagePixelFormat(Image, &format);
  uint32_t index = uint32_t(format) & 0xFF;
  if (index < 1 || index > 14) index = 8;
  Info.Width = width;
  Info.Height = height;
  Info.Bpp = PixelFormatBpp[index];
  return uint32_t(format);
}

bool ImageToDIB(GpImage* Image, TLumoDIB* Dib, TGpImageInfo* Info) {
  TGpImageInfo local{};
  uint32_t format = GetImageInfo(Image, local);
  if (Info) *Info = local;
  if (!Dib) return true;
  return DecodeIntoDIB(Image, Dib, local, format);
}

namespace {

// Carries the picture's palette into the colour table. A failed query, or a
// size too small for the header or for the count it claims, copies nothing;
// no entry beyond the table's 256 is ever written.
void CopyPalette(GpImage* Image, TLumoDIB* Dib) {
  INT size = 0;
  if (GdipGetImagePaletteSize(Image, &size) != 0) return;
  // GDI+ palettes hold at most 256 entries; anything far beyond is bogus.
  if (size < INT(offsetof(ColorPalette, Entries)) || size > 65536) return;
  auto* buffer = static_cast<ColorPalette*>(std::calloc(size_t(size), 1));
  if (!buffer) return;
  if (GdipGetImagePalette(Image, buffer, size) == 0) {
    size_t room = (size_t(size) - offsetof(ColorPalette, Entries)) / sizeof(GpARGB);
    size_t count = std::min<size_t>({size_t(buffer->Count), room, 256});
    const auto* entries = reinterpret_cast<const unsigned char*>(buffer) + offsetof(ColorPalette, Entries);
    // An entry 0xAARRGGBB is the bytes blue, green, red, alpha in memory:
    // the same bytes as a colour-table entry with alpha in the reserved byte.
    std::memcpy(Dib->ColourTable, entries, count * sizeof(GpARGB));
  }
  std::free(buffer);
  Dib->SyncPalette();
}

constexpr uint32_t FormatIndexRGB565 = 6;
constexpr uint32_t FormatIndexARGB1555 = 7;
constexpr uint32_t FormatIndexGrey16 = 4;
constexpr GpPixelFormat Format32bppARGB = 0x0026200A;

// The surface for the picture: 5-6-5 pictures get a surface of that layout,
// so that their rows can be copied as they are.
bool AllocateFor(TLumoDIB* Dib, const TGpImageInfo& Info, uint32_t Index) {
  const auto Width = int32_t(Info.Width), Height = int32_t(Info.Height);
  if (Index == FormatIndexRGB565) return Dib->AllocateWith(nullptr, Width, Height, 16, 5, 6, 5);
  return Dib->Allocate(Width, Height, uint8_t(Info.Bpp));
}

// GDI maps what it draws onto an 8-bit surface through the surface's palette,
// so a 16-bit grey picture needs the grey ramp there.
void GreyPalette(TLumoDIB* Dib) {
  for (int i = 0; i < 256; ++i) {
    Dib->ColourTable[i].rgbBlue = Dib->ColourTable[i].rgbGreen = Dib->ColourTable[i].rgbRed = BYTE(i);
  }
  Dib->SyncPalette();
}

}  // namespace

bool DecodeIntoDIB(GpImage* Image, TLumoDIB* Dib, const TGpImageInfo& Info, uint32_t PixelFormat) {
  // The surface cannot hold sizes beyond a signed 32-bit count; refuse them
  // rather than let them wrap to a negative (top-down) height.
  if (Info.Width > 0x7FFFFFFFu || Info.Height > 0x7FFFFFFFu) return false;
  const uint32_t index = PixelFormat & 0xFF;
  UINT type = 0;
  GdipGetImageType(Image, &type);
  if ((PixelFormat & PixelFormatGDI) != 0 && type == 1) {
    // The lock comes first: when it fails, or covers less than the whole
    // picture, the surface is left as it was. A 1-5-5-5 picture gets a 32-bit
    // surface, so its rows are asked for in that format.
    const GpPixelFormat lockFormat = index == FormatIndexARGB1555 ? Format32bppARGB : GpPixelFormat(PixelFormat);
    BitmapData data;
    std::memset(&data, 0, sizeof(data));
    bool ok = GdipBitmapLockBits(Image, nullptr, 0, lockFormat, &data) == 0;
    ok = ok && data.Scan0 != nullptr && data.Width == Info.Width && data.Height == Info.Height;
    ok = ok && AllocateFor(Dib, Info, index);
    if (ok) {
      if (Info.Bpp <= 8) CopyPalette(Image, Dib);
      CopyLockedRows(data.Scan0, data.Stride, Dib, true);
    }
    GdipBitmapUnlockBits(Image, &data);
    return ok;
  }
  if (!AllocateFor(Dib, Info, index)) return false;
  if (index == FormatIndexGrey16) {
    GreyPalette(Dib);
  } else if (Info.Bpp <= 8) {
    CopyPalette(Image, Dib);
  }
  if (!Dib->MemDC) return false;
  GpGraphics* graphics = nullptr;
  if (GdipCreateFromHDC(Dib->MemDC, &graphics) != 0) return false;
  GdipDrawImageI(graphics, Image, 0, 0);
  GdipDeleteGraphics(graphics);
  return true;
}

void CopyLockedRows(const void* Src, int32_t Stride, TLumoDIB* Dib, bool Flip) {
  if (!Src || !Dib || !Dib->Rows || Dib->RowCount <= 0) return;
  // Never more than one row of either side; a locked row is at least as
  // long as the surface row that the picture's own format needs, and the
  // surface row is RowBytes long.
  int64_t stride = Stride;
  size_t n = size_t(std::min<int64_t>(stride < 0 ? -stride : stride, Dib->RowBytes));
  const auto* src = static_cast<const unsigned char*>(Src);
  for (int32_t i = 0; i < Dib->RowCount; ++i) {
    int32_t t = Flip ? Dib->RowCount - 1 - i : i;
    std::memcpy(Dib->Rows[t], src, n);
    src += Stride;
  }
}
