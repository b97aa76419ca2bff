// SPDX-License-Identifier: MIT
#include "gdi/PixelFormat.h"

#include "gdi/PaletteRows.h"

#include <bit>
#include <cstring>

namespace lumo::gdi {

int64_t DibStride(int64_t width, int bpp) {
  if (width < 0 || bpp <= 0) return 0;
  return ((width * bpp + 31) & ~int64_t{31}) / 8;
}

namespace {

bool Contiguous(uint32_t mask) {
  if (mask == 0) return false;
  const uint32_t shifted = mask >> std::countr_zero(mask);
  return (shifted & (shifted + 1)) == 0;
}

}  // namespace

bool DescribeFormat(int bpp, uint32_t compression, const uint32_t* masks, Surface& out) {
  out.bpp = bpp;
  out.redMask = out.greenMask = out.blueMask = 0;
  switch (bpp) {
    case 1:
    case 4:
    case 8:
    case 24:
      return compression == BI_RGB;
    case 16:
    case 32:
      break;
    default:
      return false;
  }
  if (compression == BI_RGB) {
    if (bpp == 16) {
      out.redMask = 0x7C00;
      out.greenMask = 0x03E0;
      out.blueMask = 0x001F;
    } else {
      out.redMask = 0xFF0000;
      out.greenMask = 0x00FF00;
      out.blueMask = 0x0000FF;
    }
    return true;
  }
  if (compression != BI_BITFIELDS || masks == nullptr) return false;
  const uint32_t limit = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  for (int i = 0; i < 3; ++i) {
    if (!Contiguous(masks[i]) || (masks[i] & ~limit) != 0) return false;
  }
  if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2])) return false;
  out.redMask = masks[0];
  out.greenMask = masks[1];
  out.blueMask = masks[2];
  return true;
}

bool DescribeDib(const BITMAPINFO* info, const void* bits, Surface& out, RGBQUAD* colours) {
  if (info == nullptr) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN)
    return false;
  const auto* base = reinterpret_cast<const uint8_t*>(info);
  // Colour data follows the header; larger headers carry the masks inside.
  const uint8_t* colourData = base + h.biSize;
  uint32_t masks[3] = {};
  if (h.biCompression == BI_BITFIELDS)
    std::memcpy(masks, h.biSize >= 52 ? base + sizeof(BITMAPINFOHEADER) : colourData, sizeof masks);
  out = Surface{};
  if (!DescribeFormat(h.biBitCount, h.biCompression, masks, out)) return false;
  const int64_t stride = DibStride(h.biWidth, out.bpp);
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (stride <= 0 || stride > INT32_MAX || stride * height > (int64_t{1} << 30)) return false;
  out.width = h.biWidth;
  out.height = height;
  out.stride = static_cast<int>(stride);
  out.topDown = h.biHeight < 0;
  out.bits = static_cast<uint8_t*>(const_cast<void*>(bits));
  if (out.bpp <= 8) {
    const uint32_t full = 1u << out.bpp;
    out.colourCount = static_cast<int>(h.biClrUsed != 0 && h.biClrUsed < full ? h.biClrUsed : full);
    std::memcpy(colours, colourData, sizeof(RGBQUAD) * out.colourCount);
    out.colours = colours;
  }
  return true;
}

