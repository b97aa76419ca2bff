// SPDX-License-Identifier: MIT
#include "FumesSim.h"

#include <new>

TLumoDIB* FumeDib = nullptr;

bool Drawing = false;
std::vector<TFumePoint> FumePoints;
int32_t SeedRange = 255;
int32_t SeedBase = 0;
bool ShowFps = true;
int32_t FrameCount = 0;
int32_t FramesPerSecond = 0;

namespace {

// Sources per frame when nothing has been drawn.
constexpr int kSourceCount = 51;

uint32_t RandomState = 1;

// The planted intensity: only the low byte of the sum counts.
uint8_t SeedValue() {
  return static_cast<uint8_t>(static_cast<uint32_t>(RandomInt(SeedRange)) + static_cast<uint32_t>(SeedBase));
}

}  // namespace

int32_t DefaultRandom(int32_t N) {
  if (N <= 0) {
    return 0;
  }
  // A 32-bit linear congruential step; the high bits are the good ones, so
  // the range is taken by multiplying rather than by a remainder.
  RandomState = RandomState * 1664525u + 1013904223u;
  return static_cast<int32_t>((static_cast<uint64_t>(RandomState) * static_cast<uint32_t>(N)) >> 32);
}

TRandomFunction RandomFunction = DefaultRandom;

int32_t RandomInt(int32_t N) {
  const int32_t Value = RandomFunction(N);
  // Whatever generator is installed, an answer outside [0, N) would send a
  // source outside the field.
  if (N <= 0 || Value < 0 || Value >= N) {
    return 0;
  }
  return Value;
}

void SeedRandom(uint32_t Seed) { RandomState = Seed; }

TFumePasses FumePasses = FumePassesFast;

bool StepFumes() {
  if (FumeDib == nullptr) {
    return false;
  }
  TLumoDIB& Dib = *FumeDib;
  const int32_t H = Dib.RowCount;
  const int32_t s = Dib.RowBytes;
  const int32_t W = Dib.Header.biWidth;
  const uint32_t Size = Dib.Header.biSizeImage;
  // A field without bytes (zero width, or a section that could not be made)
  // has no last two rows to seed; stepping it would write outside it.
  if (H < 4 || s <= 0 || Dib.Pixels == nullptr || Size < 4u * static_cast<uint32_t>(s)) {
    return false;
  }
  uint8_t* B = static_cast<uint8_t*>(Dib.Pixels);
  const uint32_t Noise = static_cast<uint32_t>(RandomInt(10));

  if (Drawing) {
    for (const TFumePoint& Point : FumePoints) {
      if (Point.X < W && Point.Y < H) {
        Dib.Rows8[Point.Y][Point.X] = SeedValue();
      }
    }
  } else {
    const uint32_t Band = Size - 2 * static_cast<uint32_t>(s);
    for (int i = 0; i < kSourceCount; ++i) {
      // Anywhere in the last two rows except the very last byte; the offset
      // is drawn before the value.
      const uint32_t Offset = Band + static_cast<uint32_t>(RandomInt(2 * s - 1));
      B[Offset] = SeedValue();
    }
  }

  FumePasses(B, Size, static_cast<uint32_t>(s), Noise);
  return true;
}

void AddFumePoint(uint16_t X, uint16_t Y) {
  if (!Drawing && FumeDib != nullptr) {
    FumeDib->ClearTo(0);
  }
  Drawing = true;
  try {
    FumePoints.push_back({X, Y});
  } catch (const std::bad_alloc&) {
    // Out of memory: the point is dropped, the ones already drawn keep burning.
  }
}

void ClearFumePoints() {
  Drawing = false;
  std::vector<TFumePoint>().swap(FumePoints);
}

void SparkAt(uint16_t X, uint16_t Y) {
  if (FumeDib == nullptr || FumeDib->Pixels == nullptr) {
    return;
  }
  if (X < FumeDib->Header.biWidth && Y < FumeDib->RowCount) {
    FumeDib->Rows8[Y][X] = static_cast<uint8_t>(RandomInt(255));
  }
}

void ResetFumeState() {
  ClearFumePoints();
  SeedRange = 255;
  SeedBase = 0;
  ShowFps = true;
  FrameCount = 0;
  FramesPerSecond = 0;
}
