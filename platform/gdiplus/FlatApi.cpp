// SPDX-License-Identifier: MIT
// The flat entries of the picture-codec module, with GDI+'s signatures and
// status codes. Pictures are decoded completely when they are loaded; a lock
// in the picture's own format hands out the decoded rows themselves.
#include <cstring>
#include <new>
#include <vector>

#include "GdiPlusFlat.h"
#include "LumoPlatform.h"
#include "Picture.h"

using namespace lumo::gdiplus;

#define GP_EXPORT extern "C" __attribute__((visibility("default")))

// Every export is declared from the one list of entries, so a definition
// whose signature strays from what callers bind does not compile.
#define GP_DECLARE(Name, Result, Parameters) GP_EXPORT Result WINAPI Name Parameters;
LUMO_GDIPLUS_ENTRIES(GP_DECLARE, GP_DECLARE)

struct GpImage {
  Picture Data;
};

struct GpGraphics {
  HDC DC;
};

namespace {

// Streams longer than this are not pictures this module could take.
constexpr ULONGLONG kMaxStreamBytes = 256u << 20;

ULONG_PTR NextToken = 1;
unsigned Starts = 0;

GpStatus HookNothing(ULONG_PTR* token) {
  if (token) *token = 0;
  return Ok;
}
void UnhookNothing(ULONG_PTR) {}

// Reads the stream from its current position to its end.
Status ReadAll(IStream* stream, std::vector<uint8_t>& bytes) {
  STATSTG stat;
  std::memset(&stat, 0, sizeof(stat));
  ULONGLONG hint = 0;
  if (stream->Stat(&stat, STATFLAG_NONAME) == S_OK) hint = stat.cbSize.QuadPart;
  if (hint > kMaxStreamBytes) return OutOfMemory;
  try {
    bytes.reserve(size_t(hint));
    uint8_t chunk[65536];
    for (;;) {
      ULONG got = 0;
      HRESULT hr = stream->Read(chunk, sizeof(chunk), &got);
      if (FAILED(hr)) return Win32Error;
      if (got == 0) break;
      if (bytes.size() + got > kMaxStreamBytes) return OutOfMemory;
      bytes.insert(bytes.end(), chunk, chunk + got);
      if (got < sizeof(chunk) && hr == S_FALSE) break;
    }
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
  return Ok;
}

Status Decode(const std::vector<uint8_t>& bytes, Picture& picture) {
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  if (IsJpeg(data, size)) return DecodeJpeg(data, size, picture);
  if (IsPng(data, size)) return DecodePng(data, size, picture);
  if (IsBmp(data, size)) return DecodeBmp(data, size, picture);
  return UnknownImageFormat;
}

}  // namespace

GP_EXPORT GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input) return InvalidParameter;
  if (input->GdiplusVersion < 1 || input->GdiplusVersion > 2) return UnsupportedGdiplusVersion;
  // Without the background thread the caller must take the hooks.
  if (input->SuppressBackgroundThread && !output) return InvalidParameter;
  if (output) {
    output->NotificationHook = HookNothing;
    output->NotificationUnhook = UnhookNothing;
  }
  ++Starts;
  *token = NextToken++;
  if (NextToken == 0) NextToken = 1;
  return Ok;
}

GP_EXPORT void GdiplusShutdown(ULONG_PTR token) {
  if (token && Starts > 0) --Starts;
}

GP_EXPORT GpStatus GdipLoadImageFromStream(IStream* stream, GpImage** image) {
  if (!stream || !image) return InvalidParameter;
  *image = nullptr;
  std::vector<uint8_t> bytes;
  Status status = ReadAll(stream, bytes);
  if (status != Ok) return status;
  GpImage* made = new (std::nothrow) GpImage;
  if (!made) return OutOfMemory;
  status = Decode(bytes, made->Data);
  if (status != Ok) {
    delete made;
    return status;
  }
  *image = made;
  return Ok;
}

GP_EXPORT GpStatus GdipLoadImageFromStreamICM(IStream* stream, GpImage** image) {
  return GdipLoadImageFromStream(stream, image);
}

GP_EXPORT GpStatus GdipDisposeImage(GpImage* image) {
  if (!image) return InvalidParameter;
  delete image;
  return Ok;
}

GP_EXPORT GpStatus GdipGetImageWidth(GpImage* image, UINT* width) {
  if (!image || !width) return InvalidParameter;
  *width = image->Data.Width;
  return Ok;
}

