// SPDX-License-Identifier: MIT
// The smoke passes as a kernel: their type, the plain form every faster one
// is compared against, and the form this process runs. The faster forms and
// the family table are in FumesFast.h; nothing here knows the field.
#pragma once

#include <cstdint>

// The two forward passes over the flat buffer B of Size bytes with rows of s
// bytes, the decay driven by the noise sequence starting at Noise. Callers
// guarantee Size >= 4 * s and s >= 1.
using TFumePasses = void (*)(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
void FumePassesPlain(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);

// The form of the family table (FumesFast.h) chosen for this process, on the
// first call; this is what the program installs.
void FumePassesFast(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
