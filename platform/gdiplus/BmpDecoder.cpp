// SPDX-License-Identifier: MIT
// Windows bitmap files, uncompressed (1, 4, 8, 16, 24, 32 bits) and with bit
// fields (16, 32 bits). Every header field is checked against the file before
// it is used: a bitmap is either wholly valid or refused.
#include <cstring>
#include <new>

#include "Picture.h"

namespace lumo::gdiplus {
namespace {

uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

// A mask must be one run of set bits.
bool MaskValid(uint32_t mask) {
  if (mask == 0) return false;
  uint32_t shifted = mask >> __builtin_ctz(mask);
  return (shifted & (shifted + 1)) == 0;
}

struct Channel {
  uint32_t Mask;
  int Shift;
  int Bits;
  uint8_t Scale(uint32_t pixel) const {
    if (!Mask) return 0;
    uint32_t v = (pixel & Mask) >> Shift;
    if (Bits >= 8) return uint8_t(v >> (Bits - 8));
    // Widen by repeating the top bits, so full scale stays full scale.
    uint32_t max = (1u << Bits) - 1;
    return uint8_t((v * 255 + max / 2) / max);
  }
};

Channel MakeChannel(uint32_t mask) {
  if (!mask) return {0, 0, 0};
  int shift = __builtin_ctz(mask);
  return {mask, shift, __builtin_popcount(mask)};
}

}  // namespace

bool IsBmp(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 'B' && data[1] == 'M'; }

Status DecodeBmp(const uint8_t* data, size_t size, Picture& picture) {
  if (size < kFileHeaderSize + 12 || !IsBmp(data, size)) return UnknownImageFormat;
  uint32_t offBits = Read32(data + 10);
  uint32_t headerSize = Read32(data + 14);
  if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
      headerSize != 124)
    return GenericError;
  if (uint64_t(kFileHeaderSize) + headerSize > size) return GenericError;
  const uint8_t* h = data + kFileHeaderSize;

  int64_t width;
  int64_t height;
  uint32_t planes;
  uint32_t bpp;
  uint32_t compression = kBiRgb;
  uint32_t colourCount = 0;
  if (headerSize == 12) {
    width = Read16(h + 4);
    height = int16_t(Read16(h + 6));
    planes = Read16(h + 8);
    bpp = Read16(h + 10);
  } else {
    width = int32_t(Read32(h + 4));
    height = int32_t(Read32(h + 8));
    planes = Read16(h + 12);
    bpp = Read16(h + 14);
    compression = Read32(h + 16);
    colourCount = Read32(h + 32);
  }
  if (planes != 1) return GenericError;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return GenericError;
  if (compression == kBiBitfields ? (bpp != 16 && bpp != 32) : compression != kBiRgb) return GenericError;
  bool bottomUp = height > 0;
  uint64_t rows = height < 0 ? uint64_t(-height) : uint64_t(height);
  if (width <= 0 || rows == 0) return GenericError;
  if (!SizeAcceptable(uint64_t(width), rows)) return OutOfMemory;

