// SPDX-License-Identifier: MIT
// The surface unit: one class, TLumoDIB, with public fields that pixel code
// reads directly, and the free helpers around it.
//
// Sections, in order (each opens with a "// ----- name" line):
//   surface            construction, Allocate/AllocateWith, release, palette
//                      sync and clearing
//   GDI and text       DrawTo, fonts, text colour and output
//   colours            palette ramps (FillRamp), ColourToRef
//   free helpers       RowSize, the 16-bit green probe, fills
//   BMP files          WriteBitmapFile through a temporary sibling file
//   processor detect   CPUID and EFLAGS.ID, DetectProcessor, ProcessorInfo
#include "LumoDIB.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include "LumoFastPath.h"

#if LUMO_X86
#include <cpuid.h>
#endif

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(TLumoDIB, Palette) == offsetof(TLumoDIB, Header) + sizeof(BITMAPINFOHEADER),
              "Header and Palette must form one BITMAPINFO block");
#pragma GCC diagnostic pop
static_assert(sizeof(TLumoDIB::Palette) == 1024, "256 palette entries");
static_assert(sizeof(TVendorString) == 13, "length byte and 12 characters");

namespace {

bool ValidDepth(int Bpp) { return Bpp == 1 || Bpp == 4 || Bpp == 8 || Bpp == 16 || Bpp == 24 || Bpp == 32; }

// 2^Bits - 1 without overflowing at 32 bits.
uint32_t LowBits(unsigned Bits) { return Bits >= 32 ? 0xFFFFFFFFu : (uint32_t{1} << Bits) - 1u; }

uint8_t Loss(uint8_t Bits) { return Bits < 8 ? static_cast<uint8_t>(8 - Bits) : 0; }

}  // namespace

// ---------------------------------------------------------------- surface

TLumoDIB::TLumoDIB() {
  UseSection = true;
  std::memset(&Header, 0, sizeof(Header));
  std::memset(Palette, 0, sizeof(Palette));
  Header.biSize = sizeof(BITMAPINFOHEADER);
  Header.biPlanes = 1;
  ColourTable = Palette;
  ShareCount = new int32_t(1);
}

TLumoDIB::~TLumoDIB() {
  ReleaseSurface();
  if (*ShareCount <= 0) {
    delete ShareCount;
  }
}

void TLumoDIB::RestoreMasks() {
  if (Header.biBitCount == 16 || Header.biBitCount == 32) {
    std::memcpy(Palette, Masks, sizeof(Masks));
  }
}

bool TLumoDIB::FailEmpty() {
  ReleaseSurface();
  Header.biWidth = 0;
  Header.biHeight = 0;
  Header.biSizeImage = 0;
  RowBytes = 0;
  RowGap = 0;
  RowCount = 0;
  return false;
}

bool TLumoDIB::Allocate(int32_t Width, int32_t Height, uint8_t Bpp) {
  return AllocateWith(nullptr, Width, Height, Bpp, 0, 0, 0);
}

