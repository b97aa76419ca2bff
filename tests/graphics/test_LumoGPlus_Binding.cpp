// SPDX-License-Identifier: MIT
// The binding's state table and the decoding choices, run against a fake
// codec module that the loader's test seams put in place of GdiPlus.dll.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "LumoGPlus.h"
#include "fake_gdiplus/FakeGdiPlus.h"
#include "lumo_native/EmbeddedResources.h"
#include "seams/GPlusSeams.h"
#include "seams/ModuleSeams.h"

namespace {

std::string ExecutableDirectory() {
  char path[4096];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string s(path, n);
  return s.substr(0, s.rfind('/'));
}

class GPlusFake : public ::testing::Test {
 protected:
  void SetUp() override {
    lumo::test::ResetGPlusBinding();
    // Held open by the test as well, so the control block outlives the
    // binding's FreeLibrary.
    handle_ = dlopen((ExecutableDirectory() + "/FakeGdiPlus.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    control_ = reinterpret_cast<FakeGdipControl* (*)()>(dlsym(handle_, "FakeGdipControlBlock"))();
    reinterpret_cast<void (*)()>(dlsym(handle_, "FakeGdipReset"))();
    lumo::test::ClearModuleNameMappings();
    lumo::test::MapModuleName("GdiPlus.dll", "FakeGdiPlus.dll");
    lumo::test::ResetModuleCallCounts();
  }
  void TearDown() override {
    lumo::test::ResetGPlusBinding();
    lumo::test::ClearModuleNameMappings();
    if (handle_) dlclose(handle_);
  }

  FakeGdipControl& Fake() { return *control_; }

  void* handle_ = nullptr;
  FakeGdipControl* control_ = nullptr;
};

// ---- Binding ----

TEST_F(GPlusFake, PresentLibraryStartsOnceAndStaysRunning) {
  EXPECT_TRUE(InitGdiPlus());
  EXPECT_EQ(lumo::test::LoadLibraryCallCount(), 1u);
  EXPECT_EQ(Fake().StartupCalls, 1u);
  EXPECT_EQ(GdipToken, 0x1234u);
  EXPECT_NE(GdipLoadImageFromStream, nullptr);
  // Entries the module lacks stay null without failing the binding.
  EXPECT_EQ(GdipCreateBitmapFromGdiDib, nullptr);

  EXPECT_TRUE(InitGdiPlus());
  EXPECT_EQ(lumo::test::LoadLibraryCallCount(), 1u);
  EXPECT_EQ(Fake().StartupCalls, 1u);
}

TEST_F(GPlusFake, MissingLibraryFailsForGood) {
  lumo::test::MapModuleName("GdiPlus.dll", nullptr);
  EXPECT_FALSE(InitGdiPlus());
  EXPECT_TRUE(GdipLoadFailed);
  EXPECT_FALSE(InitGdiPlus());
  unsigned char bytes[4] = {1, 2, 3, 4};
  TLumoDIB dib;
  ASSERT_TRUE(dib.Allocate(2, 2, 8));
  dib.ClearTo(9);
  EXPECT_FALSE(LoadDIBFromMemory(bytes, 4, &dib));
  EXPECT_FALSE(LoadDIBFromResource("velro1", "binary", &dib));
  EXPECT_EQ(dib.Header.biWidth, 2);
  EXPECT_EQ(dib.Rows[0][0], 9);
  EXPECT_EQ(lumo::test::LoadLibraryCallCount(), 1u);
}

TEST_F(GPlusFake, LibraryIsFoundWithoutRegardToCase) {
  lumo::test::ClearModuleNameMappings();
  lumo::test::MapModuleName("GdiPlus.dll", "fakegdiplus.DLL");
  EXPECT_TRUE(InitGdiPlus());
}

TEST_F(GPlusFake, FailedStartupIsRetriedWithoutReloading) {
  Fake().StartupStatus = 1;
  EXPECT_FALSE(InitGdiPlus());
  EXPECT_FALSE(GdipLoadFailed);
  EXPECT_EQ(GdipToken, 0u) << "a failed start-up must not look like running GDI+";
  EXPECT_EQ(GdipLoadImageFromStream, nullptr) << "entries 3 to 30 are bound only by a successful start-up";

  Fake().StartupStatus = 0;
  EXPECT_TRUE(InitGdiPlus());
  EXPECT_EQ(Fake().StartupCalls, 2u);
  EXPECT_EQ(lumo::test::LoadLibraryCallCount(), 1u);
  EXPECT_NE(GdipLoadImageFromStream, nullptr);
}

TEST_F(GPlusFake, ZeroTokenIsNotRunning) {
  Fake().StartupToken = 0;
  EXPECT_FALSE(InitGdiPlus());
  EXPECT_FALSE(InitGdiPlus());
  EXPECT_EQ(Fake().StartupCalls, 2u);
  Fake().StartupToken = 77;
  EXPECT_TRUE(InitGdiPlus());
  EXPECT_EQ(Fake().StartupCalls, 3u);
}

TEST_F(GPlusFake, LibraryWithoutStartupEntryFailsEachTime) {
  lumo::test::MapModuleName("GdiPlus.dll", "FakeGdiPlusEmpty.dll");
  EXPECT_FALSE(InitGdiPlus());
  EXPECT_FALSE(GdipLoadFailed);
  EXPECT_FALSE(InitGdiPlus());
  EXPECT_EQ(lumo::test::LoadLibraryCallCount(), 1u);
  EXPECT_EQ(Fake().StartupCalls, 0u);
}

TEST_F(GPlusFake, FinalisationWithoutLoadCallsNothing) {
  FinalizeLumoGPlus();
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 0u);
  EXPECT_EQ(Fake().ShutdownCalls, 0u);
}

TEST_F(GPlusFake, FinalisationShutsDownWithTheTokenThenFreesOnce) {
  ASSERT_TRUE(InitGdiPlus());
  FinalizeLumoGPlus();
  EXPECT_EQ(Fake().ShutdownCalls, 1u);
  EXPECT_EQ(Fake().ShutdownTokens[0], 0x1234u);
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 1u);
  EXPECT_EQ(GdipLib, nullptr);
  EXPECT_EQ(GdipToken, 0u);
  FinalizeLumoGPlus();
  EXPECT_EQ(Fake().ShutdownCalls, 1u);
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 1u);
}

