// SPDX-License-Identifier: MIT
// The decoded picture behind a GpImage handle, and the decoders that fill it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lumo::gdiplus {

enum Status : int {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
  UnsupportedGdiplusVersion = 17,
  GdiplusNotInitialized = 18,
  PropertyNotFound = 19,
};

// GDI+'s pixel formats: index in the low byte, bits per pixel in the second,
// flags above (0x00010000 indexed, 0x00020000 GDI, 0x00040000 alpha,
// 0x00100000 extended range).
enum PixelFormat : int32_t {
  Format1bppIndexed = 0x00030101,
  Format4bppIndexed = 0x00030402,
  Format8bppIndexed = 0x00030803,
  Format16bppRGB555 = 0x00021005,
  Format16bppRGB565 = 0x00021006,
  Format16bppARGB1555 = 0x00061007,
  Format24bppRGB = 0x00021808,
  Format32bppRGB = 0x00022009,
  Format32bppARGB = 0x0026200A,
  Format48bppRGB = 0x0010300C,
  Format64bppARGB = 0x0034400D,
};

constexpr uint32_t PaletteFlagsHasAlpha = 1;
constexpr uint32_t PaletteFlagsGrayScale = 2;

inline int BitsPerPixel(int32_t format) { return (format >> 8) & 0xFF; }
// Rows of every format are padded to whole 32-bit words, as GDI+ does.
inline size_t StrideFor(uint32_t width, int32_t format) {
  return ((uint64_t(width) * uint64_t(BitsPerPixel(format)) + 31) / 32) * 4;
}

// Pictures beyond these are refused before anything is allocated: at most
// 65535 pixels a side and 2^25 pixels (32 M, e.g. 8192 x 4096) in all, so
// that no decoded picture, nor the surface made for it, exceeds 256 MB.
constexpr uint32_t MaxDimension = 65535;
constexpr uint64_t MaxPixels = uint64_t(1) << 25;
inline bool SizeAcceptable(uint64_t width, uint64_t height) {
  return width >= 1 && height >= 1 && width <= MaxDimension && height <= MaxDimension && width * height <= MaxPixels;
}

// The 256 opaque greys, black to white, of an 8-bit grey picture.
inline void FillGreyPalette(std::vector<uint32_t>& palette) {
  palette.resize(256);
  for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u | (i << 16) | (i << 8) | i;
}

struct Picture {
  uint32_t Width = 0;
  uint32_t Height = 0;
  int32_t Format = 0;
  size_t Stride = 0;      // bytes per stored row, positive
  bool BottomUp = false;  // rows stored bottom row first (BMP files)
  std::vector<uint8_t> Pixels;
  std::vector<uint32_t> Palette;  // 0xAARRGGBB
  uint32_t PaletteFlags = 0;
  bool Locked = false;
  std::vector<uint8_t> LockCopy;  // rows converted for a lock in another format

  // Display row y (0 = top) in storage.
  const uint8_t* Row(uint32_t y) const {
    return Pixels.data() + (BottomUp ? size_t(Height - 1 - y) : size_t(y)) * Stride;
  }
  void Allocate(uint32_t width, uint32_t height, int32_t format) {
    Begin(width, height, format);
    Pixels.assign(Stride * height, 0);
  }
  // Size and format without storage: rows are stored as they are decoded
  // (RowForWriting), so data that ends early does not cost the declared size,
  // except an interlaced PNG, whose first pass touches every row: there the
  // bound is the decoder's check on row bytes per input byte.
  void Begin(uint32_t width, uint32_t height, int32_t format) {
    Width = width;
    Height = height;
    Format = format;
    Stride = StrideFor(width, format);
    Pixels.clear();
  }
  // Storage row y (and every row before it), zeroed when new. Storage
  // doubles as it grows, but never beyond the whole picture.
  uint8_t* RowForWriting(uint32_t y) {
    const size_t end = (size_t(y) + 1) * Stride;
    if (Pixels.size() < end) {
      if (Pixels.capacity() < end) Pixels.reserve(std::min(std::max(end, Pixels.capacity() * 2), Stride * Height));
      Pixels.resize(end);
    }
    return Pixels.data() + size_t(y) * Stride;
  }
  void GreyPalette() {
    FillGreyPalette(Palette);
    PaletteFlags = PaletteFlagsGrayScale;
  }
};

// Each decoder answers Ok with the picture filled, or an error status with
// the picture left empty. Sizes beyond the limits answer OutOfMemory. Data
// that ends before the declared rows are complete is an error, found before
// the missing rows cost anything; `rowsRead` (when given) counts the rows
// decoded, including passes over interlaced rows.
Status DecodeJpeg(const uint8_t* data, size_t size, Picture& picture, uint32_t* rowsRead = nullptr);
Status DecodePng(const uint8_t* data, size_t size, Picture& picture, uint32_t* rowsRead = nullptr);
Status DecodeBmp(const uint8_t* data, size_t size, Picture& picture);

// The files' own signatures: each decoder, native or the browser's, starts
// from these.
inline bool IsJpeg(const uint8_t* data, size_t size) {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}
inline bool IsPng(const uint8_t* data, size_t size) {
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}
bool IsBmp(const uint8_t* data, size_t size);

// Display row y as 32-bit blue, green, red, alpha pixels.
void RowToBgra(const Picture& picture, uint32_t y, uint8_t* out);

}  // namespace lumo::gdiplus
