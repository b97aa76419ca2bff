// SPDX-License-Identifier: MIT
// The palette expansion of a copy of an 8-bit frame to a window, alone: a
// frame's rows into window pixels through each form of the family, the
// plain loop beside them, through the palette made ready in advance as the
// window copy goes, and whole frames as the copy writes them.
#include <memory>
#include <random>
#include <vector>

#include "LumoDIB.h"
#include "bench_common.h"
#include "gdi/PaletteRows.h"

namespace {

constexpr int32_t Width = 768;
constexpr int32_t Height = 536;

// A twistview-sized frame of random indices, bottom-up as the program's.
std::unique_ptr<TLumoDIB> Frame() {
  auto Dib = std::make_unique<TLumoDIB>();
  Dib->UseSection = false;
  Dib->Allocate(Width, Height, 8);
  std::mt19937 Random(3);
  for (uint32_t I = 0; I < Dib->Header.biSizeImage; ++I) {
    Dib->Pixels[I] = static_cast<uint8_t>(Random());
  }
  return Dib;
}

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
