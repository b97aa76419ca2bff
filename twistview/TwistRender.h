// SPDX-License-Identifier: MIT
// twistview's rotating-zoom renderer: one frame of the picture turned and
// scaled about the window centre, repeated endlessly through wrap tables.
// Nothing here knows the window beyond the device context it draws to, so
// tests and benchmarks drive it on surfaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LumoDIB.h"
#include "LumoPlatform.h"
#include "TwistPixels.h"

// ---- Frame state (one instance, user-interface thread only) ----

inline constexpr int32_t WrapTableSize = 65536;

extern float Phase;      // grows by PhaseStep every frame
extern float PhaseStep;  // 70 / frames of the last second
extern int32_t FrameCount;
extern int32_t FramesPerSecond;
extern bool Bilinear;
extern bool Feedback;
// Set once Phase reaches 1000: the help lines never come back, even after
// Phase has been taken back by a whole period.
extern bool HelpLinesDone;
// The overlay (help lines, counter) is printed; true unless a screensaver
// without -fps runs.
extern bool ShowOverlay;

extern TLumoDIB* PictureDib;
extern TLumoDIB* WindowDib;
extern TLumoDIB* FeedbackDib;
extern int32_t WrapX[WrapTableSize];
extern int32_t WrapY[WrapTableSize];
// The picture size the wrap tables were built for; 0 x 0 when they were
// built without a usable picture.
extern int32_t WrapWidth;
extern int32_t WrapHeight;
extern HDC WindowDC;
// How often the row-paired copy of the picture that the bilinear filter
// reads has been built: once per picture, at its first filtered frame.
extern int32_t PairedPictureBuilds;

// ---- Phase and coefficients ----

// Both coefficients repeat after 720 pi; Phase is taken back by that much
// when it reaches PhaseBound, so the 32-bit float never grows so large that
// the per-frame step is lost to rounding.
inline constexpr long double PhasePeriod = 720.0L * 3.141592653589793238462643383279502884L;
inline constexpr float PhaseBound = 4096.0f;

// Phase + Step rounded to a 32-bit float, taken back by one period when the
// sum reaches PhaseBound.
float AdvancePhase(float Current, float Step);

struct TCoefficients {
  int32_t A;  // round(65536 sin(3 cos(Phase / 90)))
  int32_t B;  // round(65536 cos(10 sin(Phase / 360)))
};
TCoefficients Coefficients(float AtPhase);

// ---- Pictures ----

// An 8-bit picture of at least 2 x 2 pixels with its pixel memory.
bool IsUsablePicture(const TLumoDIB* Picture);

// Fills WrapX and WrapY for PictureDib's size: entry i is i mod (SW - 1)
// (resp. SH - 1). Without a usable picture both tables hold zeros and
// WrapWidth, WrapHeight become 0. Callers call it whenever the picture
// changes, which also drops the picture's paired copy.
void BuildWrapTables();

// ---- One frame ----

struct TOverlayLine {
  int32_t X;
  int32_t Y;
  std::string Text;
};
// The text lines of a frame, in the order they are printed.
std::vector<TOverlayLine> OverlayLines(bool ShowHelp, int32_t FramesShown);

// One whole frame: phase, pixels (or the cleared surface when there is no
// usable picture), overlay, feedback, copy to WindowDC. A window without
// pixels (minimised) gets no pixel work.
void RenderFrame();

// The one-second tick: the frame rate shown and the speed of the motion.
void TickSecond();