int NearestIndex(const RGBQUAD* colours, int count, uint32_t rgb) {
  const int r = static_cast<int>((rgb >> 16) & 0xFF);
  const int g = static_cast<int>((rgb >> 8) & 0xFF);
  const int b = static_cast<int>(rgb & 0xFF);
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < count; ++i) {
    const int dr = colours[i].rgbRed - r;
    const int dg = colours[i].rgbGreen - g;
    const int db = colours[i].rgbBlue - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

void RowCodec::Prepare(Channel& c, uint32_t mask) {
  c.mask = mask;
  if (mask == 0) return;
  c.shift = std::countr_zero(mask);
  c.bits = std::popcount(mask);
  if (c.bits > 8) return;
  const uint32_t max = (1u << c.bits) - 1;
  for (uint32_t v = 0; v <= max; ++v) c.expand[v] = static_cast<uint8_t>((v * 255 + max / 2) / max);
  for (uint32_t v = 0; v < 256; ++v) c.reduce[v] = static_cast<uint8_t>((v * max + 127) / 255);
}

RowCodec::RowCodec(const Surface& surface) : s_(surface) {
  if (s_.Indexed()) {
    const int n = s_.colourCount < 256 ? s_.colourCount : 256;
    for (int i = 0; i < n; ++i) {
      const RGBQUAD& q = s_.colours[i];
      palette_[i] = (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
    }
  } else if (s_.bpp == 16 || s_.bpp == 32) {
    Prepare(red_, s_.redMask);
    Prepare(green_, s_.greenMask);
    Prepare(blue_, s_.blueMask);
  }
}

namespace {

inline uint32_t Field(uint32_t px, int shift, int bits, uint32_t mask, const uint8_t* expand) {
  const uint32_t v = (px & mask) >> shift;
  if (bits <= 8) return expand[v];
  return v >> (bits - 8);
}

inline uint32_t Put(uint32_t v8, int shift, int bits, const uint8_t* reduce) {
  if (bits <= 8) return uint32_t{reduce[v8]} << shift;
  const uint64_t max = (uint64_t{1} << bits) - 1;
  return static_cast<uint32_t>((v8 * max + 127) / 255) << shift;
}

}  // namespace

uint32_t RowCodec::Decode(uint32_t px) const {
  return (Field(px, red_.shift, red_.bits, red_.mask, red_.expand) << 16) |
         (Field(px, green_.shift, green_.bits, green_.mask, green_.expand) << 8) |
         Field(px, blue_.shift, blue_.bits, blue_.mask, blue_.expand);
}

uint32_t RowCodec::Encode(uint32_t rgb) const {
  return Put((rgb >> 16) & 0xFF, red_.shift, red_.bits, red_.reduce) |
         Put((rgb >> 8) & 0xFF, green_.shift, green_.bits, green_.reduce) |
         Put(rgb & 0xFF, blue_.shift, blue_.bits, blue_.reduce);
}

void RowCodec::Read(int x, int y, int count, uint32_t* out) const {
  const uint8_t* row = s_.Row(y);
  switch (s_.bpp) {
    case 1:
      for (int i = 0; i < count; ++i) {
        const int px = x + i;
        out[i] = palette_[(row[px >> 3] >> (7 - (px & 7))) & 1];
      }
      break;
    case 4:
      for (int i = 0; i < count; ++i) {
        const int px = x + i;
        const uint8_t byte = row[px >> 1];
        out[i] = palette_[(px & 1) ? (byte & 0x0F) : (byte >> 4)];
      }
      break;
    case 8: {
      const uint8_t* p = row + x;
      ExpandIndices(p, out, count, palette_);
      break;
    }
    case 16: {
      const uint8_t* p = row + 2 * x;
      for (int i = 0; i < count; ++i) {
        uint16_t px;
        std::memcpy(&px, p + 2 * i, 2);
        out[i] = Decode(px);
      }
      break;
    }
    case 24: {
      const uint8_t* p = row + 3 * x;
      for (int i = 0; i < count; ++i, p += 3) out[i] = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      break;
    }
    case 32: {
      const uint8_t* p = row + 4 * x;
      if (s_.IsXrgb32()) {
        for (int i = 0; i < count; ++i) {
          uint32_t px;
          std::memcpy(&px, p + 4 * i, 4);
          out[i] = px & 0xFFFFFFu;
        }
      } else {
        for (int i = 0; i < count; ++i) {
          uint32_t px;
          std::memcpy(&px, p + 4 * i, 4);
          out[i] = Decode(px);
        }
      }
      break;
    }
    default:
      break;
  }
}

int RowCodec::Nearest(uint32_t rgb) {
  rgb &= 0xFFFFFFu;
  if (!cacheReady_) {
    for (CacheEntry& e : cache_) e.rgb = 0xFFFFFFFFu;
    cacheReady_ = true;
  }
  CacheEntry& e = cache_[(rgb ^ (rgb >> 11) ^ (rgb >> 19)) & (kCacheSize - 1)];
  if (e.rgb != rgb) {
    e.rgb = rgb;
    const int count = s_.colourCount < (1 << s_.bpp) ? s_.colourCount : (1 << s_.bpp);
    e.index = count > 0 ? NearestIndex(s_.colours, count, rgb) : 0;
  }
  return e.index;
}

void RowCodec::WriteIndex(int x, int y, int index) {
  uint8_t* row = s_.Row(y);
  switch (s_.bpp) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((index & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
      break;
    }
    case 4: {
      uint8_t& byte = row[x >> 1];
      byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (index & 0x0F))
                     : static_cast<uint8_t>((byte & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    case 8:
      row[x] = static_cast<uint8_t>(index);
      break;
    default:
      break;
  }
}

void RowCodec::Write(int x, int y, int count, const uint32_t* in) {
  uint8_t* row = s_.Row(y);
  switch (s_.bpp) {
    case 1:
    case 4:
      for (int i = 0; i < count; ++i) WriteIndex(x + i, y, Nearest(in[i]));
      break;
    case 8: {
      uint8_t* p = row + x;
      for (int i = 0; i < count; ++i) p[i] = static_cast<uint8_t>(Nearest(in[i]));
      break;
    }
    case 16: {
      uint8_t* p = row + 2 * x;
      for (int i = 0; i < count; ++i) {
        const uint16_t px = static_cast<uint16_t>(Encode(in[i]));
        std::memcpy(p + 2 * i, &px, 2);
      }
      break;
    }
    case 24: {
      uint8_t* p = row + 3 * x;
      for (int i = 0; i < count; ++i, p += 3) {
        p[0] = static_cast<uint8_t>(in[i]);
        p[1] = static_cast<uint8_t>(in[i] >> 8);
        p[2] = static_cast<uint8_t>(in[i] >> 16);
      }
      break;
    }
    case 32: {
      uint8_t* p = row + 4 * x;
      if (s_.IsXrgb32()) {
        for (int i = 0; i < count; ++i) {
          const uint32_t px = in[i] & 0xFFFFFFu;
          std::memcpy(p + 4 * i, &px, 4);
        }
      } else {
        for (int i = 0; i < count; ++i) {
          const uint32_t px = Encode(in[i]);
          std::memcpy(p + 4 * i, &px, 4);
        }
      }
      break;
    }
    default:
      break;
  }
}

uint32_t RowCodec::Round(uint32_t rgb) {
  rgb &= 0xFFFFFFu;
  if (s_.Indexed()) return palette_[Nearest(rgb)];
  if (s_.bpp == 24 || s_.IsXrgb32()) return rgb;
  return Decode(Encode(rgb));
}

}  // namespace lumo::gdi
