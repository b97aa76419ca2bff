// SPDX-License-Identifier: MIT
// What the native decoders make of a JPEG or PNG file, read from its headers
// alone: the browser decodes every picture to 8-bit RGBA, and the picture's
// own size, GDI+ format and palette come from here, so a program gets the
// same surface on the web as natively. The pixels then go into that format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Picture.h"

namespace lumo::web {

struct PictureLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t format = 0;             // GDI+'s, as the native decoder chooses it
  std::vector<uint32_t> palette;  // 0xAARRGGBB: the file's own, or 256 greys
  uint32_t paletteFlags = 0;
  bool grey = false;  // 8-bit indexed grey: the pixels are the grey levels
  // Whether the file is large enough to hold its declared pixels at all,
  // by the native decoders' bounds (a compressed byte gives at most 1024
  // JPEG pixels, 1032 bytes of PNG rows): one that is not is missing its
  // data, and is refused before the browser decodes it.
  bool holdsItsPixels = true;
};

// False when the headers are not those of a picture the decoders take.
bool ReadJpegLayout(const uint8_t* data, size_t size, PictureLayout* out);
bool ReadPngLayout(const uint8_t* data, size_t size, PictureLayout* out);

// `picture` in the layout's format from width x height RGBA pixels (not
// premultiplied): grey levels from red, palette indices by colour (the
// first entry of that colour, else the nearest), 16-bit samples widened.
gdiplus::Status FillPicture(const PictureLayout& layout, const uint8_t* rgba, gdiplus::Picture& picture);

}  // namespace lumo::web
