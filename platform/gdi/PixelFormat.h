// SPDX-License-Identifier: MIT
// Pixel memory as GDI sees it, and row-wise conversion between its formats
// and 0x00RRGGBB. Conversions work a row at a time with the format decided
// once per row, so no per-pixel dispatch happens in the copy loops.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoPlatform.h"

namespace lumo::gdi {

// A view of pixel memory in DIB layout. Coordinates are display
// coordinates: y = 0 is the top line of the picture whatever the row order.
struct Surface {
  uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes from one memory row to the next
  bool topDown = true;
  int bpp = 32;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;  // 16 and 32 bpp
  const RGBQUAD* colours = nullptr;                   // up to 8 bpp
  int colourCount = 0;

  uint8_t* Row(int y) const {
    const int memoryRow = topDown ? y : height - 1 - y;
    return bits + static_cast<ptrdiff_t>(memoryRow) * stride;
  }
  bool Indexed() const { return bpp <= 8; }
  // 32 bits with red, green and blue in bytes 2, 1 and 0.
  bool IsXrgb32() const { return bpp == 32 && redMask == 0xFF0000u && greenMask == 0xFF00u && blueMask == 0xFFu; }
};

// COLORREF (0x00BBGGRR) to 0x00RRGGBB and back: the same swap.
inline uint32_t SwapRedBlue(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// Bytes per memory row of a DIB, padded to 32 bits; 0 when it does not fit.
int64_t DibStride(int64_t width, int bpp);

// Fills a Surface's format fields (bpp, masks) from header values.
// False for depths or masks GDI does not accept.
bool DescribeFormat(int bpp, uint32_t compression, const uint32_t* masks, Surface& out);

// Describes the pixels of a BITMAPINFO: format, size, row order and up to
// 256 colours copied into colours[] (palette formats). bits may be null to
// check the header alone. False for headers GDI would refuse.
bool DescribeDib(const BITMAPINFO* info, const void* bits, Surface& out, RGBQUAD* colours);

// Nearest entry of a colour table to an 0x00RRGGBB colour (squared
// distance, first entry wins ties).
int NearestIndex(const RGBQUAD* colours, int count, uint32_t rgb);

// Converts rows of one surface from and to 0x00RRGGBB. Build one per
// surface and operation; it caches lookup tables.
class RowCodec {
 public:
  explicit RowCodec(const Surface& surface);
  const Surface& surface() const { return s_; }
  // count pixels from (x, y) to out as 0x00RRGGBB.
  void Read(int x, int y, int count, uint32_t* out) const;
  // count pixels from in to (x, y); indexed formats take the nearest entry.
  void Write(int x, int y, int count, const uint32_t* in);
  // Index writes for indexed formats.
  void WriteIndex(int x, int y, int index);
  int Nearest(uint32_t rgb);
  // What the format keeps of a colour.
  uint32_t Round(uint32_t rgb);

 private:
  struct Channel {
    int shift = 0;
    int bits = 0;
    uint32_t mask = 0;
    uint8_t expand[256] = {};  // field value -> 8 bits, for bits <= 8
    uint8_t reduce[256] = {};  // 8 bits -> field value, for bits <= 8
  };
  static void Prepare(Channel& c, uint32_t mask);
  uint32_t Decode(uint32_t px) const;
  uint32_t Encode(uint32_t rgb) const;

  Surface s_;
  Channel red_, green_, blue_;
  uint32_t palette_[256] = {};
  static constexpr int kCacheSize = 4096;
  struct CacheEntry {  // left uninitialised until the first lookup
    uint32_t rgb;
    int index;
  };
  bool cacheReady_ = false;
  CacheEntry cache_[kCacheSize];
};

}  // namespace lumo::gdi
