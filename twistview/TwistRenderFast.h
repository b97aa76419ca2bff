// Faster forms of RenderPixels, byte for byte the same as it.
//
// Along a row the picture position moves in a straight line, so its integer
// parts cross a wrap seam only a few times per row. Each row is cut into runs
// inside which both wrapped coordinates equal the plain ones plus a constant;
// a run then needs no compares and no table, only the position steps and the
// sampling, which the AVX2 and AVX-512 forms do eight or sixteen pixels at a time.
#pragma once

#include <cstdint>

#include "LumoDIB.h"

// Same contract as RenderPixels: 8-bit surfaces, tables built for Picture's
// size (entry i = i mod (size - 1)).
void RenderPixelsFast(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter);

// The single forms, for tests and benchmarks; the AVX2 and AVX-512 ones
// only when CanRenderPixelsAVX2() and CanRenderPixelsAVX512() say so.
void RenderPixelsRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter);
void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter);
bool CanRenderPixelsAVX2();
void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter);
bool CanRenderPixelsAVX512();