bool TLumoDIB::AllocateWith(void* Memory, int32_t Width, int32_t Height, uint8_t Bpp, uint8_t Red, uint8_t Green,
                            uint8_t Blue) {
  int Depth = Bpp;
  if (Depth == 0) {
    HDC Screen = GetDC(nullptr);
    Depth = GetDeviceCaps(Screen, BITSPIXEL);
    ReleaseDC(nullptr, Screen);
    if (Depth == 16) {
      Red = 5;
      Green = ProbeGreenBits();
      Blue = 5;
    } else if (Depth == 32) {
      Red = Green = Blue = 8;
    }
  }

  // Refuse what no DIB can describe rather than build a broken row table.
  const bool Fields = Red != 0 || Green != 0 || Blue != 0;
  // A green or red field starting at bit 32 would need shifts by 32, which
  // 32-bit pixel code cannot make.
  if (!ValidDepth(Depth) || Width < 0 || (Fields && Depth != 16 && Depth != 32) || Red + Green + Blue > Depth ||
      Blue + Green >= 32) {
    return FailEmpty();
  }
  const int64_t Rows64 = Height < 0 ? -int64_t{Height} : int64_t{Height};
  const int64_t RowBytes64 = ((int64_t{Width} * Depth + 31) & ~int64_t{31}) / 8;
  if (RowBytes64 > std::numeric_limits<int32_t>::max() || RowBytes64 * Rows64 > std::numeric_limits<int32_t>::max()) {
    return FailEmpty();
  }

  if (Fields) {
    Header.biCompression = BI_BITFIELDS;
  } else {
    Header.biCompression = BI_RGB;
    if (Depth == 16) {
      Red = Green = Blue = 5;
    } else if (Depth == 32) {
      Red = Green = Blue = 8;
    }
  }
  if (Depth == 16 || Depth == 32) {
    ComputeMasks(Red, Green, Blue, Masks[0], Masks[1], Masks[2]);
    std::memcpy(Palette, Masks, sizeof(Masks));
  }

  if (Memory == nullptr && Width == Header.biWidth && Height == Header.biHeight && Depth == Header.biBitCount &&
      Red == RedBits && Green == GreenBits && Blue == BlueBits && UseSection && MemDC != nullptr) {
    return true;
  }

  ReleaseSurface();
  if (*ShareCount > 0) {
    ShareCount = new int32_t(1);
  } else {
    *ShareCount = 1;
  }

  // A surface without columns has no rows either, so that loops bounded by
  // the header and loops bounded by RowCount agree.
  const bool NoPixels = Width == 0 || Height == 0;
  Header.biWidth = Width;
  Header.biHeight = NoPixels ? 0 : Height;
  Header.biBitCount = static_cast<WORD>(Depth);
  RowCount = NoPixels ? 0 : static_cast<int32_t>(Rows64);
  RedBits = Red;
  GreenBits = Green;
  BlueBits = Blue;
  BlueShift = 0;
  GreenShift = Blue;
  RedShift = static_cast<uint8_t>(Blue + Green);
  BytesPerPixel = Depth / 8;
  BlueLoss = Loss(Blue);
  GreenLoss = Loss(Green);
  RedLoss = Loss(Red);
  RowBytes = RowSize(Width, Depth, 32);
  const int64_t Used = Depth < 8 ? (int64_t{Depth} * Width + 7) / 8 : (int64_t{Depth} * Width) / 8;
  RowGap = static_cast<int32_t>(RowBytes - Used);
  Header.biSizeImage = static_cast<DWORD>(RowCount) * static_cast<DWORD>(RowBytes);

  if (NoPixels) {
    return true;
  }

  if (Memory != nullptr) {
    Pixels = static_cast<uint8_t*>(Memory);
  } else if (UseSection) {
    void* Bits = nullptr;
    HBITMAP Section =
        CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&Header), DIB_RGB_COLORS, &Bits, nullptr, 0);
    if (Section == nullptr || Bits == nullptr) {
      if (Section != nullptr) {
        DeleteObject(Section);
      }
      return FailEmpty();
    }
    HDC DC = CreateCompatibleDC(nullptr);
    if (DC == nullptr) {
      DeleteObject(Section);
      return FailEmpty();
    }
    SectionHandle = Section;
    MemDC = DC;
    Pixels = static_cast<uint8_t*>(Bits);
    OwnsDC = true;
    OwnsSection = true;
    SelectObject(MemDC, SectionHandle);
    if (Depth <= 8) {
      SyncPalette();
    }
  } else {
    Pixels = static_cast<uint8_t*>(std::malloc(Header.biSizeImage));
    if (Pixels == nullptr) {
      return FailEmpty();
    }
    OwnsPixels = true;
  }

  Rows = new (std::nothrow) uint8_t*[static_cast<size_t>(RowCount)];
  if (Rows == nullptr) {
    return FailEmpty();
  }
  Rows8 = Rows;
  for (int32_t i = 0; i < RowCount; ++i) {
    Rows[i] = Pixels + static_cast<ptrdiff_t>(i) * RowBytes;
  }
  return true;
}

