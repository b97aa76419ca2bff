// SPDX-License-Identifier: MIT
#include "web/PictureLayout.h"

#include <cstring>
#include <unordered_map>

namespace lumo::web {

using namespace lumo::gdiplus;

namespace {

uint32_t Big16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }
uint32_t Big32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

bool IsStartOfFrame(uint8_t marker) {
  // SOF0 to SOF15 but DHT, JPG and DAC, which share the range.
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

void GreyLayout(PictureLayout* out) {
  out->format = Format8bppIndexed;
  out->grey = true;
  FillGreyPalette(out->palette);
  out->paletteFlags = PaletteFlagsGrayScale;
}

// Indices by colour, cached per colour: a picture has few.
class IndexFinder {
 public:
  explicit IndexFinder(const std::vector<uint32_t>& palette) : palette_(palette) {}
  uint8_t Index(const uint8_t* rgba) {
    const uint32_t argb = (uint32_t(rgba[3]) << 24) | (uint32_t(rgba[0]) << 16) | (uint32_t(rgba[1]) << 8) | rgba[2];
    auto found = known_.find(argb);
    if (found != known_.end()) return found->second;
    uint8_t best = 0;
    uint64_t bestDistance = UINT64_MAX;
    for (size_t i = 0; i < palette_.size() && i < 256; ++i) {
      uint64_t distance = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const int d = int((argb >> shift) & 0xFF) - int((palette_[i] >> shift) & 0xFF);
        distance += uint64_t(d * d);
      }
      if (distance < bestDistance) {
        bestDistance = distance;
        best = uint8_t(i);
      }
    }
    known_[argb] = best;
    return best;
  }

 private:
  const std::vector<uint32_t>& palette_;
  std::unordered_map<uint32_t, uint8_t> known_;
};

void Put16(uint8_t* out, uint8_t value) {
  const uint32_t wide = value * 257u;
  out[0] = uint8_t(wide);
  out[1] = uint8_t(wide >> 8);
}

}  // namespace

bool ReadJpegLayout(const uint8_t* data, size_t size, PictureLayout* out) {
  if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return false;
    while (at < size && data[at] == 0xFF) ++at;  // fill bytes
    if (at >= size) return false;
    const uint8_t marker = data[at++];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;   // no length
    if (marker == 0xD9 || marker == 0xDA || at + 2 > size) return false;  // no frame before the scan
    const uint32_t length = Big16(data + at);
    if (length < 2 || at + length > size) return false;
    if (IsStartOfFrame(marker)) {
      if (length < 8) return false;
      const uint8_t* frame = data + at + 2;
      const uint32_t height = Big16(frame + 1), width = Big16(frame + 3), components = frame[5];
      if (width == 0 || height == 0 || components == 0 || length < 8 + 3 * components) return false;
      *out = PictureLayout{};
      out->width = width;
      out->height = height;
      if (components == 1)
        GreyLayout(out);
      else
        out->format = Format24bppRGB;  // colour and CMYK alike
      out->holdsItsPixels = uint64_t(width) * height <= 1024 * uint64_t(size);
      return true;
    }
    at += length;
  }
  return false;
}

