// SPDX-License-Identifier: MIT
// JPEG through libjpeg-turbo. Its errors leave by longjmp, so everything that
// runs under setjmp below is plain C data with no destructors; the C++ owner
// of the picture lives in the caller's frame, which longjmp never crosses.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>

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

[[noreturn]] void ErrorExit(j_common_ptr info) { longjmp(reinterpret_cast<JpegError*>(info->err)->Jump, 1); }
// Warnings (corrupt data the decoder can get past) are not printed.
void OutputMessage(j_common_ptr) {}

bool ReadHeader(JpegContext* context, const uint8_t* data, size_t size) {
  if (setjmp(context->Error.Jump)) return false;
  jpeg_create_decompress(&context->Info);
  context->Created = true;
  jpeg_mem_src(&context->Info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&context->Info, TRUE);
  return true;
}

// Rows land at pixels + y * stride; CMYK rows go through `scratch` first.
bool ReadRows(JpegContext* context, uint8_t* pixels, size_t stride, uint8_t* scratch) {
  if (setjmp(context->Error.Jump)) return false;
  jpeg_decompress_struct* info = &context->Info;
  jpeg_start_decompress(info);
  while (info->output_scanline < info->output_height) {
    uint8_t* target = pixels + size_t(info->output_scanline) * stride;
    JSAMPROW row = scratch ? scratch : target;
    if (jpeg_read_scanlines(info, &row, 1) != 1) return false;
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

bool IsJpeg(const uint8_t* data, size_t size) {
  return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

Status DecodeJpeg(const uint8_t* data, size_t size, Picture& picture) {
  JpegContext context;
  std::memset(&context, 0, sizeof(context));
  context.Info.err = jpeg_std_error(&context.Error.Manager);
  context.Error.Manager.error_exit = ErrorExit;
  context.Error.Manager.output_message = OutputMessage;

  Status status = GenericError;
  std::vector<uint8_t> scratch;
  if (ReadHeader(&context, data, size)) {
    jpeg_decompress_struct& info = context.Info;
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    bool grey = info.num_components == 1;
    info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    if (!SizeAcceptable(info.image_width, info.image_height)) {
      status = OutOfMemory;
    } else {
      try {
        picture.Allocate(info.image_width, info.image_height, grey ? Format8bppIndexed : Format24bppRGB);
        if (cmyk) scratch.resize(size_t(info.image_width) * 4);
        if (grey) picture.GreyPalette();
        status = ReadRows(&context, picture.Pixels.data(), picture.Stride, cmyk ? scratch.data() : nullptr)
                     ? Ok
                     : GenericError;
      } catch (const std::bad_alloc&) {
        status = OutOfMemory;
      }
    }
  }
  if (context.Created) jpeg_destroy_decompress(&context.Info);
  if (status != Ok) picture = Picture();
  return status;
}

}  // namespace lumo::gdiplus
