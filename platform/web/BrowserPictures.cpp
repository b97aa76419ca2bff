// SPDX-License-Identifier: MIT
// The codec module's JPEG and PNG decoders on the web: the browser's own,
// asked through createImageBitmap and read back from a canvas. Decoding is
// asynchronous in the browser; the load waits for it (Asyncify), so the
// flat API keeps its synchronous calls. The picture's format and palette
// come from its headers (PictureLayout.h), as the native decoders give them.
#include <emscripten.h>

#include <cstring>
#include <vector>

#include "Picture.h"
#include "web/PictureLayout.h"

namespace {

// clang-format off
// Decodes the file and keeps its pixels (RGBA, not premultiplied, without
// colour conversion) for LumoTakeDecoded; 0 when the browser cannot.
EM_ASYNC_JS(int, LumoDecodePicture, (const uint8_t* data, int size, int* width, int* height), {
  Module.lumoDecoded = null;
  if (typeof createImageBitmap != "function") return 0;
  try {
    var blob = new Blob([HEAPU8.slice(data, data + size)]);
    var bitmap = await createImageBitmap(blob, {colorSpaceConversion: "none", premultiplyAlpha: "none"});
    var canvas = typeof OffscreenCanvas != "undefined" ? new OffscreenCanvas(bitmap.width, bitmap.height) :
                 document.createElement("canvas");
    canvas.width = bitmap.width;
    canvas.height = bitmap.height;
    var g = canvas.getContext("2d", {willReadFrequently: true});
    g.drawImage(bitmap, 0, 0);
    Module.lumoDecoded = g.getImageData(0, 0, bitmap.width, bitmap.height).data;
    HEAP32[width >> 2] = bitmap.width;
    HEAP32[height >> 2] = bitmap.height;
    bitmap.close();
    return 1;
  } catch (error) {
    return 0;
  }
});

// Whether the browser decodes pictures at all: asked first, so that where it
// cannot (under node) the load fails at once instead of waiting for nothing.
EM_JS(int, LumoCanDecode, (), {
  return typeof createImageBitmap == "function" ? 1 : 0;
});

EM_JS(void, LumoTakeDecoded, (uint8_t* out, int count), {
  var pixels = Module.lumoDecoded;
  Module.lumoDecoded = null;
  if (pixels && pixels.length == count) HEAPU8.set(pixels, out);
});
// clang-format on

lumo::gdiplus::Status Decode(const uint8_t* data, size_t size, const lumo::web::PictureLayout& layout,
                             lumo::gdiplus::Picture& picture) {
  using namespace lumo::gdiplus;
  // Refused before the browser is asked, as natively before anything is allocated.
  if (!SizeAcceptable(layout.width, layout.height)) return OutOfMemory;
  if (size > 0x7FFFFFFF) return OutOfMemory;
  if (!layout.holdsItsPixels) return GenericError;
  if (!LumoCanDecode()) return GenericError;
  int width = 0, height = 0;
  if (!LumoDecodePicture(data, static_cast<int>(size), &width, &height)) return GenericError;
  if (uint32_t(width) != layout.width || uint32_t(height) != layout.height) {
    LumoTakeDecoded(nullptr, -1);  // drops them
    return GenericError;
  }
  std::vector<uint8_t> rgba(size_t(layout.width) * layout.height * 4);
  LumoTakeDecoded(rgba.data(), static_cast<int>(rgba.size()));
  return lumo::web::FillPicture(layout, rgba.data(), picture);
}

}  // namespace

namespace lumo::gdiplus {

namespace {

// Reads the layout with readLayout, then decodes: the browser decodes the
// whole picture or none of it.
Status DecodeWith(bool (*readLayout)(const uint8_t*, size_t, web::PictureLayout*), const uint8_t* data, size_t size,
                  Picture& picture, uint32_t* rowsRead) {
  if (rowsRead) *rowsRead = 0;
  web::PictureLayout layout;
  if (!readLayout(data, size, &layout)) return GenericError;
  const Status status = Decode(data, size, layout, picture);
  if (status != Ok) picture = Picture();
  if (status == Ok && rowsRead) *rowsRead = layout.height;
  return status;
}

}  // namespace

Status DecodeJpeg(const uint8_t* data, size_t size, Picture& picture, uint32_t* rowsRead) {
  return DecodeWith(web::ReadJpegLayout, data, size, picture, rowsRead);
}

Status DecodePng(const uint8_t* data, size_t size, Picture& picture, uint32_t* rowsRead) {
  return DecodeWith(web::ReadPngLayout, data, size, picture, rowsRead);
}

}  // namespace lumo::gdiplus
