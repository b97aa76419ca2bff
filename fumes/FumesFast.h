// SPDX-License-Identifier: MIT
// Faster forms of the smoke passes, bit for bit the same as FumePassesPlain.
//
// Each byte's decay decision depends only on the step's starting noise and
// the byte's offset, so it is worked out once per starting value and kept as
// one bit per byte; the averaging then runs 16 or 32 bytes at a time.
#pragma once

#include <cstdint>

#include "FumePasses.h"
#include "LumoFastPath.h"
#include "kernels/LumoCpu.h"

// The single forms, each in a file of its own (FumesSse2.cpp, ...). The SSE2
// and AVX2 forms must only be called when the processor has them. The
// simd128 and neon forms are wide in a build for WebAssembly's vectors and
// for aarch64, and the scalar form elsewhere.
void FumePassesTable(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);  // scalar, from the decay bits
void FumePassesSSE2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
void FumePassesAVX2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
void FumePassesSIMD128(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
void FumePassesNEON(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);

// The family FumePassesFast chooses from, widest first. The scalar form from
// the decay bits is no level of its own and stays out.
inline constexpr TLumoForm<TFumePasses> FumePassesForms[] = {
    {"avx2", LumoHasAVX2, FumePassesAVX2},          {"sse2", LumoHasSSE2, FumePassesSSE2},
    {"simd128", LumoHasSIMD128, FumePassesSIMD128}, {"neon", LumoHasNEON, FumePassesNEON},
    {"plain", LumoAlways, FumePassesPlain},
};

// Drops the tabulated decay bits (they are rebuilt on demand).
void ForgetFumeDecayTables();
// Test seam: while set, no memory is had for decay bits, so the fast forms
// fall back to the plain passes.
void SetFumeDecayTablesUnavailable(bool Unavailable);
