// SPDX-License-Identifier: MIT
// Off-screen surfaces in device-independent bitmap layout, colour helpers,
// palette ramps, the BMP writer and processor feature detection.
//
// Pixel code reads the public fields directly: walk the rows through
// Rows/Rows8 with RowBytes, RowGap and BytesPerPixel, never through GDI.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string_view>

#include "LumoPlatform.h"

// One 24-bit colour in the byte order of 24-bit pixels and palette entries.
struct TColourBGR {
  uint8_t Blue;
  uint8_t Green;
  uint8_t Red;
};
static_assert(sizeof(TColourBGR) == 3, "TColourBGR must be 3 packed bytes");

class TLumoDIB {
 public:
  // Create: an Empty surface with no pixels; the palette is all zero.
  TLumoDIB();
  // Destroy: releases everything the surface owns.
  virtual ~TLumoDIB();
  TLumoDIB(const TLumoDIB&) = delete;
  TLumoDIB& operator=(const TLumoDIB&) = delete;

  HDC MemDC = nullptr;
  HFONT FontHandle = nullptr;
  HBITMAP SectionHandle = nullptr;
  int32_t RowBytes = 0;
  int32_t RowCount = 0;
  int32_t RowGap = 0;
  uint8_t* Pixels = nullptr;
  RGBQUAD* ColourTable = nullptr;  // always Palette
  // Header and Palette together are one BITMAPINFO block, handed to GDI and
  // written to files as such; they must stay adjacent.
  BITMAPINFOHEADER Header;
  RGBQUAD Palette[256];
  int32_t BytesPerPixel = 0;
  uint8_t BlueBits = 0;
  uint8_t GreenBits = 0;
  uint8_t RedBits = 0;
  uint8_t BlueLoss = 0;
  uint8_t GreenLoss = 0;
  uint8_t RedLoss = 0;
  uint8_t BlueShift = 0;
  uint8_t GreenShift = 0;
  uint8_t RedShift = 0;
  uint8_t** Rows = nullptr;   // RowCount row starts, in memory order
  uint8_t** Rows8 = nullptr;  // the same table as Rows
  bool UseSection = true;
  bool OwnsDC = false;
  bool OwnsPixels = false;
  bool OwnsSection = false;
  int32_t* ShareCount = nullptr;

  // The bit-field masks of a 16- or 32-bit surface. Allocation writes them
  // into Palette entries 0..2, where GDI and BMP files expect them, but keeps
  // its own copy: a palette ramp or any other palette write must not change
  // how the pixels are laid out. The copy goes back into the entries whenever
  // the header block is handed to GDI or written to a file.
  uint32_t RedMask() const { return Masks[0]; }
  uint32_t GreenMask() const { return Masks[1]; }
  uint32_t BlueMask() const { return Masks[2]; }

  // (Re)allocation. Bpp 0 takes the screen's depth. Returns false, leaving
  // the surface Empty, when the request is invalid (negative width, a depth
  // other than 1, 4, 8, 16, 24, 32, a size beyond 2 GB, a channel layout
  // wider than the depth or one whose red or green field would start at bit
  // 32) or GDI cannot create the section or its device context. A request
  // with no pixels (width or height 0) succeeds with no rows and is stored as
  // that many columns by 0 rows. An unchanged request on a section surface
  // keeps everything.
  bool Allocate(int32_t Width, int32_t Height, uint8_t Bpp);
  bool AllocateWith(void* Memory, int32_t Width, int32_t Height, uint8_t Bpp, uint8_t RedBits, uint8_t GreenBits,
                    uint8_t BlueBits);
  // Frees pixels, row table and GDI objects; Header and Palette stay.
  void ReleaseSurface();
  // Pushes the colour table into the section (8 bits per pixel or less).
  void SyncPalette();
  void ClearTo(uint32_t Value);

