// SPDX-License-Identifier: MIT
// The backend without a display: windows exist only as records in memory,
// GDI draws into their own pixels, and nothing ever arrives from outside
// (tests inject input through the seams instead).
#include "user/Backend.h"
#include "user/FrameSink.h"

namespace lumo::user {

namespace {

void Start() {}
bool Create(const Window&) { return true; }
void Destroy(HWND) {}
void SetTitle(HWND, const char*) {}
void Show(HWND, int) {}
void Pump(bool) {}
bool Wait(int) { return false; }  // the queue's own wait sees posts and timers
bool ScreenSize(int*, int*) { return false; }
unsigned long NativeWindow(HWND) { return 0; }

constexpr SinkMaker kSinks[] = {OpenMemorySink};

}  // namespace

const Backend kHeadlessBackend = {Start, Create, Destroy, kSinks, SetTitle, Show, Pump, Wait, ScreenSize, NativeWindow};

}  // namespace lumo::user
