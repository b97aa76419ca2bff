// SPDX-License-Identifier: MIT
#include "FumesSaver.h"

#include "Fumes.h"
#include "FumesPalette.h"
#include "FumesSim.h"
#include "LumoDIB.h"

TFumesSaverSettings FumesSaverSettings;

namespace {

void Start() {
  ResetFumeState();
  SeedRandom(GetTickCount());
  FumeDib = new TLumoDIB();
  SelectFieldFont();
  AltScheme = FumesSaverSettings.Scheme == 2;
  ApplyPalette(AltScheme);
  ShowFps = FumesSaverSettings.Fps;
}

void Resize(int32_t Width, int32_t Height) {
  FumeDib->Allocate(Width, -Height, 8);
  SelectFieldFont();
}

// The program's own frame, drawn on the shell's device context.
void Frame(HDC DC) {
  WindowDC = DC;
  UpdateFumes();
}

void Paint(HDC DC) { FumeDib->DrawTo(DC, 0, 0); }

void Second() {
  FramesPerSecond = FrameCount;
  FrameCount = 0;
}

void Stop() { FumesShutDown(); }

}  // namespace

const TSaverEffect FumesSaverEffect = {"fumes", Start, Resize, Frame, Paint, Second, Stop};
