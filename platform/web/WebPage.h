// SPDX-License-Identifier: MIT
// What the files of the web backend share. WebBackend.cpp makes each window
// a canvas of the page (<canvas id="lumo-canvas-N"> in a <figure> whose
// caption is the title, inside the page's #lumo-windows); CanvasSink.cpp
// puts its frames there; WebInput.cpp listens to it; BrowserSaveDialog.cpp
// hands saved files to the browser when the program is back in its loop.
#pragma once

#include <functional>
#include <memory>

#include "LumoPlatform.h"
#include "user/FrameSink.h"

namespace lumo::web {

// The number N of a window's canvas; 0 when it has none.
int CanvasOf(HWND window);

// Calls visit(window, canvas) for every window with a canvas.
void ForEachCanvas(const std::function<void(HWND, int)>& visit);

// The window whose canvas was made last (numbers only grow); nullptr when
// there is none.
HWND NewestWindow();

// Sets the program's stack aside until the browser's next animation frame:
// the page draws what was put and delivers the input that came meanwhile.
void YieldToBrowser();

// The sink of a window's frames: its canvas.
std::unique_ptr<user::FrameSink> OpenCanvasSink(HWND window);

// Input of a new window's canvas, and the end of it (once the window is no
// longer among the canvases).
void ListenTo(HWND window, int canvas);
void StopListening(HWND window, int canvas);

// What the page queued for the windows since the last call (site/lumo.js):
// sizes, which become WM_SIZE as natively, touch as the mouse's messages,
// and its on-screen keys. While a modal dialog runs only sizes count.
void TakePageInput(bool modal);

// Offers the files saved through the dialog since the last call as
// downloads; called from every look at the message queue.
void OfferSavedFiles();

}  // namespace lumo::web
