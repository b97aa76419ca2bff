// SPDX-License-Identifier: MIT
// The fumes program around the smoke step: window, loop, input, saving.
#pragma once

#include "LumoPlatform.h"

extern HWND WindowHandle;
extern HDC WindowDC;

// The whole program: set-up, message loop, shutdown. Returns the exit code.
int FumesMain(HINSTANCE Instance, HINSTANCE PrevInstance, LPSTR CmdLine, int CmdShow);

// The pieces FumesMain runs in turn, public so tests can drive the real
// window one message at a time.
void FumesStartUp(HINSTANCE Instance);
// One turn of the loop: a waiting message is dispatched (true and the message
// in Msg), otherwise one frame is computed and shown (false).
bool FumesPump(MSG& Msg);
void FumesShutDown();

// The font and colour live in the field's device context, which is new after
// every reallocation, so both are set again then.
void SelectFieldFont();
// One frame: step the field, print the figure, show it, count it.
void UpdateFumes();
LRESULT CALLBACK WndProc(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam);
// Asks for a file name and writes the field there as a bottom-up BMP.
void SaveBitmap();
