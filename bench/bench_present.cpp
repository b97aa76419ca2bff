// SPDX-License-Identifier: MIT
// What a frame costs outside the effect: the counter text printed into the
// 8-bit surface, then the copy to a window with the palette expanded to the
// window's pixels (the expansion alone: bench_expand.cpp). The window is an
// off-screen one, so no display is needed.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LumoDIB.h"
#include "LumoPlatform.h"
#include "bench_common.h"
#include "seams/GdiSeams.h"

namespace {

constexpr int32_t Width = 768;
constexpr int32_t Height = 536;

struct TWindow {
  HWND Window = lumo::test::CreateOffscreenWindow(Width, Height);
  HDC DC = GetDC(Window);
  ~TWindow() {
    ReleaseDC(Window, DC);
    lumo::test::DestroyOffscreenWindow(Window);
  }
};

std::unique_ptr<TLumoDIB> Frame() {
  auto Dib = std::make_unique<TLumoDIB>();
  Dib->Allocate(Width, Height, 8);
  Dib->RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(0, 100, 128), MakeColour(255, 255, 255)});
  Dib->SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
  Dib->TransparentText(true);
  std::mt19937 Random(3);
  for (uint32_t I = 0; I < Dib->Header.biSizeImage; ++I) {
    Dib->Pixels[I] = static_cast<uint8_t>(Random());
  }
  return Dib;
}

// One frame's presentation: Overlay prints into the surface (it gets the
// frame number), then the whole surface is copied to the window.
template <class TOverlay>
void PresentBench(benchmark::State& State, TOverlay Overlay) {
  TWindow W;
  auto Dib = Frame();
  if (W.DC == nullptr || Dib->MemDC == nullptr) {
    State.SkipWithError("no window or surface DC");
    return;
  }
  int32_t Count = 0;
  for (auto _ : State) {
    Overlay(*Dib, std::to_string(++Count % 1000));
    Dib->DrawTo(W.DC, 0, 0);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}

void BM_PresentCopy(benchmark::State& State) {
  PresentBench(State, [](TLumoDIB&, const std::string&) {});
}
BENCHMARK(BM_PresentCopy);

// A frame after the help period: the counter, then the copy.
void BM_PresentCounterAndCopy(benchmark::State& State) {
  PresentBench(State, [](TLumoDIB& Dib, const std::string& Counter) { Dib.PrintText(5, 0, Counter); });
}
BENCHMARK(BM_PresentCounterAndCopy);

// The whole overlay and copy of a twistview frame during the help period.
void BM_PresentHelpAndCopy(benchmark::State& State) {
  PresentBench(State, [](TLumoDIB& Dib, const std::string& Counter) {
    Dib.PrintText(5, 0, "vel ro twistviewer - t0vak");
    Dib.PrintText(5, 15, "right-click: toggle feedback");
    Dib.PrintText(5, 30, "left-click: toggle bilinear filter");
    Dib.PrintText(5, 45, "press a key: change picture");
    Dib.PrintText(5, 60, Counter);
  });
}
BENCHMARK(BM_PresentHelpAndCopy);

}  // namespace
