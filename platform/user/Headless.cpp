// SPDX-License-Identifier: MIT
// The backend without a display: windows exist only as records in memory,
// GDI draws into their own pixels, and nothing ever arrives from outside
// (tests inject input through the seams instead).
#include "user/Backend.h"
#include "user/X11Present.h"

namespace lumo::user {

namespace {

void Start() {}
bool Create(const Window&) { return true; }
void Destroy(HWND) {}
uint32_t* Surface(HWND, int, int) { return nullptr; }
bool Present(HWND, const uint32_t*, int, int, const RECT&) { return true; }
std::unique_ptr<x11::Presenter> OpenPresenter(HWND) { return nullptr; }
void SetTitle(HWND, const char*) {}
void Show(HWND, int) {}
void Pump(bool) {}
bool Wait(int) { return false; }  // the queue's own wait sees posts and timers
bool ScreenSize(int*, int*) { return false; }
unsigned long NativeWindow(HWND) { return 0; }

}  // namespace

const Backend kHeadlessBackend = {Start,    Create, Destroy, Surface, Present,    OpenPresenter,
                                  SetTitle, Show,   Pump,    Wait,    ScreenSize, NativeWindow};

}  // namespace lumo::user