  // Copies the whole surface to DC with its top-left corner at (X, Y).
  void DrawTo(HDC DC, int32_t X, int32_t Y);
  // Face names longer than 31 characters are cut to 31.
  void SelectFont(std::string_view FaceName, int32_t Width, int32_t Height, int32_t Weight, uint8_t Italic,
                  uint8_t Underline, uint8_t StrikeOut);
  void TransparentText(bool On);
  void TextColour(COLORREF Colour);
  void PrintText(int32_t X, int32_t Y, std::string_view Text);

  void RampPalette(int32_t First, int32_t Last, std::span<const TColourBGR> Keys);
  void RampPalette(int32_t First, int32_t Last, std::initializer_list<TColourBGR> Keys);

  // Writes the surface as a BMP file. The file appears under FileName only
  // when it was written completely; an existing file is replaced then (and,
  // where files have permission bits, its bits carry over), and left alone
  // otherwise. On false, GetLastError tells why (the system's code of the
  // first step that failed, ERROR_INVALID_NAME for an empty name).
  bool WriteBitmapFile(std::string_view FileName) const;

 private:
  bool FailEmpty();
  // Puts the masks back into Palette entries 0..2 of a 16- or 32-bit surface.
  void RestoreMasks();
  uint32_t Masks[3] = {0, 0, 0};  // red, green, blue
};

int32_t RowSize(int32_t Width, int32_t Bpp, int32_t AlignBits);
void ComputeMasks(uint8_t RedBits, uint8_t GreenBits, uint8_t BlueBits, uint32_t& RedMask, uint32_t& GreenMask,
                  uint32_t& BlueMask);
// 5 or 6: the green width of the screen's 16-bit format.
uint8_t ProbeGreenBits();
void FillValue(void* Dest, int32_t ByteCount, uint32_t Value);
void FillRow24(void* Row, int32_t Count, TColourBGR Colour);

TColourBGR MakeColour(uint8_t Red, uint8_t Green, uint8_t Blue);
COLORREF ColourToRef(TColourBGR Colour);
// Ramps entries First..Last of Table through the key colours. Writes nothing
// unless 0 <= First < Last <= 255, there is at least one key and both
// pointers are set.
void FillRamp(RGBQUAD* Table, int32_t First, int32_t Last, const TColourBGR* Keys, int32_t KeyCount);

// Processor features; the values are the bits in TProcessorInfo::Features.
enum TProcessorFeature : uint8_t {
  pfCmpXchg8B = 1,
  pfCMov = 2,
  pfMMX = 4,
  pfMMXExt = 8,
  pfSSE = 16,
  pfSSE2 = 32,
  pf3DNow = 64,
  pf3DNowExt = 128,
};

// A length byte and up to 12 characters, no terminator.
struct TVendorString {
  uint8_t Length;
  char Text[12];
  std::string_view View() const { return std::string_view(Text, Length <= 12 ? Length : 12); }
};

struct TProcessorInfo {
  TVendorString Vendor;
  uint8_t Features;  // bit set of TProcessorFeature
  uint8_t ProcessorCount;
  uint8_t Family;
  uint8_t Model;
  bool Has(TProcessorFeature Feature) const { return (Features & Feature) != 0; }
};

// Filled once before main() runs.
extern TProcessorInfo ProcessorInfo;

bool HasCpuid();
// CPUID leaf 0: the vendor string; returns the highest standard leaf.
uint32_t ReadVendor(TVendorString& Vendor);
void QueryCpuid(uint32_t Leaf, uint32_t& Eax, uint32_t& Edx);
void DetectProcessor();

// Where detection gets its answers; tests put a fake processor here.
struct TCpuidSource {
  std::function<bool()> HasCpuid;
  // Fills Regs with EAX, EBX, ECX, EDX of the leaf.
  std::function<void(uint32_t Leaf, uint32_t Regs[4])> Cpuid;
  std::function<uint32_t()> ProcessorCount;
};
TCpuidSource RealCpuidSource();
TProcessorInfo DetectProcessor(const TCpuidSource& Source);
