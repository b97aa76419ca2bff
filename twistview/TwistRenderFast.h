// SPDX-License-Identifier: MIT
// Faster forms of RenderPixels, byte for byte the same as it.
//
// Along a row the picture position moves in a straight line, so its integer
// parts cross a wrap seam only a few times per row. Each row is cut into runs
// inside which both wrapped coordinates equal the plain ones plus a constant;
// a run then needs no compares and no table, only the position steps and the
// sampling, which the AVX2 and AVX-512 forms do eight or sixteen pixels at a
// time with gathers, and the SSE2, simd128 and neon forms (which have none)
// eight or four, loading each sample by itself.
#pragma once

#include <cstdint>
#include <vector>

#include "LumoDIB.h"
#include "LumoFastPath.h"
#include "TwistPixels.h"

// The picture with every byte followed by the byte one row further on: the
// bilinear wide forms fetch all four neighbours of a sample with one gather
// from it. Building it costs about two picture sizes of memory traffic, so
// the program builds it when the picture changes, not per frame. Returns
// false, leaving Pairs empty, where the form chosen for this process cannot
// use it (the plain form, rows too long for the fast offsets, no memory).
bool BuildPairedPicture(const TLumoDIB& Picture, std::vector<uint8_t>& Pairs);

// Same contract as RenderPixels: 8-bit surfaces, tables built for Picture's
// size (entry i = i mod (size - 1)). Pairs is Picture's paired copy, or null:
// the bilinear forms then fetch the two rows with a gather each. Runs the
// form of RenderPixelsForms chosen for this process.
void RenderPixelsFast(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
// These build the paired copy for the one call.
void RenderPixelsFast(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter);

// The single forms; the AVX2 and AVX-512 ones only when CanRenderPixelsAVX2()
// and CanRenderPixelsAVX512() say so. The runs form, with no wide
// instructions, has no use for Pairs.
void RenderPixelsRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter);
void RenderPixelsRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
void RenderPixelsAVX2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter);
bool CanRenderPixelsAVX2();
// Without Pairs the bilinear AVX-512 form hands over to the AVX2 one.
void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
void RenderPixelsAVX512(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                        int32_t A, int32_t B, bool Filter);
bool CanRenderPixelsAVX512();
// Without Pairs the bilinear SSE2 form loads the two rows per sample.
void RenderPixelsSSE2(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
bool CanRenderPixelsSSE2();
// WebAssembly's vectors; without Pairs the bilinear form loads the two rows
// per sample.
void RenderPixelsSIMD128(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                         int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
bool CanRenderPixelsSIMD128();
// AdvSIMD (only in a build for aarch64); without Pairs the bilinear form
// loads the two rows per sample.
void RenderPixelsNEON(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY,
                      int32_t A, int32_t B, bool Filter, const uint8_t* Pairs);
bool CanRenderPixelsNEON();

// The family RenderPixelsFast chooses from, widest first.
inline constexpr TLumoForm<TRenderPixels> RenderPixelsForms[] = {
    {"avx512", CanRenderPixelsAVX512, RenderPixelsAVX512}, {"avx2", CanRenderPixelsAVX2, RenderPixelsAVX2},
    {"sse2", CanRenderPixelsSSE2, RenderPixelsSSE2},       {"simd128", CanRenderPixelsSIMD128, RenderPixelsSIMD128},
    {"neon", CanRenderPixelsNEON, RenderPixelsNEON},       {"plain", LumoAlways, RenderPixelsRuns},
};
