// SPDX-License-Identifier: MIT
// What only the native GDI layer can show: other screen formats, live object
// counts, the calls a surface makes, forced failures and window copies.
#include <gtest/gtest.h>

#include <cstring>

#include "LumoDIB.h"
#include "seams/GdiSeams.h"

using namespace lumo::test;

namespace {

class Seams : public testing::Test {
 protected:
  void SetUp() override {
    SetScreenFormat(32, 8);
    ResetGdiCallCounts();
    Baseline = LiveGdiObjects();
  }
  void TearDown() override { SetScreenFormat(32, 8); }
  int Baseline = 0;
};

TEST_F(Seams, ScreenDepthAndSixteenBitFormat) {
  struct Case {
    int Depth, Green;
    uint8_t ProbedGreen;
    uint32_t RedMask, GreenMask;
  };
  for (const Case& C :
       {Case{32, 8, 6, 0x00FF0000, 0x0000FF00}, Case{16, 6, 6, 0xF800, 0x07E0}, Case{16, 5, 5, 0x7C00, 0x03E0}}) {
    SCOPED_TRACE(testing::Message() << C.Depth << "/" << C.Green);
    SetScreenFormat(C.Depth, C.Green);
    if (C.Depth == 16) {
      EXPECT_EQ(ProbeGreenBits(), C.ProbedGreen);
    }
    TLumoDIB D;
    ASSERT_TRUE(D.Allocate(10, 10, 0));
    EXPECT_EQ(D.Header.biBitCount, C.Depth);
    EXPECT_EQ(D.Header.biCompression, static_cast<DWORD>(BI_BITFIELDS));
    EXPECT_EQ(D.RedMask(), C.RedMask);
    EXPECT_EQ(D.GreenMask(), C.GreenMask);
    EXPECT_EQ(D.RedBits, C.Depth == 32 ? 8 : 5);
  }
  EXPECT_EQ(LiveGdiObjects(), Baseline) << "the probe cleans up after itself";
}

TEST_F(Seams, NothingLeaksAcrossReallocationFontsAndDestruction) {
  {
    TLumoDIB D;
    for (int i = 0; i < 5; ++i) {
      ASSERT_TRUE(D.Allocate(40 + i, -30, 8));
      D.SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
      D.SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
    }
    // Section, DC and exactly one font.
    EXPECT_EQ(LiveGdiObjects(), Baseline + 3);
    ASSERT_TRUE(D.Allocate(44, -30, 8));  // reuse: nothing new
    EXPECT_EQ(LiveGdiObjects(), Baseline + 3);
    ASSERT_TRUE(D.Allocate(8, 8, 0));
    EXPECT_EQ(LiveGdiObjects(), Baseline + 2);
    D.ReleaseSurface();
    EXPECT_EQ(LiveGdiObjects(), Baseline);
    ASSERT_TRUE(D.Allocate(8, 8, 24));
    D.SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
  }
  EXPECT_EQ(LiveGdiObjects(), Baseline);
}

TEST_F(Seams, FailedSectionLeavesTheSurfaceEmpty) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(16, 16, 8));
  D.SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
  FailNextCreateDIBSection();
  EXPECT_FALSE(D.Allocate(32, 32, 8));
  EXPECT_EQ(D.Pixels, nullptr);
  EXPECT_EQ(D.Rows, nullptr);
  EXPECT_EQ(D.Rows8, nullptr);
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_EQ(D.MemDC, nullptr);
  EXPECT_EQ(D.SectionHandle, nullptr);
  EXPECT_EQ(D.FontHandle, nullptr);
  EXPECT_EQ(D.Header.biSizeImage, 0u);
  EXPECT_EQ(D.Header.biHeight, 0);
  EXPECT_EQ(LiveGdiObjects(), Baseline);
  // Operations on the Empty surface do nothing.
  D.ClearTo(5);
  D.PrintText(0, 0, "1");
  D.DrawTo(nullptr, 0, 0);
  // And the next attempt succeeds.
  ASSERT_TRUE(D.Allocate(32, 32, 8));
  EXPECT_EQ(D.RowCount, 32);
}

TEST_F(Seams, FailedDeviceContextLeavesTheSurfaceEmpty) {
  TLumoDIB D;
  FailNextCreateCompatibleDC();
  EXPECT_FALSE(D.Allocate(32, 32, 8));
  EXPECT_EQ(D.Pixels, nullptr);
  EXPECT_EQ(D.Rows, nullptr);
  EXPECT_EQ(D.RowCount, 0);
  EXPECT_EQ(D.SectionHandle, nullptr) << "the section made before is deleted";
  EXPECT_EQ(LiveGdiObjects(), Baseline);
  ASSERT_TRUE(D.Allocate(32, 32, 8));
}