TEST_F(GPlusFake, FinalisationAfterFailedStartupOnlyFrees) {
  Fake().StartupStatus = 3;
  EXPECT_FALSE(InitGdiPlus());
  FinalizeLumoGPlus();
  EXPECT_EQ(Fake().ShutdownCalls, 0u);
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 1u);
}

TEST_F(GPlusFake, FinalisationCopesWithAModuleWithoutShutdown) {
  void* other = dlopen((ExecutableDirectory() + "/FakeGdiPlusNoShutdown.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(other, nullptr) << dlerror();
  reinterpret_cast<void (*)()>(dlsym(other, "FakeGdipReset"))();
  lumo::test::MapModuleName("GdiPlus.dll", "FakeGdiPlusNoShutdown.dll");
  EXPECT_TRUE(InitGdiPlus());
  EXPECT_EQ(GdiplusShutdown, nullptr);
  FinalizeLumoGPlus();
  EXPECT_EQ(GdipToken, 0u);
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 1u);
  dlclose(other);
}

TEST_F(GPlusFake, CloseTwiceShutsDownOnce) {
  ASSERT_TRUE(InitGdiPlus());
  CloseGdiPlus();
  CloseGdiPlus();
  EXPECT_EQ(Fake().ShutdownCalls, 1u);
  EXPECT_EQ(lumo::test::FreeLibraryCallCount(), 0u);
}

// ---- Decoding choices ----

class GPlusDecode : public GPlusFake {
 protected:
  void SetUp() override {
    GPlusFake::SetUp();
    ASSERT_TRUE(InitGdiPlus());
    // Picture rows top first: row r, byte c = 10 * r + c.
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 8; ++c) rows_[r * 8 + c] = uint8_t(10 * r + c);
    Fake().Scan0 = rows_;
    Fake().Stride = 8;
  }
  bool Load(TLumoDIB* dib) { return LoadDIBFromMemory(bytes_, sizeof(bytes_), dib); }

  unsigned char bytes_[5] = {0xAB, 1, 2, 3, 4};
  unsigned char rows_[24];
};

