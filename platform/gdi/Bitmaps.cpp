// SPDX-License-Identifier: MIT
// Bitmaps: DIB sections, bitmaps in the screen's format, colour tables and
// single pixels.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "gdi/GdiObjects.h"

using namespace lumo::gdi;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// Largest pixel block handed out; keeps every offset inside int range.
constexpr int64_t kMaxBitmapBytes = int64_t{1} << 30;

// A zero-filled bitmap of the given format, top-down unless told otherwise.
Bitmap* NewBitmap(int width, int height, bool topDown, const Surface& format, const RGBQUAD* colours, int colourCount) {
  const int64_t stride = DibStride(width, format.bpp);
  const int64_t size = stride * height;
  if (stride <= 0 || stride > INT32_MAX || size <= 0 || size > kMaxBitmapBytes) return nullptr;
  auto* memory = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
  if (memory == nullptr) return nullptr;
  auto* b = new Bitmap;
  b->memory = memory;
  if (format.bpp <= 8) b->colours.assign(colours, colours + colourCount);
  Surface& s = b->surface;
  s = format;
  s.bits = memory;
  s.width = width;
  s.height = height;
  s.stride = static_cast<int>(stride);
  s.topDown = topDown;
  s.colours = b->colours.empty() ? nullptr : b->colours.data();
  s.colourCount = static_cast<int>(b->colours.size());
  Register(b);
  return b;
}

}  // namespace

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD) {
  Guard guard(Lock());
  if (ppvBits) *ppvBits = nullptr;
  Counters& c = Count();
  c.createDIBSection++;
  if (c.failNextDIBSection) {
    c.failNextDIBSection = false;
    return nullptr;
  }
  if (pbmi == nullptr || usage != DIB_RGB_COLORS || hSection != nullptr) return nullptr;
  if (hdc != nullptr && FindDC(hdc) == nullptr) return nullptr;
  Surface format;
  RGBQUAD colours[256] = {};
  if (!DescribeDib(pbmi, nullptr, format, colours)) return nullptr;
  Bitmap* b = NewBitmap(format.width, format.height, format.topDown, format, colours, format.colourCount);
  if (b == nullptr) return nullptr;
  b->dibSection = true;
  if (ppvBits) *ppvBits = b->memory;
  return reinterpret_cast<HBITMAP>(b);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  if (dc == nullptr || cx < 0 || cy < 0) return nullptr;
  // As GDI: an empty size gives the 1 x 1 monochrome default bitmap.
  if (cx == 0 || cy == 0) return reinterpret_cast<HBITMAP>(StockBitmap());
  if (dc->type == DCType::Memory) {
    // A memory DC's format is that of its current bitmap (monochrome for a
    // fresh DC, as in GDI).
    const Bitmap* current = dc->bitmap;
    Bitmap* b =
        NewBitmap(cx, cy, true, current->surface, current->colours.data(), static_cast<int>(current->colours.size()));
    return reinterpret_cast<HBITMAP>(b);
  }
  const ScreenFormat& screen = Screen();
  Surface format;
  format.bpp = screen.bitsPerPixel;
  RGBQUAD colours[256] = {};
  int colourCount = 0;
  if (screen.bitsPerPixel == 16) {
    const uint32_t masks565[3] = {0xF800, 0x07E0, 0x001F};
    const uint32_t masks555[3] = {0x7C00, 0x03E0, 0x001F};
    DescribeFormat(16, BI_BITFIELDS, screen.greenBits == 6 ? masks565 : masks555, format);
  } else if (screen.bitsPerPixel == 32) {
    DescribeFormat(32, BI_RGB, nullptr, format);
  } else if (screen.bitsPerPixel == 24) {
    DescribeFormat(24, BI_RGB, nullptr, format);
  } else {
    // A palette screen: 3-3-2 colour cube.
    DescribeFormat(8, BI_RGB, nullptr, format);
    colourCount = 256;
    for (int i = 0; i < 256; ++i) {
      colours[i].rgbRed = static_cast<BYTE>(((i >> 5) & 7) * 255 / 7);
      colours[i].rgbGreen = static_cast<BYTE>(((i >> 2) & 7) * 255 / 7);
      colours[i].rgbBlue = static_cast<BYTE>((i & 3) * 255 / 3);
    }
  }
  return reinterpret_cast<HBITMAP>(NewBitmap(cx, cy, true, format, colours, colourCount));
}

UINT SetDIBColorTable(HDC hdc, UINT iStart, UINT cEntries, const RGBQUAD* prgbq) {
  Guard guard(Lock());
  Counters& c = Count();
  c.setDIBColorTable++;
  c.lastColorTableCount = cEntries;
  DC* dc = FindDC(hdc);
  if (dc == nullptr || dc->bitmap == nullptr || !dc->bitmap->dibSection || prgbq == nullptr) return 0;
  std::vector<RGBQUAD>& table = dc->bitmap->colours;
  if (iStart >= table.size()) return 0;
  const UINT count = cEntries < table.size() - iStart ? cEntries : static_cast<UINT>(table.size() - iStart);
  std::memcpy(table.data() + iStart, prgbq, sizeof(RGBQUAD) * count);
  dc->bitmap->windowTableValid = false;
  return count;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  Surface s;
  if (dc == nullptr || !DrawingSurface(dc, s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return CLR_INVALID;
  RowCodec codec(s);
  const uint32_t rgb = SwapRedBlue(color & 0xFFFFFF);
  uint32_t stored;
  if (s.Indexed()) {
    const int index = codec.Nearest(rgb);
    codec.WriteIndex(x, y, index);
  } else {
    codec.Write(x, y, 1, &rgb);
  }
  codec.Read(x, y, 1, &stored);
  FinishDrawing(dc);
  return SwapRedBlue(stored);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  Surface s;
  if (dc == nullptr || !DrawingSurface(dc, s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return CLR_INVALID;
  uint32_t stored;
  RowCodec(s).Read(x, y, 1, &stored);
  return SwapRedBlue(stored);
}
