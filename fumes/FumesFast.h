// Faster forms of the smoke passes, bit for bit the same as FumePassesPlain.
//
// Each byte's decay decision depends only on the step's starting noise and
// the byte's offset, so it is worked out once per starting value and kept as
// one bit per byte; the averaging then runs 16 or 32 bytes at a time.
#pragma once

#include <cstdint>

#include "FumesSim.h"

// The fastest passes this processor runs (AVX2, SSE2, else the plain ones);
// chosen on the first call. This is what the program installs.
void FumePassesFast(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);

// The single forms, for tests and benchmarks. The SSE2 and AVX2 forms must
// only be called when the processor has them (see CanRunFumePasses*).
void FumePassesTable(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);  // scalar, from the decay bits
void FumePassesSSE2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
void FumePassesAVX2(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
bool CanRunFumePassesSSE2();
bool CanRunFumePassesAVX2();

// Drops the tabulated decay bits (they are rebuilt on demand).
void ForgetFumeDecayTables();
// Test seam: while set, no memory is had for decay bits, so the fast forms
// fall back to the plain passes.
void SetFumeDecayTablesUnavailable(bool Unavailable);