  // Colour table (indexed) or masks (bit fields) follow the header.
  uint64_t tableStart = kFileHeaderSize + uint64_t(headerSize);
  // The colour table or masks lie between the header and the pixels, and
  // the pixels inside the file.
  if (offBits < tableStart || offBits > size) return GenericError;
  std::vector<uint32_t> palette;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  if (bpp <= 8) {
    uint32_t maximum = 1u << bpp;
    if (colourCount == 0) colourCount = maximum;
    if (colourCount > maximum) return GenericError;
    uint32_t entrySize = headerSize == 12 ? 3 : 4;
    if (tableStart + uint64_t(colourCount) * entrySize > offBits) return GenericError;
    palette.resize(colourCount);
    for (uint32_t i = 0; i < colourCount; ++i) {
      const uint8_t* e = data + tableStart + uint64_t(i) * entrySize;
      palette[i] = 0xFF000000u | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
    }
  } else if (compression == kBiBitfields) {
    // Version 1 headers keep the masks after the header, later ones inside.
    uint64_t maskStart = headerSize == 40 ? tableStart : kFileHeaderSize + 40;
    if (maskStart + 12 > (headerSize == 40 ? uint64_t(offBits) : tableStart)) return GenericError;
    for (int i = 0; i < 3; ++i) masks[i] = Read32(data + maskStart + 4 * i);
    if (headerSize >= 56) masks[3] = Read32(data + kFileHeaderSize + 52);
    uint32_t all = 0;
    for (int i = 0; i < 4; ++i) {
      if (i < 3 && !MaskValid(masks[i])) return GenericError;
      if (i == 3 && masks[3] && !MaskValid(masks[3])) return GenericError;
      if (all & masks[i]) return GenericError;
      if (bpp == 16 && (masks[i] >> 16)) return GenericError;
      all |= masks[i];
    }
  }

  size_t fileStride = ((uint64_t(width) * bpp + 31) / 32) * 4;
  if (uint64_t(offBits) + fileStride * rows > size) return GenericError;
  const uint8_t* bits = data + offBits;

  // Layouts GDI+ keeps as they are: the rows are taken over in file order,
  // so a bottom-up file is handed out with a negative stride.
  int32_t rawFormat = 0;
  if (bpp == 1) rawFormat = Format1bppIndexed;
  if (bpp == 4) rawFormat = Format4bppIndexed;
  if (bpp == 8) rawFormat = Format8bppIndexed;
  if (bpp == 24) rawFormat = Format24bppRGB;
  if (compression == kBiRgb && bpp == 16) rawFormat = Format16bppRGB555;
  if (compression == kBiRgb && bpp == 32) rawFormat = Format32bppRGB;
  if (compression == kBiBitfields && bpp == 16 && masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)
    rawFormat = masks[3] == 0x8000 ? Format16bppARGB1555 : Format16bppRGB555;
  if (compression == kBiBitfields && bpp == 16 && masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
    rawFormat = Format16bppRGB565;
  if (compression == kBiBitfields && bpp == 32 && masks[0] == 0x00FF0000 && masks[1] == 0x0000FF00 &&
      masks[2] == 0x000000FF && masks[3] == 0)
    rawFormat = Format32bppRGB;

  try {
    if (rawFormat) {
      picture.Allocate(uint32_t(width), uint32_t(rows), rawFormat);
      // Same 32-bit row padding as the file.
      std::memcpy(picture.Pixels.data(), bits, fileStride * rows);
      picture.BottomUp = bottomUp;
      if (bpp <= 8) picture.Palette = std::move(palette);
      return Ok;
    }
    // Other bit fields: widened to 8 bits a channel, top row first.
    bool alpha = masks[3] != 0;
    picture.Allocate(uint32_t(width), uint32_t(rows), alpha ? Format32bppARGB : Format32bppRGB);
    Channel red = MakeChannel(masks[0]), green = MakeChannel(masks[1]), blue = MakeChannel(masks[2]),
            alphaChannel = MakeChannel(masks[3]);
    for (uint64_t y = 0; y < rows; ++y) {
      const uint8_t* in = bits + (bottomUp ? rows - 1 - y : y) * fileStride;
      uint8_t* out = picture.Pixels.data() + y * picture.Stride;
      for (int64_t x = 0; x < width; ++x) {
        uint32_t pixel = bpp == 16 ? Read16(in + 2 * x) : Read32(in + 4 * x);
        out[4 * x] = blue.Scale(pixel);
        out[4 * x + 1] = green.Scale(pixel);
        out[4 * x + 2] = red.Scale(pixel);
        out[4 * x + 3] = alpha ? alphaChannel.Scale(pixel) : 0xFF;
      }
    }
    return Ok;
  } catch (const std::bad_alloc&) {
    picture = Picture();
    return OutOfMemory;
  }
}

}  // namespace lumo::gdiplus