TEST_F(GPlusDecode, IndexedPictureTakesTheLockPathUpright) {
  TLumoDIB dib;
  ASSERT_TRUE(Load(&dib));
  EXPECT_EQ(dib.Header.biWidth, 4);
  EXPECT_EQ(dib.Header.biHeight, 3);
  EXPECT_EQ(dib.Header.biBitCount, 8);
  EXPECT_EQ(Fake().LockedFormat, 0x00030803);
  EXPECT_EQ(Fake().UnlockCalls, 1u);
  EXPECT_EQ(Fake().DrawCalls, 0u);
  // The picture's top row is the surface's last row in memory.
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(dib.Rows[2 - r][c], 10 * r + c);
  EXPECT_EQ(*reinterpret_cast<uint32_t*>(&dib.ColourTable[1]), 0xFF010101u);
  // The stream held the whole block from its first byte; image and stream
  // are gone again.
  EXPECT_EQ(Fake().LoadedBytes, sizeof(bytes_));
  EXPECT_EQ(Fake().LoadedFirstByte, 0xAB);
  EXPECT_EQ(Fake().DisposeCalls, 1u);
  EXPECT_EQ(Fake().LiveImages, 0u);
}

TEST_F(GPlusDecode, NegativeStrideStillGivesAnUprightPicture) {
  // Stored bottom-up: Scan0 is the top row, at the end of the block.
  unsigned char stored[24];
  for (int r = 0; r < 3; ++r) std::memcpy(stored + (2 - r) * 8, rows_ + r * 8, 8);
  Fake().Scan0 = stored + 16;
  Fake().Stride = -8;
  TLumoDIB dib;
  ASSERT_TRUE(Load(&dib));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(dib.Rows[2 - r][c], 10 * r + c);
}

// A lock that fails or covers less than the picture leaves the surface as it
// was, and so does a picture too large for any surface.
TEST_F(GPlusDecode, LocksShortOfThePictureAndAbsurdSizesLeaveTheSurfaceAlone) {
  struct Case {
    int LockStatus;
    uint32_t LockHeight, Width;
  };
  for (const Case& c : {Case{7, 0, 4}, Case{0, 1, 4}, Case{0, 0, 0x80000000u}}) {
    SCOPED_TRACE(::testing::Message() << c.LockStatus << " " << c.LockHeight << " " << c.Width);
    Fake().LockStatus = c.LockStatus;
    Fake().LockHeight = c.LockHeight;
    Fake().Width = c.Width;
    Fake().UnlockCalls = 0;
    TLumoDIB dib;
    ASSERT_TRUE(dib.Allocate(2, 2, 24));
    dib.ClearTo(0x123456);
    EXPECT_FALSE(Load(&dib));
    EXPECT_EQ(dib.Header.biBitCount, 24);
    EXPECT_EQ(dib.Header.biWidth, 2);
    EXPECT_EQ(dib.Rows[1][0], 0x56);
    EXPECT_EQ(Fake().UnlockCalls, c.Width == 4 ? 1u : 0u);
  }
}

// Whichever entry a load would call is missing, the load fails before it
// starts, touching neither the module's pictures nor the surface.
TEST_F(GPlusDecode, MissingEntriesFailTheLoad) {
  int checked = 0;
  auto without = [&](auto& entry) {
    SCOPED_TRACE(checked++);
    // What the binding leaves for an entry the module does not offer.
    const auto saved = entry;
    entry = nullptr;
    TLumoDIB dib;
    ASSERT_TRUE(dib.Allocate(2, 2, 24));
    dib.ClearTo(0x123456);
    EXPECT_FALSE(Load(&dib));
    EXPECT_FALSE(Load(nullptr));
    entry = saved;
    EXPECT_EQ(dib.Header.biBitCount, 24);
    EXPECT_EQ(dib.Rows[1][0], 0x56);
    EXPECT_EQ(Fake().LoadCalls, 0u);
  };
  without(GdipLoadImageFromStream);
  without(GdipDisposeImage);
  without(GdipGetImageWidth);
  without(GdipGetImageHeight);
  without(GdipGetImagePixelFormat);
  without(GdipGetImageType);
  without(GdipGetImagePaletteSize);
  without(GdipGetImagePalette);
  without(GdipBitmapLockBits);
  without(GdipBitmapUnlockBits);
  without(GdipCreateFromHDC);
  without(GdipDrawImageI);
  without(GdipDeleteGraphics);
  TLumoDIB dib;
  EXPECT_TRUE(Load(&dib));
}

