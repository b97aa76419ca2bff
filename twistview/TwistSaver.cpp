// SPDX-License-Identifier: MIT
#include "TwistSaver.h"

#include "TwistRender.h"
#include "TwistShell.h"

TTwistSaverSettings TwistSaverSettings;

namespace {

int32_t SecondsShown = 0;

void Start() {
  PictureDib = new TLumoDIB;
  SelectPicture(TwistSaverSettings.Picture == 2 ? 1 : 0);
  BuildWrapTables();
  PhaseStep = 0.46f;
  Bilinear = TwistSaverSettings.Filter;
  Feedback = TwistSaverSettings.Feedback;
  // A screensaver teaches no clicks: the help lines never show.
  HelpLinesDone = true;
  ShowOverlay = TwistSaverSettings.Fps;
  SecondsShown = 0;
  FeedbackDib = new TLumoDIB;
  SetWindowPalette(*FeedbackDib);
  WindowDib = new TLumoDIB;
  SetWindowPalette(*WindowDib);
}

void Resize(int32_t Width, int32_t Height) {
  WindowDib->Allocate(Width, Height, 8);
  SetUpText(*WindowDib);
}

// The program's own frame, drawn on the shell's device context.
void Frame(HDC DC) {
  WindowDC = DC;
  RenderFrame();
}

void Paint(HDC DC) { (Feedback ? FeedbackDib : WindowDib)->DrawTo(DC, 0, 0); }

void Second() {
  TickSecond();
  if (TwistSaverSettings.Picture == 0 && ++SecondsShown >= PictureSeconds) {
    SecondsShown = 0;
    SelectPicture(PictureIndex == 0 ? 1 : 0);
    BuildWrapTables();
  }
}

void Stop() {
  delete PictureDib;
  delete WindowDib;
  delete FeedbackDib;
  PictureDib = WindowDib = FeedbackDib = nullptr;
}

}  // namespace

const TSaverEffect TwistSaverEffect = {"twistview", Start, Resize, Frame, Paint, Second, Stop};