void TLumoDIB::ReleaseSurface() {
  --*ShareCount;
  if (*ShareCount <= 0) {
    if (MemDC != nullptr && OwnsDC) {
      DeleteDC(MemDC);
    }
    if (SectionHandle != nullptr && OwnsSection) {
      DeleteObject(SectionHandle);
    }
    if (FontHandle != nullptr) {
      DeleteObject(FontHandle);
      FontHandle = nullptr;
    }
    delete[] Rows;
    if (Pixels != nullptr && OwnsPixels) {
      std::free(Pixels);
    }
  }
  // The row table goes too, so a second release cannot free it again and no
  // loop over RowCount can reach freed rows.
  Rows = nullptr;
  Rows8 = nullptr;
  RowCount = 0;
  SectionHandle = nullptr;
  MemDC = nullptr;
  Pixels = nullptr;
  OwnsSection = false;
  OwnsDC = false;
  OwnsPixels = false;
}

void TLumoDIB::SyncPalette() {
  // Deeper surfaces have no colour table; 1 << 16 entries would run far past
  // Palette.
  if (MemDC == nullptr || Header.biBitCount == 0 || Header.biBitCount > 8) {
    return;
  }
  SetDIBColorTable(MemDC, 0, 1u << Header.biBitCount, ColourTable);
}

void TLumoDIB::ClearTo(uint32_t Value) {
  if (Pixels == nullptr) {
    return;
  }
  const int Bpp = Header.biBitCount;
  if (Bpp == 1 && Value == 1) {
    Value = 15;
  }
  if (Bpp <= 4) {
    Value |= Value << 4;
  }
  if (Bpp <= 8) {
    Value |= Value << 8;
    Value |= Value << 16;
  } else if (Bpp == 16) {
    Value |= Value << 16;
  }
  if (Bpp == 24) {
    const TColourBGR Colour{static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                            static_cast<uint8_t>(Value >> 16)};
    for (int32_t i = 0; i < RowCount; ++i) {
      FillRow24(Rows[i], Header.biWidth, Colour);
    }
  } else if (Header.biSizeImage != 0) {
    FillValue(Pixels, static_cast<int32_t>(Header.biSizeImage), Value);
  } else {
    for (int32_t i = 0; i < RowCount; ++i) {
      FillValue(Rows[i], RowBytes - RowGap, Value);
    }
  }
}

// ------------------------------------------------------------ GDI and text

void TLumoDIB::DrawTo(HDC DC, int32_t X, int32_t Y) {
  if (Pixels == nullptr) {
    return;
  }
  if (MemDC != nullptr) {
    BitBlt(DC, X, Y, Header.biWidth, RowCount, MemDC, 0, 0, SRCCOPY);
  } else {
    RestoreMasks();
    StretchDIBits(DC, X, Y, Header.biWidth, RowCount, 0, 0, Header.biWidth, RowCount, Pixels,
                  reinterpret_cast<const BITMAPINFO*>(&Header), DIB_RGB_COLORS, SRCCOPY);
  }
}

void TLumoDIB::SelectFont(std::string_view FaceName, int32_t Width, int32_t Height, int32_t Weight, uint8_t Italic,
                          uint8_t Underline, uint8_t StrikeOut) {
  // Without a DC the font could never be selected, and so never be replaced
  // and deleted by the next call.
  if (MemDC == nullptr) {
    return;
  }
  LOGFONTA Font;
  std::memset(&Font, 0, sizeof(Font));
  Font.lfHeight = Height;
  Font.lfWidth = Width;
  Font.lfWeight = Weight;
  Font.lfItalic = Italic;
  Font.lfUnderline = Underline;
  Font.lfStrikeOut = StrikeOut;
  Font.lfCharSet = DEFAULT_CHARSET;
  const size_t Length = FaceName.size() < LF_FACESIZE - 1 ? FaceName.size() : LF_FACESIZE - 1;
  std::memcpy(Font.lfFaceName, FaceName.data(), Length);
  HFONT NewFont = CreateFontIndirectA(&Font);
  if (NewFont == nullptr) {
    return;
  }
  // Only a font that is really selected replaces the old one; otherwise the
  // old one stays in the DC and stays ours to delete.
  HGDIOBJ Previous = SelectObject(MemDC, NewFont);
  if (Previous == nullptr) {
    DeleteObject(NewFont);
    return;
  }
  FontHandle = NewFont;
  DeleteObject(Previous);
}