// 16-bit pictures land in surfaces that show them: 5-6-5 keeps its layout,
// 1-5-5-5 is locked as the 32-bit ARGB its surface holds, and 16-bit grey is
// drawn through a grey palette.
TEST_F(GPlusDecode, SixteenBitFormatsGetASurfaceThatShowsThem) {
  Fake().Format = 0x00021006;
  TLumoDIB dib;
  ASSERT_TRUE(Load(&dib));
  EXPECT_EQ(dib.GreenBits, 6);
  EXPECT_EQ(dib.RedMask(), 0xF800u);
  EXPECT_EQ(Fake().LockedFormat, 0x00021006);

  Fake().Format = 0x00061007;
  ASSERT_TRUE(Load(&dib));
  EXPECT_EQ(dib.Header.biBitCount, 32);
  EXPECT_EQ(Fake().LockedFormat, 0x0026200A);

  Fake().Format = 0x00101004;
  ASSERT_TRUE(Load(&dib));
  EXPECT_EQ(dib.Header.biBitCount, 8);
  EXPECT_EQ(Fake().DrawCalls, 1u);
  for (int i = 0; i < 256; i += 17) {
    EXPECT_EQ(dib.ColourTable[i].rgbRed, i);
    EXPECT_EQ(dib.ColourTable[i].rgbGreen, i);
    EXPECT_EQ(dib.ColourTable[i].rgbBlue, i);
  }
}

struct PathCase {
  int32_t Format;
  uint32_t Type;
  int Bpp;
  bool Lock;
};

TEST_F(GPlusDecode, FormatTableChoosesDepthAndPath) {
  const PathCase cases[] = {
      {0x00030101, 1, 1, true},   {0x00030402, 1, 4, true},   {0x00030803, 1, 8, true},   {0x00101004, 1, 8, false},
      {0x00021005, 1, 16, true},  {0x00021006, 1, 16, true},  {0x00061007, 1, 32, true},  {0x00021808, 1, 24, true},
      {0x00022009, 1, 32, true},  {0x0026200A, 1, 32, true},  {0x000E200B, 1, 32, true},  {0x0010300C, 1, 24, false},
      {0x0034400D, 1, 32, false}, {0x001C400E, 1, 32, false}, {0x0000200F, 1, 24, false}, {0x00000000, 1, 24, false},
      {0x000200FF, 1, 24, true},  {0x00030803, 2, 8, false},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << "format 0x" << c.Format << " type " << c.Type);
    Fake().Format = c.Format;
    Fake().Type = c.Type;
    Fake().LockCalls = Fake().CreateGraphicsCalls = Fake().DrawCalls = Fake().DeleteGraphicsCalls = 0;
    TLumoDIB dib;
    EXPECT_TRUE(Load(&dib));
    EXPECT_EQ(dib.Header.biBitCount, c.Bpp);
    EXPECT_EQ(Fake().LockCalls, c.Lock ? 1u : 0u);
    EXPECT_EQ(Fake().DrawCalls, c.Lock ? 0u : 1u);
    if (!c.Lock) {
      EXPECT_EQ(Fake().GraphicsDC, static_cast<void*>(dib.MemDC));
      EXPECT_EQ(Fake().DeleteGraphicsCalls, 1u);
    }
    TGpImageInfo info{};
    EXPECT_EQ(GetImageInfo(nullptr, info), uint32_t(c.Format));
    EXPECT_EQ(info.Bpp, c.Bpp);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.Height, 3u);
  }
}

TEST_F(GPlusDecode, DrawPathWithoutGraphicsReportsFalse) {
  Fake().Format = 0x0010300C;
  Fake().CreateGraphicsStatus = 2;
  TLumoDIB dib;
  EXPECT_FALSE(Load(&dib));
  EXPECT_EQ(Fake().DrawCalls, 0u);
  EXPECT_EQ(Fake().DeleteGraphicsCalls, 0u);
}

TEST_F(GPlusDecode, NullDibOnlyReportsWhetherThePictureOpens) {
  EXPECT_TRUE(Load(nullptr));
  EXPECT_EQ(Fake().LockCalls, 0u);
  EXPECT_EQ(Fake().DisposeCalls, 1u);
  TGpImageInfo info{};
  EXPECT_TRUE(ImageToDIB(nullptr, nullptr, &info));
  EXPECT_EQ(info.Bpp, 8);
}

TEST_F(GPlusDecode, UnopenablePictureLeavesTheSurfaceUntouched) {
  Fake().LoadStatus = 13;
  TLumoDIB dib;
  ASSERT_TRUE(dib.Allocate(2, 2, 24));
  dib.ClearTo(0x123456);
  uint8_t* pixels = dib.Pixels;
  EXPECT_FALSE(Load(&dib));
  EXPECT_EQ(dib.Pixels, pixels);
  EXPECT_EQ(dib.Header.biBitCount, 24);
  EXPECT_EQ(dib.Rows[1][0], 0x56);
  EXPECT_EQ(Fake().DisposeCalls, 0u);
}

