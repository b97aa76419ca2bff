// SPDX-License-Identifier: MIT
// PNG through libpng. As with JPEG, libpng leaves by longjmp on errors, so
// the frames under setjmp hold only plain C data; the picture's owner is in
// the caller's frame.
#include <csetjmp>
#include <cstring>
#include <new>

#include <png.h>

#include "Picture.h"

namespace lumo::gdiplus {
namespace {

struct PngContext {
  png_structp Png;
  png_infop Info;
  const uint8_t* Data;
  size_t Size;
  size_t Position;
  png_uint_32 Width;
  png_uint_32 Height;
  int BitDepth;
  int ColourType;
  int32_t Format;
  int Passes;
  size_t RowBytes;
  uint32_t Palette[256];
  int PaletteCount;
  bool PaletteHasAlpha;
};

void ReadData(png_structp png, png_bytep out, size_t count) {
  auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
  if (count > context->Size - context->Position) png_error(png, "truncated");
  std::memcpy(out, context->Data + context->Position, count);
  context->Position += count;
}

// Deflate turns a byte into at most 1032, so a picture whose rows need more
// than that many bytes per byte of the file is missing its data, and is
// refused before anything is allocated or decoded.
constexpr uint64_t kMaxRawBytesPerByte = 1032;

uint64_t RawBytes(png_uint_32 width, png_uint_32 height, int bitDepth, int colourType) {
  const int channels = colourType == PNG_COLOR_TYPE_RGB          ? 3
                       : colourType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                       : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                 : 1;
  return uint64_t(width) * height * uint64_t(channels * bitDepth) / 8;
}

[[noreturn]] void Error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Warning(png_structp, png_const_charp) {}

// Reads the header and sets up the transforms that give GDI+'s layout for
// the format chosen: indexed stays indexed (2-bit widened to 8), grey becomes
// 8-bit indexed, colour becomes BGR(A), 16-bit samples stay 16-bit little
// endian, and any transparency becomes an alpha channel.
bool ReadHeader(PngContext* c) {
  if (setjmp(png_jmpbuf(c->Png))) return false;
  png_set_read_fn(c->Png, c, ReadData);
  png_read_info(c->Png, c->Info);
  int interlace = 0;
  png_get_IHDR(c->Png, c->Info, &c->Width, &c->Height, &c->BitDepth, &c->ColourType, &interlace, nullptr, nullptr);
  if (!SizeAcceptable(c->Width, c->Height)) return true;  // the caller refuses it
  bool transparency = png_get_valid(c->Png, c->Info, PNG_INFO_tRNS) != 0;
  bool wide = c->BitDepth == 16;

  if (c->ColourType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(c->Png, c->Info, &colours, &count) != 0 && count > 256) count = 256;
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p unusedColour = nullptr;
    if (transparency) png_get_tRNS(c->Png, c->Info, &alpha, &alphaCount, &unusedColour);
    c->PaletteCount = count;
    for (int i = 0; i < count; ++i) {
      uint32_t a = (alpha && i < alphaCount) ? alpha[i] : 255u;
      if (a != 255) c->PaletteHasAlpha = true;
      c->Palette[i] =
          (a << 24) | (uint32_t(colours[i].red) << 16) | (uint32_t(colours[i].green) << 8) | colours[i].blue;
    }
    if (c->BitDepth == 2) png_set_packing(c->Png);
    c->Format = c->BitDepth == 1 ? Format1bppIndexed : c->BitDepth == 4 ? Format4bppIndexed : Format8bppIndexed;
  } else if (c->ColourType == PNG_COLOR_TYPE_GRAY && !transparency && !wide) {
    if (c->BitDepth < 8) png_set_expand_gray_1_2_4_to_8(c->Png);
    c->Format = Format8bppIndexed;
  } else {
    bool alpha = transparency || (c->ColourType & PNG_COLOR_MASK_ALPHA) != 0;
    if (c->BitDepth < 8) png_set_expand(c->Png);
    if (transparency) png_set_tRNS_to_alpha(c->Png);
    if ((c->ColourType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(c->Png);
    png_set_bgr(c->Png);
    if (wide) png_set_swap(c->Png);
    c->Format = alpha ? (wide ? Format64bppARGB : Format32bppARGB) : (wide ? Format48bppRGB : Format24bppRGB);
  }
  c->Passes = interlace != PNG_INTERLACE_NONE ? png_set_interlace_handling(c->Png) : 1;
  png_read_update_info(c->Png, c->Info);
  c->RowBytes = png_get_rowbytes(c->Png, c->Info);
  return true;
}

// Rows are stored as the passes reach them: every pass visits the rows top
// to bottom, so a plain file's storage grows with the data actually read.
// An interlaced file's first pass already touches every row: its bound is
// the check on row bytes per input byte, made before decoding.
bool ReadRows(PngContext* c, Picture* picture, uint32_t* rowsRead) {
  if (setjmp(png_jmpbuf(c->Png))) return false;
  for (int pass = 0; pass < c->Passes; ++pass) {
    for (png_uint_32 y = 0; y < c->Height; ++y) {
      png_read_row(c->Png, picture->RowForWriting(y), nullptr);
      ++*rowsRead;
    }
  }
  return true;
}

}  // namespace

Status DecodePng(const uint8_t* data, size_t size, Picture& picture, uint32_t* rowsRead) {
  uint32_t rows = 0;
  PngContext context;
  std::memset(&context, 0, sizeof(context));
  context.Data = data;
  context.Size = size;
  context.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
  if (!context.Png) return OutOfMemory;
  context.Info = png_create_info_struct(context.Png);
  if (!context.Info) {
    png_destroy_read_struct(&context.Png, nullptr, nullptr);
    return OutOfMemory;
  }

  Status status = GenericError;
  if (ReadHeader(&context)) {
    if (!SizeAcceptable(context.Width, context.Height)) {
      status = OutOfMemory;
    } else if (RawBytes(context.Width, context.Height, context.BitDepth, context.ColourType) >
               kMaxRawBytesPerByte * size) {
      status = GenericError;
    } else {
      try {
        picture.Begin(context.Width, context.Height, context.Format);
        // The transforms must give exactly the row the format describes.
        if (context.RowBytes <= picture.Stride && ReadRows(&context, &picture, &rows)) {
          status = Ok;
          if (context.ColourType == PNG_COLOR_TYPE_PALETTE) {
            picture.Palette.assign(context.Palette, context.Palette + context.PaletteCount);
            picture.PaletteFlags = context.PaletteHasAlpha ? PaletteFlagsHasAlpha : 0;
          } else if (context.Format == Format8bppIndexed) {
            picture.GreyPalette();
          }
        }
      } catch (const std::bad_alloc&) {
        status = OutOfMemory;
      }
    }
  }
  png_destroy_read_struct(&context.Png, &context.Info, nullptr);
  if (status != Ok) picture = Picture();
  if (rowsRead) *rowsRead = rows;
  return status;
}

}  // namespace lumo::gdiplus