GP_EXPORT GpStatus GdipGetImageHeight(GpImage* image, UINT* height) {
  if (!image || !height) return InvalidParameter;
  *height = image->Data.Height;
  return Ok;
}

// Every picture this module makes is a bitmap.
GP_EXPORT GpStatus GdipGetImageType(GpImage* image, UINT* type) {
  if (!image || !type) return InvalidParameter;
  *type = 1;
  return Ok;
}

GP_EXPORT GpStatus GdipGetImagePixelFormat(GpImage* image, INT* format) {
  if (!image || !format) return InvalidParameter;
  *format = image->Data.Format;
  return Ok;
}

GP_EXPORT GpStatus GdipGetImagePaletteSize(GpImage* image, INT* size) {
  if (!image || !size) return InvalidParameter;
  *size = INT(2 * sizeof(UINT) + 4 * image->Data.Palette.size());
  return Ok;
}

GP_EXPORT GpStatus GdipGetImagePalette(GpImage* image, ColorPalette* palette, INT size) {
  if (!image || !palette) return InvalidParameter;
  const Picture& picture = image->Data;
  size_t needed = 2 * sizeof(UINT) + 4 * picture.Palette.size();
  if (size < 0 || size_t(size) < needed) return InvalidParameter;
  palette->Flags = picture.PaletteFlags;
  palette->Count = UINT(picture.Palette.size());
  if (!picture.Palette.empty())
    std::memcpy(reinterpret_cast<uint8_t*>(palette) + 2 * sizeof(UINT), picture.Palette.data(),
                4 * picture.Palette.size());
  return Ok;
}

GP_EXPORT GpStatus GdipBitmapLockBits(GpImage* image, const GpRect* rect, UINT flags, INT format, BitmapData* data) {
  if (!image || !data) return InvalidParameter;
  Picture& picture = image->Data;
  if (picture.Locked) return WrongState;
  // Caller-supplied buffers (ImageLockModeUserInputBuf) are not offered.
  if (flags & 4) return NotImplemented;
  GpRect area = rect ? *rect : GpRect{0, 0, INT(picture.Width), INT(picture.Height)};
  if (area.X < 0 || area.Y < 0 || area.Width <= 0 || area.Height <= 0 ||
      int64_t(area.X) + area.Width > int64_t(picture.Width) || int64_t(area.Y) + area.Height > int64_t(picture.Height))
    return InvalidParameter;

  if (format == picture.Format) {
    int bpp = BitsPerPixel(format);
    // Indexed formats can only start on a byte.
    if ((int64_t(area.X) * bpp) % 8 != 0) return InvalidParameter;
    const uint8_t* top = picture.Row(uint32_t(area.Y)) + size_t(area.X) * bpp / 8;
    data->Stride = picture.BottomUp ? -INT(picture.Stride) : INT(picture.Stride);
    data->Scan0 = const_cast<uint8_t*>(top);
  } else if (format == Format32bppARGB || format == Format32bppRGB) {
    try {
      size_t stride = size_t(area.Width) * 4;
      picture.LockCopy.resize(stride * size_t(area.Height));
      std::vector<uint8_t> row(size_t(picture.Width) * 4);
      for (INT y = 0; y < area.Height; ++y) {
        RowToBgra(picture, uint32_t(area.Y + y), row.data());
        std::memcpy(picture.LockCopy.data() + size_t(y) * stride, row.data() + size_t(area.X) * 4, stride);
      }
      data->Stride = INT(stride);
      data->Scan0 = picture.LockCopy.data();
    } catch (const std::bad_alloc&) {
      return OutOfMemory;
    }
  } else {
    return NotImplemented;
  }
  data->Width = UINT(area.Width);
  data->Height = UINT(area.Height);
  data->PixelFormat = format;
  data->Reserved = 0;
  picture.Locked = true;
  return Ok;
}

GP_EXPORT GpStatus GdipBitmapUnlockBits(GpImage* image, BitmapData* data) {
  if (!image || !data) return InvalidParameter;
  Picture& picture = image->Data;
  if (!picture.Locked) return WrongState;
  picture.Locked = false;
  std::vector<uint8_t>().swap(picture.LockCopy);
  return Ok;
}