TEST_F(GPlusDecode, EmptyOrMissingDataIsRefusedBeforeDecoding) {
  TLumoDIB dib;
  EXPECT_FALSE(LoadDIBFromMemory(nullptr, 5, &dib));
  EXPECT_FALSE(LoadDIBFromMemory(bytes_, 0, &dib));
  EXPECT_FALSE(LoadDIBFromMemory(bytes_, -1, &dib));
  EXPECT_EQ(Fake().LoadCalls, 0u);
  EXPECT_EQ(dib.Pixels, nullptr);
}

// ---- Palette transfer ----

class GPlusPalette : public GPlusDecode {
 protected:
  uint32_t Entry(const TLumoDIB& dib, int i) {
    uint32_t v;
    std::memcpy(&v, &dib.ColourTable[i], 4);
    return v;
  }
  void Preset(TLumoDIB& dib) {
    for (int i = 0; i < 256; ++i) std::memcpy(&dib.Palette[i], "\x11\x22\x33\x44", 4);
  }
};

TEST_F(GPlusPalette, OversizedCountWritesNoMoreThan256Entries) {
  Fake().PaletteCount = 1000;
  Fake().PaletteFill = 1000;
  Fake().PaletteSize = 8 + 4 * 1000;
  TLumoDIB dib;
  uint8_t bitsBefore = dib.BlueBits;
  ASSERT_TRUE(Load(&dib));
  EXPECT_EQ(Entry(dib, 255), 0xFFFFFFFFu);
  EXPECT_EQ(Entry(dib, 200), 0xFFC8C8C8u);
  // Fields behind the table are the surface's own, not palette entries.
  EXPECT_EQ(dib.BytesPerPixel, 1);
  EXPECT_EQ(dib.BlueBits, bitsBefore);
}

TEST_F(GPlusPalette, CountBeyondTheReportedSizeIsCut) {
  Fake().PaletteCount = 200;
  Fake().PaletteFill = 2;
  Fake().PaletteSize = 8 + 4 * 2;
  TLumoDIB dib;
  Preset(dib);
  ASSERT_TRUE(Load(&dib));
  EXPECT_EQ(Entry(dib, 1), 0xFF010101u);
  EXPECT_EQ(Entry(dib, 2), 0x44332211u);
}

TEST_F(GPlusPalette, TooSmallOrFailedQueriesCopyNothing) {
  struct Case {
    int SizeStatus, Size, PaletteStatus;
  } cases[] = {{0, 4, 0}, {0, 0, 0}, {0, -8, 0}, {1, 16, 0}, {0, 16, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.SizeStatus << " " << c.Size << " " << c.PaletteStatus);
    Fake().PaletteSizeStatus = c.SizeStatus;
    Fake().PaletteSize = c.Size;
    Fake().PaletteStatus = c.PaletteStatus;
    TLumoDIB dib;
    Preset(dib);
    EXPECT_TRUE(Load(&dib));
    EXPECT_EQ(Entry(dib, 0), 0x44332211u);
    EXPECT_EQ(Entry(dib, 1), 0x44332211u);
  }
}

// ---- Resources ----

TEST_F(GPlusDecode, ResourcesAreFoundWithoutRegardToCase) {
  static const unsigned char data[] = {0xCD, 9, 8, 7};
  static const lumo::platform::EmbeddedResource record = {"PICTURE", 0, "BINARY", 0, data, sizeof(data)};
  lumo::platform::RegisterEmbeddedResource(&record);
  TLumoDIB dib;
  EXPECT_TRUE(LoadDIBFromResource("picture", "binary", &dib));
  EXPECT_EQ(Fake().LoadedBytes, sizeof(data));
  EXPECT_EQ(Fake().LoadedFirstByte, 0xCD);
  EXPECT_FALSE(LoadDIBFromResource("nothing", "binary", &dib));
  EXPECT_FALSE(LoadDIBFromResource("picture", "other", &dib));
  EXPECT_EQ(Fake().LoadCalls, 1u);
  lumo::platform::UnregisterEmbeddedResource(&record);
}

TEST_F(GPlusDecode, EmptyResourceIsRefused) {
  static const lumo::platform::EmbeddedResource record = {"EMPTY", 0, "BINARY", 0, nullptr, 0};
  lumo::platform::RegisterEmbeddedResource(&record);
  TLumoDIB dib;
  EXPECT_FALSE(LoadDIBFromResource("empty", "binary", &dib));
  EXPECT_EQ(Fake().LoadCalls, 0u);
  lumo::platform::UnregisterEmbeddedResource(&record);
}

}  // namespace
