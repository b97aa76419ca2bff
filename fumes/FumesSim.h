// SPDX-License-Identifier: MIT
// The smoke field: its state, its sources and one step of the effect.
// Nothing here touches a window, so tests and benchmarks can drive it on any
// 8-bit surface.
#pragma once

#include <cstdint>
#include <vector>

#include "FumePasses.h"
#include "LumoDIB.h"

// A point drawn with the mouse, in client (= surface) coordinates.
struct TFumePoint {
  uint16_t X;
  uint16_t Y;
};

// The field. The shell creates it at start-up; tests point it at their own
// surface. Always 8 bits per pixel and top-down.
extern TLumoDIB* FumeDib;

extern bool Drawing;
extern std::vector<TFumePoint> FumePoints;
extern int32_t SeedRange;
extern int32_t SeedBase;
extern bool ShowFps;
extern int32_t FrameCount;
extern int32_t FramesPerSecond;

// The program's one random generator: a uniform integer in [0, n), and 0 when
// n is 0 (or negative). Tests swap in their own to make steps predictable.
using TRandomFunction = int32_t (*)(int32_t N);
extern TRandomFunction RandomFunction;
int32_t RandomInt(int32_t N);
// Seeds the built-in generator (the program uses the clock).
void SeedRandom(uint32_t Seed);
// The built-in generator itself, for restoring after a test swapped it out.
int32_t DefaultRandom(int32_t N);

// The passes StepFumes runs (see FumePasses.h): the chosen fast form unless
// a test or benchmark swaps in another.
extern TFumePasses FumePasses;

// One simulation step on FumeDib: seeding and both passes. Returns false (and
// does nothing, drawing no random number) when the field has fewer than four
// rows or no pixel memory; the frame is then not presented or counted either.
bool StepFumes();

// Records a drawn point; the first one after free mode clears the field.
void AddFumePoint(uint16_t X, uint16_t Y);
// Leaves drawing mode and forgets every point; the picture stays.
void ClearFumePoints();
// Writes a random intensity 0..254 at (X, Y) when that lies on the field.
void SparkAt(uint16_t X, uint16_t Y);

// Puts every piece of fume state back to its start-up value.
void ResetFumeState();
