// SPDX-License-Identifier: MIT
// What a frame costs outside the effect: the counter text printed into the
// 8-bit surface, then the copy to a window with the palette expanded to the
// window's pixels. The window is an off-screen one, so no display is needed.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LumoDIB.h"
#include "LumoPlatform.h"
#include "bench_common.h"
#include "gdi/PaletteRows.h"
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

// The palette expansion alone, a frame's rows into window pixels: the plain
// loop beside the faster forms.
using TExpand = void (*)(const uint8_t*, uint32_t*, int, const uint32_t*);
void ExpandBench(benchmark::State& State, TExpand Expand, bool Available) {
  if (!Available) {
    State.SkipWithError("not available on this processor");
    return;
  }
  auto Dib = Frame();
  std::vector<uint32_t> Palette(256), Pixels(static_cast<size_t>(Width) * Height + 1024);
  for (uint32_t I = 0; I < 256; ++I) Palette[I] = I * 0x010101u;
  // The window's pixels start at some offset from a page; pick one that
  // does not put the rows read and the rows written at the same page offset.
  uint32_t* Out = Pixels.data() + 272;
  for (auto _ : State) {
    for (int32_t Y = 0; Y < Height; ++Y) {
      Expand(Dib->Rows8[Y], Out + static_cast<size_t>(Y) * Width, Width, Palette.data());
    }
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}
void BM_ExpandPlain(benchmark::State& S) { ExpandBench(S, lumo::gdi::ExpandIndicesPlain, true); }
BENCHMARK(BM_ExpandPlain);
[[maybe_unused]] const bool ExpandRegistered = lumo_bench::RegisterForms(
    "BM_Expand", lumo::gdi::ExpandIndicesForms,
    [](benchmark::State& S, const lumo::gdi::ExpandIndicesKernel& Kernel) { ExpandBench(S, Kernel.Row, true); });

// Through the palette made ready in advance, as copies to a window go.
lumo::gdi::PaletteTable WindowTable;
void ExpandThroughTable(const uint8_t* In, uint32_t* Out, int Count, const uint32_t*) {
  lumo::gdi::ExpandIndices(In, Out, Count, WindowTable);
}
void BM_ExpandTable(benchmark::State& S) {
  std::vector<uint32_t> Palette(256);
  for (uint32_t I = 0; I < 256; ++I) Palette[I] = I * 0x010101u;
  lumo::gdi::BuildPaletteTable(Palette.data(), WindowTable);
  ExpandBench(S, ExpandThroughTable, true);
}
BENCHMARK(BM_ExpandTable);

// A whole frame as the window copy writes it, through the caches or around
// them (Stream): the fences of streamed rows show here.
void BM_ExpandRows(benchmark::State& State) {
  const bool Stream = State.range(0) != 0;
  auto Dib = Frame();
  std::vector<uint32_t> Palette(256), Pixels(static_cast<size_t>(Width) * Height + 16);
  for (uint32_t I = 0; I < 256; ++I) Palette[I] = I * 0x010101u;
  lumo::gdi::BuildPaletteTable(Palette.data(), WindowTable);
  // 64-byte aligned rows, as in the X server's shared image.
  uint32_t* Out = Pixels.data() + (16 - reinterpret_cast<uintptr_t>(Pixels.data()) / 4 % 16) % 16;
  for (auto _ : State) {
    lumo::gdi::ExpandRows(Dib->Rows8[0], Dib->Rows8[1] - Dib->Rows8[0], Out, Width, Width, Height, WindowTable, Stream);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}
BENCHMARK(BM_ExpandRows)->ArgName("stream")->Arg(0)->Arg(1);

}  // namespace
