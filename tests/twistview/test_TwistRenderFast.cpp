// SPDX-License-Identifier: MIT
// The fast renderers against RenderPixels, byte for byte: both pictures'
// sizes and tiny ones, odd windows, phases over the whole animation, the
// extreme coefficients, both filters, and rows whose positions leave the
// signed 32-bit range.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TwistRender.h"
#include "TwistRenderFast.h"

namespace {

std::unique_ptr<TLumoDIB> Surface(int Width, int Height) {
  auto Dib = std::make_unique<TLumoDIB>();
  Dib->UseSection = false;
  EXPECT_TRUE(Dib->Allocate(Width, Height, 8));
  return Dib;
}

std::unique_ptr<TLumoDIB> RandomPicture(int Width, int Height, uint32_t Seed) {
  auto Dib = Surface(Width, Height);
  std::mt19937 Random(Seed);
  for (uint32_t I = 0; I < Dib->Header.biSizeImage; ++I) {
    Dib->Pixels[I] = static_cast<uint8_t>(Random());
  }
  return Dib;
}

struct TTables {
  std::vector<int32_t> X, Y;
  explicit TTables(const TLumoDIB& Picture) : X(WrapTableSize), Y(WrapTableSize) {
    for (int32_t I = 0; I < WrapTableSize; ++I) {
      X[I] = I % (Picture.Header.biWidth - 1);
      Y[I] = I % (Picture.RowCount - 1);
    }
  }
};

struct TForm {
  std::string Name;
  TRenderPixels Render;
  bool Runs;
  // Whether the form gets the picture's paired copy. Without it (no memory
  // for it) the AVX2 form fetches two rows with a gather each and the
  // AVX-512 form hands over to that one.
  bool WithPairs;
};

// Every form of the family table, the wide ones once more without the paired
// copy, and the chosen one.
std::vector<TForm> FastForms() {
  std::vector<TForm> Forms;
  for (const auto& Form : RenderPixelsForms) {
    Forms.push_back({Form.Level, Form.Function, Form.Available(), true});
    if (&Form != &RenderPixelsForms[std::size(RenderPixelsForms) - 1]) {
      Forms.push_back({std::string(Form.Level) + " without pairs", Form.Function, Form.Available(), false});
    }
  }
  Forms.push_back({"chosen", RenderPixelsFast, true, true});
  return Forms;
}

// Every byte of the window, row padding included, must come out the same;
// the window starts filled with a marker so a stray write shows.
void ExpectSameFrame(int W, int H, const TLumoDIB& Picture, const TTables& Tables, int32_t A, int32_t B,
                     const std::string& What) {
  auto Expected = Surface(W, H);
  Expected->ClearTo(0xA5);
  for (bool Filter : {false, true}) {
    RenderPixels(*Expected, Picture, Tables.X.data(), Tables.Y.data(), A, B, Filter);
    for (const TForm& Form : FastForms()) {
      if (!Form.Runs) {
        continue;
      }
      auto Got = Surface(W, H);
      Got->ClearTo(0xA5);
      std::vector<uint8_t> Pairs;
      if (Form.WithPairs && Filter) {
        BuildPairedPicture(Picture, Pairs);
      }
      Form.Render(*Got, Picture, Tables.X.data(), Tables.Y.data(), A, B, Filter,
                  Pairs.empty() ? nullptr : Pairs.data());
      const uint32_t Size = Expected->Header.biSizeImage;
      for (uint32_t I = 0; I < Size; ++I) {
        if (Got->Pixels[I] != Expected->Pixels[I]) {
          const int32_t Row = static_cast<int32_t>(I / static_cast<uint32_t>(Expected->RowBytes));
          const int32_t Column = static_cast<int32_t>(I % static_cast<uint32_t>(Expected->RowBytes));
          FAIL() << Form.Name << (Filter ? " bilinear" : " point") << " differs at column " << Column << " row " << Row
                 << " (" << int{Got->Pixels[I]} << " instead of " << int{Expected->Pixels[I]} << "), " << What
                 << ", A=" << A << " B=" << B;
        }
      }
    }
  }
}

TEST(TwistRenderFast, ProgramWindowOverTheWholeAnimationBothPictureSizes) {
  const auto First = RandomPicture(472, 585, 1);
  const auto Second = RandomPicture(503, 525, 2);
  const TTables FirstTables(*First), SecondTables(*Second);
  // Phases from the start to the bound where the shell takes Phase back, and
  // a few large values the 32-bit phase could hold.
  std::vector<float> Phases;
  for (float Phase = 0.0f; Phase < PhaseBound; Phase += 173.3f) {
    Phases.push_back(Phase);
  }
  for (float Phase : {0.46f, 1000.0f, 2261.9f, 1.0e6f, 3.7e7f}) {
    Phases.push_back(Phase);
  }
  for (float Phase : Phases) {
    const TCoefficients C = Coefficients(Phase);
    ExpectSameFrame(768, 536, *First, FirstTables, C.A, C.B, "472x585 at phase " + std::to_string(Phase));
    ExpectSameFrame(768, 536, *Second, SecondTables, C.A, C.B, "503x525 at phase " + std::to_string(Phase));
  }
}

TEST(TwistRenderFast, ExtremeCoefficientsOddWindowsAndTinyPictures) {
  const int32_t Values[] = {65536, -65536, 0, 1, -1, 9248, -59925, 40000, -32769};
  const int Pictures[][2] = {{2, 2}, {3, 5}, {17, 4}, {5, 31}, {472, 585}, {503, 525}};
  const int Windows[][2] = {{1, 1}, {7, 3}, {33, 17}, {101, 67}, {0, 5}, {600, 2}};
  uint32_t Seed = 10;
  for (const auto& P : Pictures) {
    const auto Picture = RandomPicture(P[0], P[1], ++Seed);
    const TTables Tables(*Picture);
    for (const auto& Win : Windows) {
      for (int32_t A : Values) {
        for (int32_t B : Values) {
          ExpectSameFrame(Win[0], Win[1], *Picture, Tables, A, B,
                          "picture " + std::to_string(P[0]) + "x" + std::to_string(P[1]) + ", window " +
                              std::to_string(Win[0]) + "x" + std::to_string(Win[1]));
        }
      }
    }
  }
}

TEST(TwistRenderFast, PositionsThatWrapRoundThe32BitRange) {
  // 70000 columns of full steps run the position across 2^31 within a row;
  // the integer part then jumps from 32767 to -32768 as in the plain walk.
  const auto Picture = RandomPicture(29, 13, 5);
  const TTables Tables(*Picture);
  for (int32_t B : {65536, -65536, 61234}) {
    ExpectSameFrame(70000, 2, *Picture, Tables, 65536 - B / 3, B, "wide window");
  }
  // A tall window does the same to the row starts.
  ExpectSameFrame(3, 70000, *Picture, Tables, 65536, 100, "tall window");
}

TEST(TwistRenderFast, PictureRowsLongerThanTheFastOffsetsAllow) {
  const auto Picture = RandomPicture(20000, 3, 6);
  ExpectSameFrame(50, 4, *Picture, TTables(*Picture), 30000, -50000, "20000-column picture");
}

}  // namespace
