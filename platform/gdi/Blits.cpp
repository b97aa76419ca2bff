// SPDX-License-Identifier: MIT
// Rectangle copies between DCs and from DIB memory, converting formats a
// row at a time. Copies onto a window DC land in its target's pixels, and
// only the rectangle they changed is shown again. An 8-bit copy to a window
// goes in one pass through the palette made ready when it last changed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "common/WindowTarget.h"
#include "gdi/GdiObjects.h"

using namespace lumo::gdi;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

bool SameColours(const Surface& a, const Surface& b) {
  if (a.colourCount != b.colourCount) return false;
  for (int i = 0; i < a.colourCount; ++i) {
    if (a.colours[i].rgbRed != b.colours[i].rgbRed || a.colours[i].rgbGreen != b.colours[i].rgbGreen ||
        a.colours[i].rgbBlue != b.colours[i].rgbBlue)
      return false;
  }
  return true;
}

bool SameFormat(const Surface& a, const Surface& b) {
  if (a.bpp != b.bpp) return false;
  if (a.bpp <= 8) return SameColours(a, b);
  return a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

// The 256 colours of an 8-bit surface as 0x00RRGGBB, read the way every
// copy reads its pixels.
void ReadPalette(const Surface& indexed, uint32_t* rgb) {
  uint8_t identity[256];
  for (int i = 0; i < 256; ++i) identity[i] = static_cast<uint8_t>(i);
  Surface indices;
  indices.bits = identity;
  indices.width = 256;
  indices.height = 1;
  indices.stride = 256;
  indices.bpp = 8;
  indices.colours = indexed.colours;
  indices.colourCount = indexed.colourCount;
  RowCodec(indices).Read(0, 0, 256, rgb);
}

void BuildWindowTable(const Surface& indexed, PaletteTable& table) {
  uint32_t rgb[256];
  ReadPalette(indexed, rgb);
  BuildPaletteTable(rgb, table);
}

// A DIB section's table, remade only after SetDIBColorTable.
const PaletteTable* WindowTableOf(Bitmap* bitmap) {
  if (bitmap == nullptr || bitmap->surface.bpp != 8) return nullptr;
  if (!bitmap->windowTable) bitmap->windowTable = std::make_unique<PaletteTable>();
  if (!bitmap->windowTableValid) {
    BuildWindowTable(bitmap->surface, *bitmap->windowTable);
    bitmap->windowTableValid = true;
  }
  return bitmap->windowTable.get();
}

// StretchDIBits brings its colours with every call: the table is remade
// only when they differ from the last call's.
const PaletteTable* WindowTableOf(const Surface& dib) {
  struct Cache {
    PaletteTable table;
    RGBQUAD colours[256];
    int count = -1;
  };
  static Cache* cache = new Cache;  // under the GDI lock; never freed, for exit-time copies
  if (dib.bpp != 8) return nullptr;
  const size_t bytes = sizeof(RGBQUAD) * static_cast<size_t>(dib.colourCount);
  if (cache->count != dib.colourCount || std::memcmp(cache->colours, dib.colours, bytes) != 0) {
    std::memcpy(cache->colours, dib.colours, bytes);
    cache->count = dib.colourCount;
    BuildWindowTable(dib, cache->table);
  }
  return &cache->table;
}

// The part of the w x h rectangle at (dx, dy) that a copy from (sx, sy) of
// src writes, before clipping to the destination: the source's edges clip it.
RECT Covered(const Surface& src, int64_t sx, int64_t sy, int64_t dx, int64_t dy, int64_t w, int64_t h) {
  const int64_t left = std::max(dx, dx - sx), top = std::max(dy, dy - sy);
  const int64_t right = std::min(dx + w, dx - sx + src.width), bottom = std::min(dy + h, dy - sy + src.height);
  if (left >= right || top >= bottom) return RECT{};
  // Far-off rectangles are cut to what a client area can be.
  auto fit = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, -0x10000, 0x10000)); };
  return RECT{fit(left), fit(top), fit(right), fit(bottom)};
}

