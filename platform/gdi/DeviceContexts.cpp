// SPDX-License-Identifier: MIT
// Device contexts: the screen, windows and memory DCs, object selection and
// deletion, and the DC's text state.
#include <mutex>

#include "common/WindowTarget.h"
#include "gdi/GdiObjects.h"

using namespace lumo::gdi;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

DC* NewDC(DCType type, HWND window) {
  auto* dc = new DC;
  dc->type = type;
  dc->window = window;
  // GDI's defaults for every new DC.
  dc->font = StockSystemFont();
  dc->font->selectCount++;
  if (type == DCType::Memory) {
    dc->bitmap = StockBitmap();
    dc->bitmap->selectCount++;
  }
  Register(dc);
  return dc;
}

void FreeDC(DC* dc) {
  Deselect(dc->bitmap);
  Deselect(dc->font);
  Destroy(dc);
}

}  // namespace

HDC GetDC(HWND hWnd) {
  Guard guard(Lock());
  if (hWnd == nullptr) return reinterpret_cast<HDC>(NewDC(DCType::Screen, nullptr));
  if (lumo::platform::FindWindowTarget(hWnd) == nullptr) return nullptr;
  return reinterpret_cast<HDC>(NewDC(DCType::Window, hWnd));
}

int ReleaseDC(HWND, HDC hDC) {
  Guard guard(Lock());
  DC* dc = FindDC(hDC);
  if (dc == nullptr || dc->type == DCType::Memory) return 0;
  FreeDC(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
  Guard guard(Lock());
  Counters& c = Count();
  c.createCompatibleDC++;
  if (c.failNextCompatibleDC) {
    c.failNextCompatibleDC = false;
    return nullptr;
  }
  if (hdc != nullptr && FindDC(hdc) == nullptr) return nullptr;
  return reinterpret_cast<HDC>(NewDC(DCType::Memory, nullptr));
}

BOOL DeleteDC(HDC hdc) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  if (dc == nullptr) return FALSE;
  FreeDC(dc);
  return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
  Guard guard(Lock());
  if (Count().failNextSelectObject) {
    Count().failNextSelectObject = false;
    return nullptr;
  }
  DC* dc = FindDC(hdc);
  Object* object = FindObject(h);
  if (dc == nullptr || object == nullptr || object->deletePending) return nullptr;
  if (object->kind == Kind::Bitmap) {
    auto* bitmap = static_cast<Bitmap*>(object);
    if (dc->type != DCType::Memory) return nullptr;
    if (bitmap == dc->bitmap) return bitmap;
    // A bitmap lives in one DC at a time.
    if (!bitmap->stock && bitmap->selectCount > 0) return nullptr;
    Bitmap* previous = dc->bitmap;
    bitmap->selectCount++;
    dc->bitmap = bitmap;
    Deselect(previous);
    return previous;
  }
  if (object->kind == Kind::Font) {
    auto* font = static_cast<Font*>(object);
    Font* previous = dc->font;
    if (font == previous) return font;
    font->selectCount++;
    dc->font = font;
    Deselect(previous);
    return previous;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ ho) {
  Guard guard(Lock());
  Object* object = FindObject(ho);
  if (object == nullptr || object->kind == Kind::DC) return FALSE;
  if (object->stock) return TRUE;
  // An object still selected into a DC goes when its last DC lets go of it,
  // whatever order the caller releases things in.
  if (object->selectCount > 0) {
    object->deletePending = true;
    return TRUE;
  }
  Destroy(object);
  return TRUE;
}

HGDIOBJ GetStockObject(int i) {
  Guard guard(Lock());
  // OEM_FIXED_FONT (10) to DEFAULT_GUI_FONT (17) all map to the one system font.
  if (i >= 10 && i <= 17 && i != 15) return StockSystemFont();
  return nullptr;
}

int GetDeviceCaps(HDC hdc, int index) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  if (dc == nullptr) return 0;
  const ScreenFormat& screen = Screen();
  switch (index) {
    case BITSPIXEL:
      return screen.bitsPerPixel;
    case HORZRES:
      return screen.width;
    case VERTRES:
      return screen.height;
    case 14:  // PLANES
      return 1;
    default:
      return 0;
  }
}

int SetBkMode(HDC hdc, int mode) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = dc->bkMode;
  dc->bkMode = mode;
  return previous;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->bkColour;
  dc->bkColour = color & 0xFFFFFF;
  return previous;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  Guard guard(Lock());
  DC* dc = FindDC(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->textColour;
  dc->textColour = color & 0xFFFFFF;
  return previous;
}
