// SPDX-License-Identifier: MIT
// The pixel work of twistview's rotating zoom as a kernel: where each window
// row starts in the picture, the wrap of a coordinate, and the plain form of
// a frame's pixels that the faster forms (TwistRenderFast.h) are compared
// against. Nothing here knows the program's frame state.
#pragma once

#include <cstdint>

#include "LumoDIB.h"

// Brings the integer part of a picture position into 0 .. Size - 2 through
// Table, the wrap table built for Size. Negative positions count down from
// Size - 2, which is not a plain modulo.
inline int32_t WrapCoordinate(int32_t I, int32_t Size, const int32_t* Table) {
  if (I < 0) {
    return Size - 2 - Table[-I];
  }
  if (I > Size - 2) {
    return Table[I];
  }
  return I;
}

// Where each window row starts in the picture. Positions are 16.16 fixed
// point that wraps at 32 bits (unsigned keeps the wrapping defined); one pixel
// to the right steps (UB, UA).
struct TRowStarts {
  uint32_t UA, UB, P, Q, OffX, OffY;
  int32_t HalfH;
  uint32_t U(int32_t Y) const { return UA * static_cast<uint32_t>(HalfH - Y) + P + OffX; }
  uint32_t V(int32_t Y) const { return Q - UB * static_cast<uint32_t>(HalfH - Y) + OffY; }
};
// Centres a SW x SH picture on a W x H window turned and scaled by A and B.
TRowStarts RowStarts(int32_t W, int32_t H, int32_t SW, int32_t SH, int32_t A, int32_t B);

// The pixel work of one frame: every byte of Window sampled from Picture at
// the position given by A and B, point or bilinear. Window and Picture must
// be 8 bits per pixel and the tables built for Picture's size. This is the
// plain reference that faster kernels are compared against.
void RenderPixels(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
                  int32_t B, bool Filter);

// A form of the pixel work: RenderPixels' contract, plus Pairs, the picture's
// row-paired copy (see BuildPairedPicture) or null; forms that have no use
// for it ignore it.
using TRenderPixels = void (*)(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                               int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