// Bytes from one row to the next, going down the picture.
ptrdiff_t RowStep(const Surface& s) { return s.topDown ? ptrdiff_t{s.stride} : -ptrdiff_t{s.stride}; }

// A copy of w x h pixels from (sx, sy) to (dx, dy), clipped to a source
// and a destination of the given sizes.
struct Placement {
  int64_t sx, sy, dx, dy;
  int w, h;
};

// False when nothing of the copy is left.
bool Place(int64_t sx, int64_t sy, int64_t srcWidth, int64_t srcHeight, int64_t dx, int64_t dy, int64_t dstWidth,
           int64_t dstHeight, int64_t cw, int64_t ch, Placement& out) {
  // Clipping in 64 bits: far-off rectangles must not overflow.
  if (sx < 0) {
    dx -= sx;
    cw += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    ch += sy;
    sy = 0;
  }
  if (dx < 0) {
    sx -= dx;
    cw += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    ch += dy;
    dy = 0;
  }
  cw = std::min({cw, srcWidth - sx, dstWidth - dx});
  ch = std::min({ch, srcHeight - sy, dstHeight - dy});
  if (cw <= 0 || ch <= 0) return false;
  out = Placement{sx, sy, dx, dy, static_cast<int>(cw), static_cast<int>(ch)};
  return true;
}

RECT Changed(const Placement& p) {
  return RECT{static_cast<LONG>(p.dx), static_cast<LONG>(p.dy), static_cast<LONG>(p.dx + p.w),
              static_cast<LONG>(p.dy + p.h)};
}

// An 8-bit copy onto a window that the window's target writes and presents
// itself (on a thread of its own where it has one). False when it does not.
bool PresentIndexed(DC* dst, const Surface& src, int64_t sx, int64_t sy, int64_t dx, int64_t dy, int64_t cw, int64_t ch,
                    const PaletteTable* table) {
  if (dst->type != DCType::Window || table == nullptr || src.bpp != 8) return false;
  lumo::platform::WindowTarget* target = lumo::platform::FindWindowTarget(dst->window);
  if (target == nullptr) return false;
  Placement p;
  if (!Place(sx, sy, src.width, src.height, dx, dy, target->Width(), target->Height(), cw, ch, p)) return false;
  const lumo::platform::IndexedFrame frame{Changed(p), src.Row(static_cast<int>(p.sy)) + p.sx, RowStep(src), table,
                                           ExpandRows};
  return target->PresentIndexed(frame);
}

