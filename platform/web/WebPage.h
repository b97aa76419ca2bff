// SPDX-License-Identifier: MIT
// What the files of the web backend share. WebBackend.cpp makes each window
// a canvas of the page (<canvas id="lumo-canvas-N"> in a <figure> whose
// caption is the title, inside the page's #lumo-windows); WebInput.cpp
// listens to them; BrowserSaveDialog.cpp hands saved files to the browser
// when the program is back in its loop.
#pragma once

#include "LumoPlatform.h"

namespace lumo::web {

// Input of a new window's canvas, and the end of it.
void ListenTo(HWND window, int canvas);
void StopListening(HWND window);

// Offers the files saved through the dialog since the last call as
// downloads; called from every look at the message queue.
void OfferSavedFiles();

}  // namespace lumo::web