void TLumoDIB::TransparentText(bool On) {
  if (MemDC != nullptr) {
    SetBkMode(MemDC, On ? TRANSPARENT : OPAQUE);
  }
}

void TLumoDIB::TextColour(COLORREF Colour) {
  if (MemDC != nullptr) {
    SetTextColor(MemDC, Colour);
  }
}

void TLumoDIB::PrintText(int32_t X, int32_t Y, std::string_view Text) {
  if (MemDC != nullptr) {
    TextOutA(MemDC, X, Y, Text.data(), static_cast<int>(Text.size()));
  }
}

// ----------------------------------------------------------------- colours

void TLumoDIB::RampPalette(int32_t First, int32_t Last, std::span<const TColourBGR> Keys) {
  FillRamp(ColourTable, First, Last, Keys.data(), static_cast<int32_t>(Keys.size()));
  if (MemDC != nullptr) {
    SyncPalette();
  }
}

void TLumoDIB::RampPalette(int32_t First, int32_t Last, std::initializer_list<TColourBGR> Keys) {
  RampPalette(First, Last, std::span<const TColourBGR>(Keys.begin(), Keys.size()));
}

TColourBGR MakeColour(uint8_t Red, uint8_t Green, uint8_t Blue) { return TColourBGR{Blue, Green, Red}; }

COLORREF ColourToRef(TColourBGR Colour) {
  return static_cast<COLORREF>(Colour.Blue) * 65536u + static_cast<COLORREF>(Colour.Green) * 256u + Colour.Red;
}

void FillRamp(RGBQUAD* Table, int32_t First, int32_t Last, const TColourBGR* Keys, int32_t KeyCount) {
  // Past 32768 keys the 16.16 position would overflow.
  if (Table == nullptr || Keys == nullptr || KeyCount < 1 || KeyCount > 32768 || First < 0 || Last > 255 ||
      First >= Last) {
    return;
  }
  const int32_t L = KeyCount - 1;
  const int32_t Step = (L * 65536) / (Last - First);
  uint32_t Pos = 0;
  TColourBGR B = Keys[0];
  for (int32_t e = First; e < Last; ++e) {
    const int32_t k = static_cast<int32_t>(Pos >> 16);
    const TColourBGR A = Keys[k];
    B = k < L ? Keys[k + 1] : Keys[k];
    const int32_t wB = static_cast<int32_t>(Pos & 0xFFFF);
    const int32_t wA = 65536 - wB;
    RGBQUAD& Entry = Table[e];
    if (wA < Step - wA) {
      Entry.rgbBlue = B.Blue;
      Entry.rgbGreen = B.Green;
      Entry.rgbRed = B.Red;
    } else if (wB < Step - wB) {
      Entry.rgbBlue = A.Blue;
      Entry.rgbGreen = A.Green;
      Entry.rgbRed = A.Red;
    } else {
      Entry.rgbBlue = static_cast<BYTE>((uint32_t{A.Blue} * wA + uint32_t{B.Blue} * wB) >> 16);
      Entry.rgbGreen = static_cast<BYTE>((uint32_t{A.Green} * wA + uint32_t{B.Green} * wB) >> 16);
      Entry.rgbRed = static_cast<BYTE>((uint32_t{A.Red} * wA + uint32_t{B.Red} * wB) >> 16);
    }
    Pos += static_cast<uint32_t>(Step);
  }
  Table[Last].rgbBlue = B.Blue;
  Table[Last].rgbGreen = B.Green;
  Table[Last].rgbRed = B.Red;
}

// ------------------------------------------------------------ free helpers

