// SPDX-License-Identifier: MIT
// Every form of the average kernel's family table against the kernel whose
// bytes it promises (the MMX one for the x86 forms, the plain one for the
// simd128 form), byte for byte: every row length up to 100 and some long
// ones, the masks of every layout and arbitrary ones, misaligned rows, and
// rows blended in place.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "LumoBlend.h"
#include "kernels/LumoBlendWide.h"

namespace {

struct TWide {
  const char* Name;
  TRowKernel Kernel;
  bool Runs;
};

// The forms that are not their own reference, and the chosen one.
std::vector<TWide> WideKernels() {
  std::vector<TWide> Wide;
  for (const auto& Form : AvgRowForms) {
    if (Form.Function != AvgRowReference(Form.Function)) {
      Wide.push_back({Form.Level, Form.Function, Form.Available()});
    }
  }
  const TRowKernel Chosen = LumoChosen<AvgRowForms>("average row").Function;
  Wide.push_back({"chosen", Chosen, true});
  return Wide;
}

const uint32_t Masks[] = {0x7F7F7F7Fu, 0x7BEF7BEFu, 0xBDEFBDEFu, 0xFF7F7F7Fu, 0xFFFFFFFFu, 0x12345678u, 0u};

std::vector<uint32_t> Lengths() {
  std::vector<uint32_t> L;
  for (uint32_t Count = 0; Count <= 100; ++Count) {
    L.push_back(Count);
  }
  for (uint32_t Count : {255u, 256u, 257u, 768u, 1509u, 2048u}) {
    L.push_back(Count);
  }
  return L;
}

// Where Dest is: a buffer of its own, the first source or the second.
enum class TPlace { Apart, OnFirst, OnSecond };

void ExpectSameAsReference(uint32_t Count, uint32_t Mask, uint32_t Misalign, TPlace Place, std::mt19937& Random) {
  const uint32_t Guard = 40;
  std::vector<uint8_t> A(Count + 2 * Guard), B(Count + 2 * Guard);
  for (auto& V : A) V = static_cast<uint8_t>(Random());
  for (auto& V : B) V = static_cast<uint8_t>(Random());
  const uint32_t At = Guard - Misalign;

  for (const TWide& Wide : WideKernels()) {
    if (!Wide.Runs) {
      continue;
    }
    std::vector<uint8_t> ExpectA = A, ExpectB = B, ExpectD(A.size(), 0x5A);
    uint8_t* ExpectDest = Place == TPlace::OnFirst    ? ExpectA.data() + At
                          : Place == TPlace::OnSecond ? ExpectB.data() + At
                                                      : ExpectD.data() + At;
    AvgRowReference(Wide.Kernel)(ExpectDest, ExpectA.data() + At, ExpectB.data() + At, Mask, Count);
    std::vector<uint8_t> GotA = A, GotB = B, GotD(A.size(), 0x5A);
    uint8_t* Dest = Place == TPlace::OnFirst    ? GotA.data() + At
                    : Place == TPlace::OnSecond ? GotB.data() + At
                                                : GotD.data() + At;
    Wide.Kernel(Dest, GotA.data() + At, GotB.data() + At, Mask, Count);
    // The guards around the row are compared too: nothing outside it changes.
    ASSERT_EQ(GotA, ExpectA) << Wide.Name << " count " << Count << " mask " << std::hex << Mask;
    ASSERT_EQ(GotB, ExpectB) << Wide.Name << " count " << Count << " mask " << std::hex << Mask;
    ASSERT_EQ(GotD, ExpectD) << Wide.Name << " count " << Count << " mask " << std::hex << Mask;
  }
}

TEST(AvgRowWide, SameBytesAsTheReferenceForEveryLengthAndMask) {
  std::mt19937 Random(21);
  for (uint32_t Count : Lengths()) {
    for (uint32_t Mask : Masks) {
      ExpectSameAsReference(Count, Mask, Count % 7, TPlace::Apart, Random);
    }
  }
}

TEST(AvgRowWide, InPlaceOnEitherSourceAndMisaligned) {
  std::mt19937 Random(22);
  for (uint32_t Count : {1u, 7u, 15u, 31u, 33u, 64u, 95u, 768u}) {
    for (uint32_t Misalign = 0; Misalign < 8; ++Misalign) {
      ExpectSameAsReference(Count, 0x7F7F7F7Fu, Misalign, TPlace::OnFirst, Random);
      ExpectSameAsReference(Count, 0xBDEFBDEFu, Misalign, TPlace::OnSecond, Random);
    }
  }
}

// Each form through the blend: the x86 forms give the MMX kernel's bytes,
// which differ from the plain kernel's in the last pixel of an odd-width
// 5-5-5 row; the simd128 and plain forms give the plain kernel's, its
// byte-wise tail included. AvgBlend gives the bytes of the form the chooser
// took.
TEST(AvgBlendWide, FeedbackBlendGivesTheReferenceKernelsBytes) {
  auto Make = [](uint32_t Seed) {
    auto Dib = std::make_unique<TLumoDIB>();
    Dib->UseSection = false;
    Dib->AllocateWith(nullptr, 37, 5, 16, 5, 5, 5);
    std::mt19937 Random(Seed);
    for (uint32_t I = 0; I < Dib->Header.biSizeImage; ++I) Dib->Pixels[I] = static_cast<uint8_t>(Random());
    return Dib;
  };
  for (const auto& Form : AvgRowForms) {
    if (!Form.Available()) {
      continue;
    }
    const TRowKernel Reference = AvgRowReference(Form.Function);
    auto Dest = Make(1), Other = Make(2), Expected = Make(1);
    ASSERT_TRUE(AvgBlendWith(Form.Function, *Dest, *Dest, *Other));
    ASSERT_TRUE(BlendRows(*Expected, *Expected, *Other, AvgBlendDepths, AvgBlendMask(*Expected), Reference, Reference));
    EXPECT_EQ(0, std::memcmp(Dest->Pixels, Expected->Pixels, Dest->Header.biSizeImage)) << Form.Level;
    if (&Form == &LumoChosen<AvgRowForms>("average row")) {
      auto Chosen = Make(1);
      ASSERT_TRUE(AvgBlend(*Chosen, *Chosen, *Other));
      EXPECT_EQ(0, std::memcmp(Chosen->Pixels, Expected->Pixels, Dest->Header.biSizeImage)) << "chosen";
    }
  }
}

// Whole surfaces: every form through the blend (in one pass where the rows
// allow it) against its reference kernel run row by row, for every depth and
// widths whose rows are and are not whole 8-byte blocks.
TEST(AvgBlendWide, WholeSurfacesMatchTheReferenceKernelRowByRow) {
  struct TLayout {
    int Bpp, Red, Green, Blue;
  };
  const TLayout Layouts[] = {{8, 0, 0, 0}, {16, 5, 6, 5}, {16, 5, 5, 5}, {24, 0, 0, 0}, {32, 8, 8, 8}};
  uint32_t Seed = 100;
  for (const TLayout& L : Layouts) {
    for (int Width : {1, 2, 3, 5, 8, 16, 24, 37, 64, 768}) {
      for (int Height : {1, 4, 7}) {
        auto Make = [&](uint32_t S) {
          auto Dib = std::make_unique<TLumoDIB>();
          Dib->UseSection = false;
          Dib->AllocateWith(nullptr, Width, Height, static_cast<uint8_t>(L.Bpp), static_cast<uint8_t>(L.Red),
                            static_cast<uint8_t>(L.Green), static_cast<uint8_t>(L.Blue));
          std::mt19937 Random(S);
          for (uint32_t I = 0; I < Dib->Header.biSizeImage; ++I) Dib->Pixels[I] = static_cast<uint8_t>(Random());
          return Dib;
        };
        ++Seed;
        for (const auto& Form : AvgRowForms) {
          if (!Form.Available()) {
            continue;
          }
          const TRowKernel Reference = AvgRowReference(Form.Function);
          auto Dest = Make(Seed), Other = Make(Seed + 1000), Expected = Make(Seed);
          ASSERT_TRUE(AvgBlendWith(Form.Function, *Dest, *Dest, *Other));
          ASSERT_TRUE(
              BlendRows(*Expected, *Expected, *Other, AvgBlendDepths, AvgBlendMask(*Expected), Reference, Reference));
          ASSERT_EQ(0, std::memcmp(Dest->Pixels, Expected->Pixels, Dest->Header.biSizeImage))
              << Form.Level << ", " << L.Bpp << " bpp, " << Width << " x " << Height;
        }
      }
    }
  }
}

}  // namespace