bool ReadPngLayout(const uint8_t* data, size_t size, PictureLayout* out) {
  if (data == nullptr || size < 8 + 25 || !IsPng(data, size)) return false;
  if (Big32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0) return false;
  const uint8_t* h = data + 16;
  const uint32_t width = Big32(h), height = Big32(h + 4), depth = h[8], colour = h[9], interlace = h[12];
  const bool depthFits = colour == 0   ? (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)
                         : colour == 3 ? (depth == 1 || depth == 2 || depth == 4 || depth == 8)
                                       : (colour == 2 || colour == 4 || colour == 6) && (depth == 8 || depth == 16);
  if (width == 0 || height == 0 || !depthFits || interlace > 1) return false;

  // The palette and the transparency come before the first image data.
  std::vector<uint32_t> palette;
  bool transparency = false;
  bool paletteAlpha = false;
  for (size_t at = 8 + 25; at + 8 <= size;) {
    const uint32_t length = Big32(data + at);
    const uint8_t* type = data + at + 4;
    if (length > size - at - 8) return false;
    const uint8_t* body = data + at + 8;
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
    if (std::memcmp(type, "PLTE", 4) == 0 && colour == 3) {
      const uint32_t count = length / 3 > 256 ? 256 : length / 3;
      palette.resize(count);
      for (uint32_t i = 0; i < count; ++i)
        palette[i] = 0xFF000000u | (uint32_t(body[3 * i]) << 16) | (uint32_t(body[3 * i + 1]) << 8) | body[3 * i + 2];
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
      transparency = true;
      for (uint32_t i = 0; colour == 3 && i < length && i < palette.size(); ++i) {
        palette[i] = (palette[i] & 0x00FFFFFFu) | (uint32_t(body[i]) << 24);
        if (body[i] != 255) paletteAlpha = true;
      }
    }
    if (length > SIZE_MAX - at - 12) return false;
    at += size_t(length) + 12;
  }

  *out = PictureLayout{};
  out->width = width;
  out->height = height;
  const uint64_t channels = colour == 2 ? 3 : colour == 6 ? 4 : colour == 4 ? 2 : 1;
  out->holdsItsPixels = uint64_t(width) * height * channels * depth / 8 <= 1032 * uint64_t(size);
  if (colour == 3) {
    if (palette.empty()) return false;
    out->format = depth == 1 ? Format1bppIndexed : depth == 4 ? Format4bppIndexed : Format8bppIndexed;
    out->palette = palette;
    out->paletteFlags = paletteAlpha ? PaletteFlagsHasAlpha : 0;
  } else if (colour == 0 && !transparency && depth != 16) {
    GreyLayout(out);
  } else {
    const bool alpha = transparency || (colour & 4) != 0;
    const bool wide = depth == 16;
    out->format = alpha ? (wide ? Format64bppARGB : Format32bppARGB) : (wide ? Format48bppRGB : Format24bppRGB);
  }
  return true;
}

Status FillPicture(const PictureLayout& layout, const uint8_t* rgba, Picture& picture) {
  if (!SizeAcceptable(layout.width, layout.height)) return OutOfMemory;
  picture.Allocate(layout.width, layout.height, layout.format);
  picture.Palette = layout.palette;
  picture.PaletteFlags = layout.paletteFlags;
  const int bpp = BitsPerPixel(layout.format);
  const bool indexed = (layout.format & 0x00010000) != 0;
  IndexFinder finder(layout.palette);
  for (uint32_t y = 0; y < layout.height; ++y) {
    const uint8_t* in = rgba + size_t(y) * layout.width * 4;
    uint8_t* row = picture.Pixels.data() + size_t(y) * picture.Stride;
    for (uint32_t x = 0; x < layout.width; ++x, in += 4) {
      if (layout.grey) {
        row[x] = in[0];
      } else if (indexed) {
        const uint8_t index = finder.Index(in);
        if (bpp == 8) {
          row[x] = index;
        } else {
          // Packed from the high bits, the first pixel leftmost.
          const uint32_t perByte = 8 / bpp, shift = 8 - bpp * (x % perByte + 1);
          row[x / perByte] |= uint8_t(index << shift);
        }
      } else if (bpp == 24 || bpp == 32) {
        uint8_t* o = row + size_t(x) * (bpp / 8);
        o[0] = in[2];
        o[1] = in[1];
        o[2] = in[0];
        if (bpp == 32) o[3] = in[3];
      } else {  // 48 and 64 bits: 16-bit samples, blue first
        uint8_t* o = row + size_t(x) * (bpp / 8);
        Put16(o, in[2]);
        Put16(o + 2, in[1]);
        Put16(o + 4, in[0]);
        if (bpp == 64) Put16(o + 6, in[3]);
      }
    }
  }
  return Ok;
}

}  // namespace lumo::web