int32_t RowSize(int32_t Width, int32_t Bpp, int32_t AlignBits) {
  // Wide enough that no width a surface accepts can overflow on the way.
  const int64_t Bits = int64_t{Width} * Bpp + AlignBits - 1;
  return static_cast<int32_t>((Bits & ~int64_t{AlignBits - 1}) / 8);
}

void ComputeMasks(uint8_t RedBits, uint8_t GreenBits, uint8_t BlueBits, uint32_t& RedMask, uint32_t& GreenMask,
                  uint32_t& BlueMask) {
  BlueMask = LowBits(BlueBits);
  GreenMask = LowBits(unsigned{GreenBits} + BlueBits) & ~BlueMask;
  RedMask = LowBits(unsigned{RedBits} + GreenBits + BlueBits) & ~(BlueMask | GreenMask);
}

uint8_t ProbeGreenBits() {
  HDC Screen = GetDC(nullptr);
  HDC Probe = CreateCompatibleDC(Screen);
  HBITMAP Pixel = CreateCompatibleBitmap(Screen, 1, 1);
  SelectObject(Probe, Pixel);
  SetPixel(Probe, 0, 0, 25600);  // green 100: a 5-5-5 format rounds it down
  const COLORREF Back = GetPixel(Probe, 0, 0);
  DeleteDC(Probe);
  DeleteObject(Pixel);
  ReleaseDC(nullptr, Screen);
  return ((Back >> 8) & 0xFF) < 100 ? 5 : 6;
}

void FillValue(void* Dest, int32_t ByteCount, uint32_t Value) {
  if (ByteCount <= 0) {
    return;
  }
  uint8_t* P = static_cast<uint8_t*>(Dest);
  for (int32_t n = ByteCount / 4; n > 0; --n, P += 4) {
    std::memcpy(P, &Value, 4);
  }
  if (ByteCount & 2) {
    const uint16_t Half = static_cast<uint16_t>(Value);
    std::memcpy(P, &Half, 2);
    P += 2;
  }
  if (ByteCount & 1) {
    *P = static_cast<uint8_t>(Value);
  }
}

void FillRow24(void* Row, int32_t Count, TColourBGR Colour) {
  uint8_t* P = static_cast<uint8_t*>(Row);
  if (Count >= 4) {
    for (int i = 0; i < 4; ++i, P += 3) {
      P[0] = Colour.Blue;
      P[1] = Colour.Green;
      P[2] = Colour.Red;
    }
    Count -= 4;
    // Four pixels are three whole words: copy the first twelve bytes along.
    uint32_t Pattern[3];
    std::memcpy(Pattern, Row, sizeof(Pattern));
    while (Count >= 4) {
      std::memcpy(P, Pattern, sizeof(Pattern));
      P += 12;
      Count -= 4;
    }
  }
  for (; Count > 0; --Count, P += 3) {
    P[0] = Colour.Blue;
    P[1] = Colour.Green;
    P[2] = Colour.Red;
  }
}

// --------------------------------------------------------------- BMP files

