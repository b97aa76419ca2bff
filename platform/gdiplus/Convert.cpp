// SPDX-License-Identifier: MIT
// Rows of any picture format widened to 32-bit blue, green, red, alpha, for
// drawing and for locks in a format other than the picture's own.
#include <cstring>

#include "Picture.h"

namespace lumo::gdiplus {
namespace {

void PutArgb(uint8_t* out, uint32_t argb) {
  out[0] = uint8_t(argb);
  out[1] = uint8_t(argb >> 8);
  out[2] = uint8_t(argb >> 16);
  out[3] = uint8_t(argb >> 24);
}

uint8_t Widen5(uint32_t v) { return uint8_t((v << 3) | (v >> 2)); }
uint8_t Widen6(uint32_t v) { return uint8_t((v << 2) | (v >> 4)); }

}  // namespace

void RowToBgra(const Picture& picture, uint32_t y, uint8_t* out) {
  const uint8_t* in = picture.Row(y);
  const uint32_t width = picture.Width;
  // Indices beyond the palette show as opaque black.
  auto colour = [&](uint32_t index) { return index < picture.Palette.size() ? picture.Palette[index] : 0xFF000000u; };
  for (uint32_t x = 0; x < width; ++x) {
    uint8_t* o = out + 4 * size_t(x);
    switch (picture.Format) {
      case Format1bppIndexed:
        PutArgb(o, colour((in[x >> 3] >> (7 - (x & 7))) & 1));
        break;
      case Format4bppIndexed:
        PutArgb(o, colour((x & 1) ? in[x >> 1] & 0x0F : in[x >> 1] >> 4));
        break;
      case Format8bppIndexed:
        PutArgb(o, colour(in[x]));
        break;
      case Format16bppRGB555: {
        uint32_t p = uint32_t(in[2 * x] | (in[2 * x + 1] << 8));
        o[0] = Widen5(p & 31);
        o[1] = Widen5((p >> 5) & 31);
        o[2] = Widen5((p >> 10) & 31);
        o[3] = 0xFF;
        break;
      }
      case Format16bppARGB1555: {
        uint32_t p = uint32_t(in[2 * x] | (in[2 * x + 1] << 8));
        o[0] = Widen5(p & 31);
        o[1] = Widen5((p >> 5) & 31);
        o[2] = Widen5((p >> 10) & 31);
        o[3] = (p & 0x8000) ? 0xFF : 0;
        break;
      }
      case Format16bppRGB565: {
        uint32_t p = uint32_t(in[2 * x] | (in[2 * x + 1] << 8));
        o[0] = Widen5(p & 31);
        o[1] = Widen6((p >> 5) & 63);
        o[2] = Widen5((p >> 11) & 31);
        o[3] = 0xFF;
        break;
      }
      case Format24bppRGB:
        o[0] = in[3 * x];
        o[1] = in[3 * x + 1];
        o[2] = in[3 * x + 2];
        o[3] = 0xFF;
        break;
      case Format32bppRGB:
        std::memcpy(o, in + 4 * size_t(x), 3);
        o[3] = 0xFF;
        break;
      case Format32bppARGB:
        std::memcpy(o, in + 4 * size_t(x), 4);
        break;
      case Format48bppRGB:
        // Little-endian 16-bit samples: the high byte is the 8-bit value.
        o[0] = in[6 * size_t(x) + 1];
        o[1] = in[6 * size_t(x) + 3];
        o[2] = in[6 * size_t(x) + 5];
        o[3] = 0xFF;
        break;
      case Format64bppARGB:
        o[0] = in[8 * size_t(x) + 1];
        o[1] = in[8 * size_t(x) + 3];
        o[2] = in[8 * size_t(x) + 5];
        o[3] = in[8 * size_t(x) + 7];
        break;
      default:
        PutArgb(o, 0xFF000000u);
        break;
    }
  }
}

}  // namespace lumo::gdiplus
