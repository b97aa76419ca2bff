// The smoke field: its state, its sources and one step of the effect.
// Nothing here touches a window, so tests and benchmarks can drive it on any
// 8-bit surface.
#pragma once

#include <cstdint>
#include <vector>

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

// The two forward passes over the flat buffer B of Size bytes with rows of s
// bytes, the decay driven by the noise sequence starting at Noise. Callers
// guarantee Size >= 4 * s and s >= 1. Swappable so a faster kernel can be
// installed and compared against the plain one.
using TFumePasses = void (*)(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
void FumePassesPlain(uint8_t* B, uint32_t Size, uint32_t s, uint32_t Noise);
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
