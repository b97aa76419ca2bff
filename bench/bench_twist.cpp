// SPDX-License-Identifier: MIT
// The rotating zoom at the program's window size from its first picture,
// point and bilinear, over phases spread across the animation: the plain
// renderer, the run-based forms, and pixman's affine composite of the same
// picture (a8, normal repeat) with the same transform as an outside anchor.
// In the browser build (no libjpeg, no pixman) the picture is a synthetic
// one of the same size, which costs the renderer the same, and the anchors
// are left out.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#if LUMO_BENCH_ANCHORS
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <pixman.h>
#endif

#include "TwistRender.h"
#include "TwistRenderFast.h"
#include "bench_common.h"

#ifndef LUMO_FIRST_PICTURE
#define LUMO_FIRST_PICTURE "velro1.jpg"
#endif

namespace {

constexpr int32_t Width = 768;
constexpr int32_t Height = 536;
constexpr int PhaseCount = 16;

#if LUMO_BENCH_ANCHORS

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

void OnJpegError(j_common_ptr Info) { std::longjmp(reinterpret_cast<TJpegError*>(Info->err)->Jump, 1); }

bool DecodeGrey(const char* Path, std::vector<uint8_t>& Pixels, int& Width, int& Height) {
  std::FILE* File = std::fopen(Path, "rb");
  if (File == nullptr) {
    return false;
  }
  jpeg_decompress_struct Info;
  TJpegError Error;
  Info.err = jpeg_std_error(&Error.Manager);
  Error.Manager.error_exit = OnJpegError;
  if (setjmp(Error.Jump) != 0) {
    jpeg_destroy_decompress(&Info);
    std::fclose(File);
    return false;
  }
  jpeg_create_decompress(&Info);
  jpeg_stdio_src(&Info, File);
  jpeg_read_header(&Info, TRUE);
  Info.out_color_space = JCS_GRAYSCALE;
  jpeg_start_decompress(&Info);
  Width = static_cast<int>(Info.output_width);
  Height = static_cast<int>(Info.output_height);
  Pixels.resize(static_cast<size_t>(Width) * static_cast<size_t>(Height));
  while (Info.output_scanline < Info.output_height) {
    JSAMPROW Row = Pixels.data() + static_cast<size_t>(Info.output_scanline) * static_cast<size_t>(Width);
    jpeg_read_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_decompress(&Info);
  jpeg_destroy_decompress(&Info);
  std::fclose(File);
  return true;
}

#else

bool DecodeGrey(const char*, std::vector<uint8_t>&, int&, int&) { return false; }

#endif

// velro1.jpg decoded to an 8-bit grey surface (472 x 585), upright in the
// bottom-up surface as the program loads it; a synthetic picture of that size
// when the file cannot be read.
std::unique_ptr<TLumoDIB> FirstPicture() {
  std::vector<uint8_t> Grey;
  int Width = 472, Height = 585;
  const bool Decoded = DecodeGrey(LUMO_FIRST_PICTURE, Grey, Width, Height);
  auto Dib = std::make_unique<TLumoDIB>();
  Dib->UseSection = false;
  Dib->Allocate(Width, Height, 8);
  for (int Y = 0; Y < Height; ++Y) {
    for (int X = 0; X < Width; ++X) {
      // Upright in the bottom-up surface, as the program loads it.
      Dib->Rows8[Height - 1 - Y][X] =
          Decoded ? Grey[static_cast<size_t>(Y) * static_cast<size_t>(Width) + static_cast<size_t>(X)]
                  : static_cast<uint8_t>((X * 7) ^ (Y * 3));
    }
  }
  return Dib;
}

struct TScene {
  std::unique_ptr<TLumoDIB> Picture = FirstPicture();
  TLumoDIB Window;
  std::vector<int32_t> TableX = std::vector<int32_t>(WrapTableSize), TableY = std::vector<int32_t>(WrapTableSize);
  TCoefficients Phases[PhaseCount];
  // The picture's row-paired copy, built once as the program builds it.
  std::vector<uint8_t> Pairs;

  TScene() {
    BuildPairedPicture(*Picture, Pairs);
    Window.UseSection = false;
    Window.Allocate(Width, Height, 8);
    for (int32_t I = 0; I < WrapTableSize; ++I) {
      TableX[I] = I % (Picture->Header.biWidth - 1);
      TableY[I] = I % (Picture->RowCount - 1);
    }
    // Phases across the whole repeat: every angle and zoom the program shows.
    for (int I = 0; I < PhaseCount; ++I) {
      Phases[I] = Coefficients(static_cast<float>(I) * PhaseBound / PhaseCount + 0.46f);
    }
  }
};

TScene& Scene() {
  static TScene S;
  return S;
}

// Every form as the program calls it, with the paired copy built beforehand.
void RenderBench(benchmark::State& State, TRenderPixels Render, bool Filter) {
  TScene& S = Scene();
  const uint8_t* Pairs = S.Pairs.empty() ? nullptr : S.Pairs.data();
  int Next = 0;
  for (auto _ : State) {
    const TCoefficients& C = S.Phases[Next];
    Next = (Next + 1) % PhaseCount;
    Render(S.Window, *S.Picture, S.TableX.data(), S.TableY.data(), C.A, C.B, Filter, Pairs);
    benchmark::DoNotOptimize(S.Window.Pixels);
    benchmark::ClobberMemory();
  }
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}

// The plain reference, which takes no paired copy.
void Plain(TLumoDIB& W, const TLumoDIB& P, const int32_t* X, const int32_t* Y, int32_t A, int32_t B, bool F,
           const uint8_t*) {
  RenderPixels(W, P, X, Y, A, B, F);
}

void BM_TwistPlainPoint(benchmark::State& S) { RenderBench(S, Plain, false); }
void BM_TwistPlainBilinear(benchmark::State& S) { RenderBench(S, Plain, true); }
BENCHMARK(BM_TwistPlainPoint);
BENCHMARK(BM_TwistPlainBilinear);
[[maybe_unused]] const bool PointRegistered =
    lumo_bench::RegisterForms("BM_TwistPoint", RenderPixelsForms,
                              [](benchmark::State& S, TRenderPixels Render) { RenderBench(S, Render, false); });
[[maybe_unused]] const bool BilinearRegistered =
    lumo_bench::RegisterForms("BM_TwistBilinear", RenderPixelsForms,
                              [](benchmark::State& S, TRenderPixels Render) { RenderBench(S, Render, true); });
void BM_TwistFastPoint(benchmark::State& S) { RenderBench(S, RenderPixelsFast, false); }
void BM_TwistFastBilinear(benchmark::State& S) { RenderBench(S, RenderPixelsFast, true); }
BENCHMARK(BM_TwistFastPoint);
BENCHMARK(BM_TwistFastBilinear);

#if LUMO_BENCH_ANCHORS

// pixman maps each destination pixel centre through the matrix into the
// source; the matrix here is the renderer's per-pixel steps (B, A) and per-row
// steps (-A, B) about the same centre, so both show the same view.
void PixmanBench(benchmark::State& State, pixman_filter_t Filter) {
  TScene& S = Scene();
  const TLumoDIB& P = *S.Picture;
  pixman_image_t* Source = pixman_image_create_bits(PIXMAN_a8, P.Header.biWidth, P.RowCount,
                                                    reinterpret_cast<uint32_t*>(P.Pixels), P.RowBytes);
  pixman_image_t* Dest = pixman_image_create_bits(PIXMAN_a8, Width, Height,
                                                  reinterpret_cast<uint32_t*>(S.Window.Pixels), S.Window.RowBytes);
  if (Source == nullptr || Dest == nullptr) {
    State.SkipWithError("pixman could not wrap the surfaces");
    return;
  }
  pixman_image_set_repeat(Source, PIXMAN_REPEAT_NORMAL);
  pixman_image_set_filter(Source, Filter, nullptr, 0);
  const double CentreX = P.Header.biWidth / 2.0, CentreY = P.RowCount / 2.0;
  int Next = 0;
  for (auto _ : State) {
    const TCoefficients& C = S.Phases[Next];
    Next = (Next + 1) % PhaseCount;
    const double A = C.A / 65536.0, B = C.B / 65536.0;
    pixman_transform_t T;
    pixman_transform_init_identity(&T);
    T.matrix[0][0] = pixman_double_to_fixed(B);
    T.matrix[0][1] = pixman_double_to_fixed(-A);
    T.matrix[0][2] = pixman_double_to_fixed(CentreX - B * Width / 2 + A * Height / 2);
    T.matrix[1][0] = pixman_double_to_fixed(A);
    T.matrix[1][1] = pixman_double_to_fixed(B);
    T.matrix[1][2] = pixman_double_to_fixed(CentreY - A * Width / 2 - B * Height / 2);
    pixman_image_set_transform(Source, &T);
    pixman_image_composite32(PIXMAN_OP_SRC, Source, nullptr, Dest, 0, 0, 0, 0, 0, 0, Width, Height);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Source);
  pixman_image_unref(Dest);
  lumo_bench::CountUnits(State, int64_t{Width} * Height);
}

void BM_TwistPixmanNearest(benchmark::State& S) { PixmanBench(S, PIXMAN_FILTER_NEAREST); }
void BM_TwistPixmanBilinear(benchmark::State& S) { PixmanBench(S, PIXMAN_FILTER_BILINEAR); }
BENCHMARK(BM_TwistPixmanNearest);
BENCHMARK(BM_TwistPixmanBilinear);

#endif

}  // namespace