namespace {

// Creates a new, empty file with a short name of its own in the folder of
// Target. The name is never one that already exists, so no other file is
// overwritten, and it stays short whatever the length of Target's name.
HANDLE CreateSiblingFile(const std::string& Target, std::string& Name) {
#if defined(_WIN32)
  const size_t Cut = Target.find_last_of(":/\\");
#else
  const size_t Cut = Target.find_last_of('/');
#endif
  const std::string Folder = Cut == std::string::npos ? std::string() : Target.substr(0, Cut + 1);
  static uint32_t Counter = 0;
  uint32_t Seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    char Leaf[24];
    std::snprintf(Leaf, sizeof(Leaf), "~bmp%08x.tmp", static_cast<unsigned>(Seed + 40503u * ++Counter));
    Name = Folder + Leaf;
    HANDLE Handle = CreateFileA(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (Handle != INVALID_HANDLE_VALUE && Handle != nullptr) {
      return Handle;
    }
    const DWORD Error = GetLastError();
    if (Error != ERROR_FILE_EXISTS && Error != ERROR_ALREADY_EXISTS) {
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace

bool TLumoDIB::WriteBitmapFile(std::string_view FileName) const {
  if (FileName.empty() || FileName.find('\0') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  uint32_t T;
  if (Header.biClrUsed != 0) {
    // The colour data comes from the 256-entry Palette.
    if (Header.biClrUsed > 256) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    T = Header.biClrUsed * 4;
  } else if (Header.biCompression == BI_BITFIELDS) {
    T = 12;
  } else if (Header.biBitCount <= 8) {
    T = 4u << Header.biBitCount;
  } else {
    T = 0;
  }
  if (Header.biSizeImage != 0 && Pixels == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }

  BITMAPFILEHEADER File;
  File.bfType = 0x4D42;
  File.bfSize = Header.biSizeImage + 54 + T;
  File.bfReserved1 = 0;
  File.bfReserved2 = 0;
  File.bfOffBits = 54 + T;

  // The colour data as GDI would be handed it: the masks of a 16- or 32-bit
  // surface come from the surface's own copy, whatever the palette says.
  RGBQUAD Colours[256];
  std::memcpy(Colours, Palette, sizeof(Colours));
  if (Header.biBitCount == 16 || Header.biBitCount == 32) {
    std::memcpy(Colours, Masks, sizeof(Masks));
  }

  // Write beside the target and move it into place only when complete, so
  // a failed save never leaves a broken file or destroys the previous one.
  const std::string Target(FileName);
  std::string Temporary;
  HANDLE Handle = CreateSiblingFile(Target, Temporary);
  if (Handle == nullptr) {
    return false;
  }
  // The first failure's reason is the one the caller gets; the clean-up
  // after it must not replace it.
  DWORD Error = ERROR_SUCCESS;
  auto Check = [&Error](bool Done) {
    if (!Done && Error == ERROR_SUCCESS) {
      Error = GetLastError() != ERROR_SUCCESS ? GetLastError() : DWORD(ERROR_DISK_FULL);
    }
    return Done;
  };
  auto Put = [Handle, &Check](const void* Data, DWORD Size) {
    DWORD Written = 0;
    SetLastError(ERROR_SUCCESS);
    // A short write that reports success is a full disk all the same.
    return Check(WriteFile(Handle, Data, Size, &Written, nullptr) != 0 && Written == Size);
  };
  bool Ok = Put(&File, sizeof(File));
  Ok = Ok && Put(&Header, sizeof(BITMAPINFOHEADER));
  Ok = Ok && (T == 0 || Put(Colours, T));
  Ok = Ok && (Header.biSizeImage == 0 || Put(Pixels, Header.biSizeImage));
  Ok = Check(CloseHandle(Handle) != 0) && Ok;
#if !defined(_WIN32)
  // A replaced file keeps its permission bits; a new one gets the usual ones.
  struct stat Old;
  if (Ok && stat(Target.c_str(), &Old) == 0 && chmod(Temporary.c_str(), Old.st_mode & 07777) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    Ok = Check(false);
  }
#endif
  Ok = Ok && Check(MoveFileExA(Temporary.c_str(), Target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0);
  if (!Ok) {
    DeleteFileA(Temporary.c_str());
    SetLastError(Error);
  }
  return Ok;
}

// -------------------------------------------------------- processor detect

TProcessorInfo ProcessorInfo{};

bool HasCpuid() {
#if defined(__x86_64__)
  uint64_t Before, After;
  // Step over the red zone: the compiler may keep locals below the stack
  // pointer, and pushf would overwrite them.
  asm volatile(
      "subq $128, %%rsp\n\t"
      "pushfq\n\t"
      "popq %0\n\t"
      "movq %0, %1\n\t"
      "xorq $0x200000, %1\n\t"
      "pushq %1\n\t"
      "popfq\n\t"
      "pushfq\n\t"
      "popq %1\n\t"
      "pushq %0\n\t"
      "popfq\n\t"
      "addq $128, %%rsp"
      : "=&r"(Before), "=&r"(After)
      :
      : "cc");
  return ((Before ^ After) & 0x200000) != 0;
#elif defined(__i386__)
  uint32_t Before, After;
  asm volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl $0x200000, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl"
      : "=&r"(Before), "=&r"(After)
      :
      : "cc");
  return ((Before ^ After) & 0x200000) != 0;
#else
  return false;
#endif
}

namespace {

void RealCpuid(uint32_t Leaf, uint32_t Regs[4]) {
#if LUMO_X86
  unsigned A, B, C, D;
  __cpuid(Leaf, A, B, C, D);
  Regs[0] = A;
  Regs[1] = B;
  Regs[2] = C;
  Regs[3] = D;
#else
  (void)Leaf;
  Regs[0] = Regs[1] = Regs[2] = Regs[3] = 0;
#endif
}

uint32_t SystemProcessorCount() {
  SYSTEM_INFO Info;
  std::memset(&Info, 0, sizeof(Info));
  GetSystemInfo(&Info);
  return Info.dwNumberOfProcessors;
}

uint32_t VendorFrom(const TCpuidSource& Source, TVendorString& Vendor) {
  uint32_t Regs[4] = {0, 0, 0, 0};
  Source.Cpuid(0, Regs);
  Vendor.Length = 12;
  // The string runs through EBX, EDX, ECX, each low byte first.
  const uint32_t Order[3] = {Regs[1], Regs[3], Regs[2]};
  for (int r = 0; r < 3; ++r) {
    for (int b = 0; b < 4; ++b) {
      Vendor.Text[r * 4 + b] = static_cast<char>((Order[r] >> (8 * b)) & 0xFF);
    }
  }
  return Regs[0];
}

}  // namespace

TCpuidSource RealCpuidSource() { return TCpuidSource{HasCpuid, RealCpuid, SystemProcessorCount}; }

uint32_t ReadVendor(TVendorString& Vendor) { return VendorFrom(RealCpuidSource(), Vendor); }

void QueryCpuid(uint32_t Leaf, uint32_t& Eax, uint32_t& Edx) {
  uint32_t Regs[4];
  RealCpuid(Leaf, Regs);
  Eax = Regs[0];
  Edx = Regs[3];
}

TProcessorInfo DetectProcessor(const TCpuidSource& Source) {
  TProcessorInfo Info{};
  if (Source.HasCpuid() && VendorFrom(Source, Info.Vendor) != 0) {
    uint32_t Regs[4] = {0, 0, 0, 0};
    Source.Cpuid(1, Regs);
    Info.Family = static_cast<uint8_t>((Regs[0] >> 8) & 15);
    Info.Model = static_cast<uint8_t>((Regs[0] >> 4) & 15);
    const uint32_t Edx = Regs[3];
    struct Bit {
      int Index;
      TProcessorFeature Feature;
    };
    for (const Bit& B : {Bit{8, pfCmpXchg8B}, Bit{15, pfCMov}, Bit{23, pfMMX}, Bit{25, pfSSE}, Bit{26, pfSSE2}}) {
      if (Edx & (uint32_t{1} << B.Index)) {
        Info.Features |= B.Feature;
      }
    }
    Source.Cpuid(0x80000000u, Regs);
    if (Regs[0] > 0x80000000u) {
      Source.Cpuid(0x80000001u, Regs);
      const uint32_t Ext = Regs[3];
      for (const Bit& B : {Bit{22, pfMMXExt}, Bit{31, pf3DNow}, Bit{30, pf3DNowExt}}) {
        if (Ext & (uint32_t{1} << B.Index)) {
          Info.Features |= B.Feature;
        }
      }
    }
  }
  Info.ProcessorCount = static_cast<uint8_t>(Source.ProcessorCount() & 0xFF);
  return Info;
}

void DetectProcessor() { ProcessorInfo = DetectProcessor(RealCpuidSource()); }

namespace {
// Runs with the library's static initialisation, before main(). It lives in
// the unit that defines ProcessorInfo, so whoever reads the record links it.
[[maybe_unused]] const bool ProcessorDetected = (DetectProcessor(), true);
}  // namespace
