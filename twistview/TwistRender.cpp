// SPDX-License-Identifier: MIT
#include "TwistRender.h"

#include <cfenv>
#include <cmath>

#include "LumoBlend.h"
#include "TwistRenderFast.h"

float Phase = 0.0f;
float PhaseStep = 0.46f;
int32_t FrameCount = 0;
int32_t FramesPerSecond = 0;
bool Bilinear = true;
bool Feedback = false;
bool HelpLinesDone = false;
bool ShowOverlay = true;

TLumoDIB* PictureDib = nullptr;
TLumoDIB* WindowDib = nullptr;
TLumoDIB* FeedbackDib = nullptr;
int32_t WrapX[WrapTableSize];
int32_t WrapY[WrapTableSize];
int32_t WrapWidth = 0;
int32_t WrapHeight = 0;
HDC WindowDC = nullptr;
int32_t PairedPictureBuilds = 0;

namespace {

// The middle of the window palette (the blue-green key): frames without a
// picture are filled with it, so the black help text stays readable.
constexpr uint32_t NoPictureIndex = 128;

// A store through volatile rounds to a 32-bit float even where the compiler
// would otherwise keep the value in an 80-bit x87 register.
float ToFloat(long double Value) {
  volatile float Rounded = static_cast<float>(Value);
  return Rounded;
}

int32_t RoundHalfEven(long double Value) {
  // nearbyint follows the current rounding mode, which is to-nearest-even
  // unless someone changed it; make sure for this one call.
  const int Saved = std::fegetround();
  if (Saved != FE_TONEAREST) {
    std::fesetround(FE_TONEAREST);
  }
  const long double Rounded = std::nearbyint(Value);
  if (Saved != FE_TONEAREST) {
    std::fesetround(Saved);
  }
  return static_cast<int32_t>(Rounded);
}

bool TablesMatch(const TLumoDIB& Picture) {
  return WrapWidth == Picture.Header.biWidth && WrapHeight == Picture.RowCount;
}

// The paired copy of PictureDib and the picture it was built from; the
// pointers tell a picture swapped in without new tables from the old one.
std::vector<uint8_t> Pairs;
const TLumoDIB* PairsPicture = nullptr;
const uint8_t* PairsPixels = nullptr;
bool PairsBuilt = false;

const uint8_t* PairsFor(const TLumoDIB& Picture) {
  if (!PairsBuilt || PairsPicture != &Picture || PairsPixels != Picture.Pixels) {
    BuildPairedPicture(Picture, Pairs);
    PairsPicture = &Picture;
    PairsPixels = Picture.Pixels;
    PairsBuilt = true;
    ++PairedPictureBuilds;
  }
  return Pairs.empty() ? nullptr : Pairs.data();
}

}  // namespace

float AdvancePhase(float Current, float Step) {
  float Next = ToFloat(static_cast<long double>(Current) + static_cast<long double>(Step));
  if (Next >= PhaseBound) {
    Next = ToFloat(static_cast<long double>(Next) - PhasePeriod);
  }
  return Next;
}

TCoefficients Coefficients(float AtPhase) {
  const long double P = AtPhase;
  const long double A = 65536.0L * std::sin(3.0L * std::cos(P / 90.0L));
  const long double B = 65536.0L * std::cos(10.0L * std::sin(P / 360.0L));
  return {RoundHalfEven(A), RoundHalfEven(B)};
}

bool IsUsablePicture(const TLumoDIB* Picture) {
  return Picture != nullptr && Picture->Header.biBitCount == 8 && Picture->Header.biWidth >= 2 &&
         Picture->RowCount >= 2 && Picture->Pixels != nullptr && Picture->Rows8 != nullptr;
}

void BuildWrapTables() {
  PairsBuilt = false;
  std::vector<uint8_t>().swap(Pairs);
  if (!IsUsablePicture(PictureDib)) {
    // Without a picture nothing is sampled; a width below 2 would make the
    // counters below run without ever wrapping.
    for (int32_t I = 0; I < WrapTableSize; ++I) {
      WrapX[I] = 0;
      WrapY[I] = 0;
    }
    WrapWidth = 0;
    WrapHeight = 0;
    return;
  }
  const int32_t SW = PictureDib->Header.biWidth;
  const int32_t SH = PictureDib->RowCount;
  int32_t Column = 0;
  int32_t Row = 0;
  for (int32_t I = 0; I < WrapTableSize; ++I) {
    WrapX[I] = Column;
    WrapY[I] = Row;
    if (++Column == SW - 1) {
      Column = 0;
    }
    if (++Row == SH - 1) {
      Row = 0;
    }
  }
  WrapWidth = SW;
  WrapHeight = SH;
}

std::vector<TOverlayLine> OverlayLines(bool ShowHelp, int32_t FramesShown) {
  std::string Counter = std::to_string(FramesShown);
  if (!ShowHelp) {
    return {{5, 0, Counter}};
  }
  return {{5, 0, "vel ro twistviewer - t0vak"},
          {5, 15, "right-click: toggle feedback"},
          {5, 30, "left-click: toggle bilinear filter"},
          {5, 45, "press a key: change picture"},
          {5, 60, Counter}};
}

void RenderFrame() {
  if (WindowDib == nullptr || FeedbackDib == nullptr) {
    return;
  }
  Phase = AdvancePhase(Phase, PhaseStep);
  if (Phase >= 1000.0f) {
    HelpLinesDone = true;
  }

  if (WindowDib->Header.biWidth == 0 || WindowDib->RowCount == 0) {
    // Minimised: nothing to compute.
  } else if (IsUsablePicture(PictureDib) && TablesMatch(*PictureDib) && WindowDib->Header.biBitCount == 8) {
    const TCoefficients C = Coefficients(Phase);
    RenderPixelsFast(*WindowDib, *PictureDib, WrapX, WrapY, C.A, C.B, Bilinear,
                     Bilinear ? PairsFor(*PictureDib) : nullptr);
  } else {
    WindowDib->ClearTo(NoPictureIndex);
  }

  for (const TOverlayLine& Line : OverlayLines(!HelpLinesDone, FramesPerSecond)) {
    if (!ShowOverlay) break;
    WindowDib->PrintText(Line.X, Line.Y, Line.Text);
  }

  if (Feedback) {
    FeedbackDib->Allocate(WindowDib->Header.biWidth, WindowDib->Header.biHeight, 8);
    AvgBlend(*FeedbackDib, *FeedbackDib, *WindowDib);
    FeedbackDib->DrawTo(WindowDC, 0, 0);
  } else {
    WindowDib->DrawTo(WindowDC, 0, 0);
  }
  ++FrameCount;
}

void TickSecond() {
  FramesPerSecond = FrameCount;
  if (FramesPerSecond != 0) {
    PhaseStep = ToFloat(70.0L / FramesPerSecond);
  } else {
    PhaseStep = 0.46f;
  }
  FrameCount = 0;
}
