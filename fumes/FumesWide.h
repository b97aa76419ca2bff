// SPDX-License-Identifier: MIT
// What the wide forms of the smoke passes share with the family (FumesFast.cpp):
// each instruction set's file brings only its blocks, run through the decay
// bits and finished byte by byte here.
#pragma once

#include <cstdint>

// A form's blocks over one step, from the decay bits of its first bytes (see
// FumesFast.cpp for their layout); it leaves what does not fill a block to
// FumeScalarRange.
using TFumeWide = void (*)(uint8_t* B, uint32_t Size, uint32_t s, const uint32_t* Bits);

// Bytes From .. To - 1 one at a time: the narrow path for what is left over
// after the wide blocks, main and tail band alike.
void FumeScalarRange(uint8_t* B, uint32_t From, uint32_t To, uint32_t MainEnd, uint32_t s, const uint32_t* Bits);

// One step through Wide (or byte by byte from the decay bits when it is
// null); the plain passes when the memory for the decay bits cannot be had.
void FumePassesWith(TFumeWide Wide, uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
