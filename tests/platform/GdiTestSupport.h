// SPDX-License-Identifier: MIT
// Small helpers for GDI tests: a DIB section selected into its own memory
// DC, built from header values, released in the order the library uses.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "LumoPlatform.h"

namespace gdi_test {

struct BitmapInfo256 {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

inline BitmapInfo256 MakeInfo(int width, int height, int bpp, DWORD compression = BI_RGB) {
  BitmapInfo256 info;
  std::memset(&info, 0, sizeof info);
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bpp);
  info.header.biCompression = compression;
  return info;
}

inline void SetMasks(BitmapInfo256& info, uint32_t red, uint32_t green, uint32_t blue) {
  const uint32_t masks[3] = {red, green, blue};
  std::memcpy(info.colours, masks, sizeof masks);
}

inline int Stride(int width, int bpp) { return ((width * bpp + 31) & ~31) / 8; }

class Section {
 public:
  explicit Section(const BitmapInfo256& info) : info_(info) {
    bitmap_ =
        CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info_), DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    if (bitmap_ && dc_) old_ = SelectObject(dc_, bitmap_);
  }
  ~Section() {
    if (dc_) DeleteDC(dc_);
    if (bitmap_) DeleteObject(bitmap_);
  }
  Section(const Section&) = delete;
  Section& operator=(const Section&) = delete;

  bool ok() const { return bitmap_ && dc_ && bits_; }
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  uint8_t* bits() const { return static_cast<uint8_t*>(bits_); }
  int width() const { return info_.header.biWidth; }
  int height() const { return info_.header.biHeight < 0 ? -info_.header.biHeight : info_.header.biHeight; }
  int stride() const { return Stride(width(), info_.header.biBitCount); }
  // Memory row of display line y.
  uint8_t* line(int y) const {
    const int row = info_.header.biHeight < 0 ? y : height() - 1 - y;
    return bits() + static_cast<size_t>(row) * stride();
  }

 private:
  BitmapInfo256 info_;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

}  // namespace gdi_test
