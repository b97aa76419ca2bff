// SPDX-License-Identifier: MIT
// twistview's program shell: start-up, the window and its procedure, the
// idle message loop and the two ways the program ends.
#pragma once

#include <cstdint>

#include "LumoPlatform.h"

extern int32_t PictureIndex;  // the picture shown, 0 or 1
extern const char* const PictureNames[2];
extern HWND WindowHandle;
extern MSG Message;

inline constexpr int32_t StartWidth = 768;
inline constexpr int32_t StartHeight = 536;

// Loads picture Index into PictureDib. The picture is decoded into a new
// surface first and replaces the current one only when it is usable, so a
// failed load keeps the picture shown. Callers rebuild the wrap tables
// afterwards.
bool SelectPicture(int32_t Index);

class TLumoDIB;
// The black-to-blue-green-to-white palette of the shown surfaces.
void SetWindowPalette(TLumoDIB& Dib);
// The overlay's font and transparent text; a new device context has neither.
void SetUpText(TLumoDIB& Dib);

LRESULT CALLBACK WndProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

// Surfaces, first picture, window, device context and timer.
void StartUp();
// Until WM_QUIT: dispatch a waiting message, or else render a frame.
void RunMessageLoop();
// The whole program; returns the exit status of the Escape path.
int TwistViewMain();