// Copies w x h pixels from (sx, sy) of src to (dx, dy) of dst, clipped to
// both, and returns the rectangle of dst it changed. Coordinates are display
// coordinates. `table`, when given, holds src's palette as dst's pixels.
RECT Copy(const Surface& src, int64_t sx, int64_t sy, const Surface& dst, int64_t dx, int64_t dy, int64_t cw,
          int64_t ch, const PaletteTable* table = nullptr) {
  Placement p;
  if (!Place(sx, sy, src.width, src.height, dx, dy, dst.width, dst.height, cw, ch, p)) return RECT{};
  sx = p.sx;
  sy = p.sy;
  dx = p.dx;
  dy = p.dy;
  const int w = p.w, h = p.h;
  const RECT changed = Changed(p);

  // Rows go bottom to top when a copy inside one block moves down, so no
  // source row is overwritten before it is read.
  const bool reverse = src.bits == dst.bits && dy > sy;
  auto rowAt = [&](int i) { return reverse ? h - 1 - i : i; };

  if (SameFormat(src, dst) && src.bpp >= 8) {
    const size_t bytesPerPixel = static_cast<size_t>(src.bpp / 8);
    for (int i = 0; i < h; ++i) {
      const int r = rowAt(i);
      std::memmove(dst.Row(dy + r) + dx * bytesPerPixel, src.Row(sy + r) + sx * bytesPerPixel, w * bytesPerPixel);
    }
    return changed;
  }
  if (table != nullptr && src.bpp == 8 && dst.IsXrgb32() && src.bits != dst.bits) {
    // Straight from the indices into the window's pixels.
    ExpandRows(src.Row(static_cast<int>(sy)) + sx, RowStep(src),
               reinterpret_cast<uint32_t*>(dst.Row(static_cast<int>(dy))) + dx, RowStep(dst) / 4, w, h, *table, false);
    return changed;
  }
  RowCodec reader(src);
  if (src.bpp == 8 && dst.bpp == 8) {
    // Palette to palette: one nearest-colour lookup per source index.
    RowCodec writer(dst);
    uint8_t map[256];
    uint32_t rgb[256];
    ReadPalette(src, rgb);
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(writer.Nearest(rgb[i]));
    for (int i = 0; i < h; ++i) {
      const int r = rowAt(i);
      const uint8_t* in = src.Row(sy + r) + sx;
      uint8_t* out = dst.Row(dy + r) + dx;
      for (int x = 0; x < w; ++x) out[x] = map[in[x]];
    }
    return changed;
  }
  if (dst.IsXrgb32() && src.bits != dst.bits) {
    // The window path: convert straight into the destination row.
    for (int i = 0; i < h; ++i) {
      const int r = rowAt(i);
      reader.Read(sx, sy + r, w, reinterpret_cast<uint32_t*>(dst.Row(dy + r)) + dx);
    }
    return changed;
  }
  RowCodec writer(dst);
  std::vector<uint32_t> line(static_cast<size_t>(w));
  for (int i = 0; i < h; ++i) {
    const int r = rowAt(i);
    reader.Read(sx, sy + r, w, line.data());
    writer.Write(dx, dy + r, w, line.data());
  }
  return changed;
}

}  // namespace

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  Guard guard(Lock());
  Count().bitBlt++;
  DC* dst = FindDC(hdc);
  DC* src = FindDC(hdcSrc);
  if (dst == nullptr || src == nullptr || rop != SRCCOPY || cx < 0 || cy < 0) return FALSE;
  Surface from, to;
  if (!DrawingSurface(src, from)) return FALSE;
  // A copy within one window reads the pixels it overwrites.
  const bool within = src->type == DCType::Window && dst->type == DCType::Window && src->window == dst->window;
  const PaletteTable* table = dst->type == DCType::Window && from.bpp == 8 ? WindowTableOf(src->bitmap) : nullptr;
  if (PresentIndexed(dst, from, x1, y1, x, y, cx, cy, table)) return TRUE;
  const RECT covered = Covered(from, x1, y1, x, y, cx, cy);
  if (!DrawingSurface(dst, to, within ? nullptr : &covered)) return FALSE;
  FinishDrawing(dst, Copy(from, x1, y1, to, x, y, cx, cy, table));
  return TRUE;
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc, int SrcWidth,
                  int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop) {
  Guard guard(Lock());
  Count().stretchDIBits++;
  DC* dst = FindDC(hdc);
  // Only unscaled, unmirrored copies are supported.
  if (dst == nullptr || lpBits == nullptr || iUsage != DIB_RGB_COLORS || rop != SRCCOPY || DestWidth != SrcWidth ||
      DestHeight != SrcHeight || SrcWidth < 0 || SrcHeight < 0)
    return 0;
  Surface from, to;
  RGBQUAD colours[256] = {};
  if (!DescribeDib(lpbmi, lpBits, from, colours)) return 0;
  // As GDI: the source rectangle of a bottom-up DIB is measured from its
  // bottom line.
  const int64_t top = from.topDown ? ySrc : int64_t{from.height} - ySrc - SrcHeight;
  const PaletteTable* table = dst->type == DCType::Window && from.bpp == 8 ? WindowTableOf(from) : nullptr;
  if (PresentIndexed(dst, from, xSrc, top, xDest, yDest, SrcWidth, SrcHeight, table)) return SrcHeight;
  const RECT covered = Covered(from, xSrc, top, xDest, yDest, SrcWidth, SrcHeight);
  if (!DrawingSurface(dst, to, &covered)) return 0;
  FinishDrawing(dst, Copy(from, xSrc, top, to, xDest, yDest, SrcWidth, SrcHeight, table));
  return SrcHeight;
}