GP_EXPORT GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics) {
  if (!graphics) return InvalidParameter;
  *graphics = nullptr;
  if (!dc) return OutOfMemory;  // what GDI+ answers for a null DC
  GpGraphics* made = new (std::nothrow) GpGraphics{dc};
  if (!made) return OutOfMemory;
  *graphics = made;
  return Ok;
}

GP_EXPORT GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  delete graphics;
  return Ok;
}

// Draws the picture at its own size through GDI, which converts to the
// format of whatever the DC holds. Alpha is applied against black: the
// destination is not read back.
GP_EXPORT GpStatus GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y) {
  if (!graphics || !image) return InvalidParameter;
  const Picture& picture = image->Data;
  try {
    size_t stride = size_t(picture.Width) * 4;
    std::vector<uint8_t> bits(stride * picture.Height);
    for (uint32_t row = 0; row < picture.Height; ++row) {
      uint8_t* out = bits.data() + row * stride;
      RowToBgra(picture, row, out);
      for (uint32_t i = 0; i < picture.Width; ++i) {
        uint8_t* p = out + 4 * size_t(i);
        if (p[3] != 0xFF) {
          p[0] = uint8_t((p[0] * p[3] + 127) / 255);
          p[1] = uint8_t((p[1] * p[3] + 127) / 255);
          p[2] = uint8_t((p[2] * p[3] + 127) / 255);
        }
      }
    }
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(picture.Width);
    info.bmiHeader.biHeight = -LONG(picture.Height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    int w = int(picture.Width);
    int h = int(picture.Height);
    int done = StretchDIBits(graphics->DC, x, y, w, h, 0, 0, w, h, bits.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    return done ? Ok : GenericError;
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

// Entries the system never calls.
GP_EXPORT GpStatus GdipCreateBitmapFromGdiDib(const BITMAPINFO*, void*, GpImage** image) {
  if (image) *image = nullptr;
  return NotImplemented;
}
GP_EXPORT GpStatus GdipLoadImageFromFile(const uint16_t*, GpImage** image) {
  if (image) *image = nullptr;
  return NotImplemented;
}
GP_EXPORT GpStatus GdipLoadImageFromFileICM(const uint16_t*, GpImage** image) {
  if (image) *image = nullptr;
  return NotImplemented;
}
GP_EXPORT GpStatus GdipSaveImageToFile(GpImage*, const uint16_t*, const CLSID*, const void*) { return NotImplemented; }

// One frame in one dimension, the page dimension.
static const GUID kFrameDimensionPage = {0x7462dc86, 0x6180, 0x4c7e, {0x8e, 0x3f, 0xee, 0x73, 0x33, 0xa7, 0xa4, 0x83}};

GP_EXPORT GpStatus GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count) {
  if (!image || !count) return InvalidParameter;
  *count = 1;
  return Ok;
}
GP_EXPORT GpStatus GdipImageGetFrameDimensionsList(GpImage* image, GUID* ids, UINT count) {
  if (!image || !ids || count != 1) return InvalidParameter;
  ids[0] = kFrameDimensionPage;
  return Ok;
}
GP_EXPORT GpStatus GdipImageGetFrameCount(GpImage* image, const GUID*, UINT* count) {
  if (!image || !count) return InvalidParameter;
  *count = 1;
  return Ok;
}
GP_EXPORT GpStatus GdipImageSelectActiveFrame(GpImage* image, const GUID*, UINT index) {
  if (!image) return InvalidParameter;
  return index == 0 ? Ok : InvalidParameter;
}
GP_EXPORT GpStatus GdipGetPropertyItemSize(GpImage* image, ULONG, UINT* size) {
  if (!image || !size) return InvalidParameter;
  return PropertyNotFound;
}
GP_EXPORT GpStatus GdipGetPropertyItem(GpImage* image, ULONG, UINT, void*) {
  if (!image) return InvalidParameter;
  return PropertyNotFound;
}
GP_EXPORT GpStatus GdipGetImageDecodersSize(UINT*, UINT*) { return NotImplemented; }
GP_EXPORT GpStatus GdipGetImageDecoders(UINT, UINT, void*) { return NotImplemented; }
GP_EXPORT GpStatus GdipGetImageEncodersSize(UINT*, UINT*) { return NotImplemented; }
GP_EXPORT GpStatus GdipGetImageEncoders(UINT, UINT, void*) { return NotImplemented; }