TEST_F(Seams, AFontThatCannotBeSelectedReplacesNothing) {
  TLumoDIB D;
  ASSERT_TRUE(D.Allocate(16, 16, 8));
  D.SelectFont("Tahoma", 7, 19, 800, 0, 0, 0);
  const HFONT Font = D.FontHandle;
  FailNextSelectObject();
  D.SelectFont("Tahoma", 5, 12, 800, 0, 0, 0);
  EXPECT_EQ(D.FontHandle, Font);
  EXPECT_EQ(LiveGdiObjects(), Baseline + 3) << "section, DC and the font still selected";
  D.ReleaseSurface();
  EXPECT_EQ(LiveGdiObjects(), Baseline);
}

TEST_F(Seams, PalettePushCountsByDepth) {
  for (const auto& [Depth, Count] : {std::pair{8, 256u}, std::pair{4, 16u}, std::pair{1, 2u}}) {
    TLumoDIB D;
    ResetGdiCallCounts();
    ASSERT_TRUE(D.Allocate(8, 8, static_cast<uint8_t>(Depth)));
    EXPECT_EQ(GetGdiCallCounts().setDIBColorTable, 1) << "pushed by allocation";
    EXPECT_EQ(GetGdiCallCounts().lastColorTableCount, Count);
    D.SyncPalette();
    EXPECT_EQ(GetGdiCallCounts().lastColorTableCount, Count);
  }
  TLumoDIB Deep;
  ResetGdiCallCounts();
  ASSERT_TRUE(Deep.Allocate(8, 8, 16));
  Deep.SyncPalette();
  EXPECT_EQ(GetGdiCallCounts().setDIBColorTable, 0) << "no colour table beyond 8 bits";

  // A ramp on an allocated section pushes it at once; without one it waits.
  TLumoDIB R;
  ResetGdiCallCounts();
  R.RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(255, 255, 255)});
  EXPECT_EQ(GetGdiCallCounts().setDIBColorTable, 0);
  ASSERT_TRUE(R.Allocate(4, 4, 8));
  R.RampPalette(0, 255, {MakeColour(0, 0, 0), MakeColour(255, 255, 255)});
  EXPECT_EQ(GetGdiCallCounts().setDIBColorTable, 2);
}

TEST_F(Seams, OneCopyCallPerDrawAndTextLengths) {
  HWND Window = CreateOffscreenWindow(8, 6);
  HDC DC = GetDC(Window);
  TLumoDIB Section;
  ASSERT_TRUE(Section.Allocate(4, 3, 8));
  TLumoDIB Plain;
  Plain.UseSection = false;
  ASSERT_TRUE(Plain.Allocate(4, 3, 8));
  ResetGdiCallCounts();
  Section.DrawTo(DC, 0, 0);
  EXPECT_EQ(GetGdiCallCounts().bitBlt, 1);
  EXPECT_EQ(GetGdiCallCounts().stretchDIBits, 0);
  Plain.DrawTo(DC, 0, 0);
  EXPECT_EQ(GetGdiCallCounts().bitBlt, 1);
  EXPECT_EQ(GetGdiCallCounts().stretchDIBits, 1);

  Section.PrintText(0, 0, "");
  EXPECT_EQ(GetGdiCallCounts().textOut, 1);
  EXPECT_EQ(GetGdiCallCounts().lastTextLength, 0);
  Section.PrintText(0, 0, "123");
  EXPECT_EQ(GetGdiCallCounts().lastTextLength, 3);
  Plain.PrintText(0, 0, "123");
  EXPECT_EQ(GetGdiCallCounts().textOut, 2) << "no device context, no text call";
  ReleaseDC(Window, DC);
  DestroyOffscreenWindow(Window);
}

TEST_F(Seams, WindowShowsTheSurfaceUpright) {
  HWND Window = CreateOffscreenWindow(6, 4);
  HDC DC = GetDC(Window);
  for (int Sign : {-1, 1}) {
    SCOPED_TRACE(Sign);
    TLumoDIB D;
    D.Palette[1] = RGBQUAD{0, 0, 255, 0};  // red
    ASSERT_TRUE(D.Allocate(6, 4 * Sign, 8));
    std::memset(D.Rows8[0], 1, 6);  // first memory row
    D.DrawTo(DC, 0, 0);
    const uint32_t* Pixels = OffscreenWindowPixels(Window);
    const int FirstRowLine = Sign < 0 ? 0 : 3;
    for (int y = 0; y < 4; ++y) {
      EXPECT_EQ(Pixels[y * 6 + 2] & 0xFFFFFF, y == FirstRowLine ? 0xFF0000u : 0u) << "line " << y;
    }
  }
  ReleaseDC(Window, DC);
  DestroyOffscreenWindow(Window);
}

}  // namespace
