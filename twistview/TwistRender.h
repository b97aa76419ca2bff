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

// Brings the integer part of a picture position into 0 .. Size - 2 through
// Table, the wrap table built for Size. Negative positions count down from
// Size - 2, which is not a plain modulo.
inline int32_t WrapCoordinate(int32_t I, int32_t Size, const int32_t* Table) {
  if (I < 0) {
    return Size - 2 - Table[-I];
  }
  if (I > Size - 2) {
    return Table[I];
  }
  return I;
}

// Where each window row starts in the picture. Positions are 16.16 fixed
// point that wraps at 32 bits (unsigned keeps the wrapping defined); one pixel
// to the right steps (UB, UA).
struct TRowStarts {
  uint32_t UA, UB, P, Q, OffX, OffY;
  int32_t HalfH;
  uint32_t U(int32_t Y) const { return UA * static_cast<uint32_t>(HalfH - Y) + P + OffX; }
  uint32_t V(int32_t Y) const { return Q - UB * static_cast<uint32_t>(HalfH - Y) + OffY; }
};
// Centres a SW x SH picture on a W x H window turned and scaled by A and B.
TRowStarts RowStarts(int32_t W, int32_t H, int32_t SW, int32_t SH, int32_t A, int32_t B);

// The pixel work of one frame: every byte of Window sampled from Picture at
// the position given by A and B, point or bilinear. Window and Picture must
// be 8 bits per pixel and the tables built for Picture's size. This is the
// plain reference that faster kernels are compared against.
void RenderPixels(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
                  int32_t B, bool Filter);

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
