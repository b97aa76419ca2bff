// SPDX-License-Identifier: MIT
// JPEG through libjpeg-turbo. Its errors leave by longjmp, so everything that
// runs under setjmp below is plain C data with no destructors; the C++ owner
// of the picture lives in the caller's frame, which longjmp never crosses.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "Picture.h"

namespace lumo::gdiplus {
namespace {

struct JpegError {
  jpeg_error_mgr Manager;
  jmp_buf Jump;
};

struct JpegContext {
  jpeg_decompress_struct Info;
  JpegError Error;
  bool Created;
};

// Huffman-coded data spends at least one bit on each 8x8 block of each
// component, so no complete picture holds more than 512 pixels a byte. One
// declaring twice that is missing its data, and is refused before anything
// is allocated or decoded. (Arithmetic coding can pack a flat picture
// tighter; such rare pictures beyond the limit are refused as well.)
constexpr uint64_t kMaxPixelsPerByte = 1024;

[[noreturn]] void ErrorExit(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->Jump, 1); }

// Warnings (corrupt data the decoder can get past) are not printed. Running
// out of coded data is not got past: libjpeg would go on with blank blocks to
// the declared height, at the full cost of every missing row.
void EmitMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_HIT_MARKER) ErrorExit(info);
}

bool ReadHeader(JpegContext* context, const uint8_t* data, size_t size) {
  if (setjmp(context->Error.Jump)) return false;
  jpeg_create_decompress(&context->Info);
  context->Created = true;
  jpeg_mem_src(&context->Info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&context->Info, TRUE);
  return true;
}

// Rows land in the picture as they are decoded; CMYK rows go through
// `scratch` first.
bool ReadRows(JpegContext* context, Picture* picture, uint8_t* scratch, uint32_t* rowsRead) {
  if (setjmp(context->Error.Jump)) return false;
  jpeg_decompress_struct* info = &context->Info;
  jpeg_start_decompress(info);
  while (info->output_scanline < info->output_height) {
    uint8_t* target = picture->RowForWriting(info->output_scanline);
    JSAMPROW row = scratch ? scratch : target;
    if (jpeg_read_scanlines(info, &row, 1) != 1) return false;
    ++*rowsRead;
    if (scratch) {
      // Adobe's inverted CMYK, the only kind found in practice.
      for (JDIMENSION x = 0; x < info->output_width; ++x) {
        unsigned c = scratch[4 * x], m = scratch[4 * x + 1], y = scratch[4 * x + 2], k = scratch[4 * x + 3];
        target[3 * x] = uint8_t(y * k / 255);
        target[3 * x + 1] = uint8_t(m * k / 255);
        target[3 * x + 2] = uint8_t(c * k / 255);
      }
    }
  }
  jpeg_finish_decompress(info);
  return true;
}

}  // namespace

Status DecodeJpeg(const uint8_t* data, size_t size, Picture& picture, uint32_t* rowsRead) {
  uint32_t rows = 0;
  JpegContext context;
  std::memset(&context, 0, sizeof(context));
  context.Info.err = jpeg_std_error(&context.Error.Manager);
  context.Error.Manager.error_exit = ErrorExit;
  context.Error.Manager.emit_message = EmitMessage;

  Status status = GenericError;
  std::vector<uint8_t> scratch;
  if (ReadHeader(&context, data, size)) {
    jpeg_decompress_struct& info = context.Info;
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    bool grey = info.num_components == 1;
    info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    if (!SizeAcceptable(info.image_width, info.image_height)) {
      status = OutOfMemory;
    } else if (uint64_t(info.image_width) * info.image_height > kMaxPixelsPerByte * size) {
      status = GenericError;
    } else {
      try {
        picture.Begin(info.image_width, info.image_height, grey ? Format8bppIndexed : Format24bppRGB);
        if (cmyk) scratch.resize(size_t(info.image_width) * 4);
        if (grey) picture.GreyPalette();
        status = ReadRows(&context, &picture, cmyk ? scratch.data() : nullptr, &rows) ? Ok : GenericError;
      } catch (const std::bad_alloc&) {
        status = OutOfMemory;
      }
    }
  }
  if (context.Created) jpeg_destroy_decompress(&context.Info);
  if (status != Ok) picture = Picture();
  if (rowsRead) *rowsRead = rows;
  return status;
}

}  // namespace lumo::gdiplus
