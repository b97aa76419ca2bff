// SPDX-License-Identifier: MIT
// The GDI object model behind the opaque handles: device contexts, bitmaps
// and fonts. A handle is the address of its object; every handle that comes
// in is looked up in the table of live objects first, so a stale or foreign
// handle is refused instead of being followed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "LumoPlatform.h"
#include "gdi/PaletteRows.h"
#include "gdi/PixelFormat.h"

namespace lumo::gdi {

enum class Kind { DC, Bitmap, Font };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  bool stock = false;
  int selectCount = 0;         // DCs this object is selected into
  bool deletePending = false;  // deleted while selected: freed on release
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  ~Bitmap() override;
  Surface surface;
  std::vector<RGBQUAD> colours;  // colour table of palette formats
  uint8_t* memory = nullptr;     // owned pixel block (zero-filled)
  bool dibSection = false;
  // The colour table as window pixels, made on the first copy to a window
  // after each change of the table.
  std::unique_ptr<PaletteTable> windowTable;
  bool windowTableValid = false;
};

struct FontFace;  // the rasteriser's, see FontFaces.h

struct Font : Object {
  Font() : Object(Kind::Font) {}
  ~Font() override;
  LOGFONTA logFont{};
  FontFace* face = nullptr;  // realised on first use
  bool realiseFailed = false;
};

enum class DCType { Memory, Screen, Window };

struct DC : Object {
  DC() : Object(Kind::DC) {}
  DCType type = DCType::Memory;
  HWND window = nullptr;
  Bitmap* bitmap = nullptr;
  Font* font = nullptr;
  int bkMode = OPAQUE;
  COLORREF bkColour = 0xFFFFFF;
  COLORREF textColour = 0;
};

// One lock around the whole layer: the programs are single-threaded, but
// helper threads (a picture decoder, tests) may call in too.
std::recursive_mutex& Lock();

// Registration and lookup; Find* return null for anything not alive or of
// another kind.
void Register(Object* object);
void Destroy(Object* object);
// Drops one selection of the object, freeing it if its deletion waited.
void Deselect(Object* object);
Object* FindObject(const void* handle);
DC* FindDC(HDC handle);
Bitmap* FindBitmap(const void* handle);
Font* FindFont(const void* handle);
int LiveNonStock();

// Stock objects, created on first use and never freed.
Font* StockSystemFont();
Bitmap* StockBitmap();

// Simulated screen.
struct ScreenFormat {
  int bitsPerPixel = 32;
  int greenBits = 8;
  int width = 1280;
  int height = 1024;
};
ScreenFormat& Screen();

// Where a DC draws: the selected bitmap of a memory DC or the window's
// target pixels. False when there is nothing to draw into. A copy that will
// write every pixel of `overwrite` (in the DC's coordinates) says so: a
// window then need not bring those pixels up to date first.
bool DrawingSurface(DC* dc, Surface& out, const RECT* overwrite = nullptr);
// Called after drawing through DrawingSurface so a window shows the change:
// all of it, or only the rectangle given.
void FinishDrawing(DC* dc);
void FinishDrawing(DC* dc, const RECT& changed);

// Call counters and forced failures of the test seams.
struct Counters {
  int bitBlt = 0, stretchDIBits = 0, textOut = 0, setDIBColorTable = 0, createDIBSection = 0, createCompatibleDC = 0;
  int lastTextLength = 0;
  unsigned lastColorTableCount = 0;
  bool failNextDIBSection = false;
  bool failNextCompatibleDC = false;
  bool failNextSelectObject = false;
};
Counters& Count();

}  // namespace lumo::gdi
