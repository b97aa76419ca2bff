// SPDX-License-Identifier: MIT
#include "gdi/GdiObjects.h"

#include <cstdlib>
#include <unordered_set>

#include "common/WindowTarget.h"

namespace lumo::gdi {

namespace {

// Created on first use and never destroyed, so that objects released from
// other static destructors at exit still find a working table.
struct Table {
  std::unordered_set<Object*> live;
  int nonStock = 0;
};

Table& Objects() {
  static Table* table = new Table;
  return *table;
}

}  // namespace

std::recursive_mutex& Lock() {
  static std::recursive_mutex* mutex = new std::recursive_mutex;
  return *mutex;
}

Bitmap::~Bitmap() { std::free(memory); }

void Register(Object* object) {
  Table& t = Objects();
  t.live.insert(object);
  if (!object->stock) ++t.nonStock;
}

void Destroy(Object* object) {
  Table& t = Objects();
  if (t.live.erase(object) == 0) return;
  if (!object->stock) --t.nonStock;
  delete object;
}

void Deselect(Object* object) {
  if (object == nullptr) return;
  object->selectCount--;
  if (object->selectCount <= 0 && object->deletePending) Destroy(object);
}

Object* FindObject(const void* handle) {
  if (handle == nullptr) return nullptr;
  Table& t = Objects();
  auto it = t.live.find(static_cast<Object*>(const_cast<void*>(handle)));
  return it == t.live.end() ? nullptr : *it;
}

DC* FindDC(HDC handle) {
  Object* o = FindObject(handle);
  return o && o->kind == Kind::DC ? static_cast<DC*>(o) : nullptr;
}

Bitmap* FindBitmap(const void* handle) {
  Object* o = FindObject(handle);
  return o && o->kind == Kind::Bitmap ? static_cast<Bitmap*>(o) : nullptr;
}

Font* FindFont(const void* handle) {
  Object* o = FindObject(handle);
  return o && o->kind == Kind::Font ? static_cast<Font*>(o) : nullptr;
}

int LiveNonStock() { return Objects().nonStock; }

Font* StockSystemFont() {
  static Font* font = [] {
    auto* f = new Font;
    f->stock = true;
    // An empty face name means the system's sans face; 16 px cell.
    f->logFont.lfHeight = 16;
    f->logFont.lfWeight = FW_NORMAL;
    f->logFont.lfCharSet = DEFAULT_CHARSET;
    Register(f);
    return f;
  }();
  return font;
}

Bitmap* StockBitmap() {
  static Bitmap* bitmap = [] {
    auto* b = new Bitmap;
    b->stock = true;
    b->colours = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    b->memory = static_cast<uint8_t*>(std::calloc(4, 1));
    Surface& s = b->surface;
    s.bits = b->memory;
    s.width = s.height = 1;
    s.stride = 4;
    s.bpp = 1;
    s.colours = b->colours.data();
    s.colourCount = 2;
    Register(b);
    return b;
  }();
  return bitmap;
}

ScreenFormat& Screen() {
  static ScreenFormat screen;
  return screen;
}

Counters& Count() {
  static Counters counters;
  return counters;
}

bool DrawingSurface(DC* dc, Surface& out, const RECT* overwrite) {
  switch (dc->type) {
    case DCType::Memory:
      if (dc->bitmap == nullptr || dc->bitmap->surface.bits == nullptr) return false;
      out = dc->bitmap->surface;
      return true;
    case DCType::Window: {
      // The one place GDI asks a window for its pixels.
      platform::WindowTarget* target = platform::FindWindowTarget(dc->window);
      if (target == nullptr || target->Width() <= 0 || target->Height() <= 0) return false;
      uint32_t* pixels = overwrite != nullptr ? target->PixelsToOverwrite(*overwrite) : target->Pixels();
      if (pixels == nullptr) return false;
      out = Surface{};
      out.bits = reinterpret_cast<uint8_t*>(pixels);
      out.width = target->Width();
      out.height = target->Height();
      out.stride = out.width * 4;
      out.topDown = true;
      out.bpp = 32;
      out.redMask = 0xFF0000;
      out.greenMask = 0xFF00;
      out.blueMask = 0xFF;
      return true;
    }
    case DCType::Screen:
      break;
  }
  return false;
}

void FinishDrawing(DC* dc) {
  if (dc->type != DCType::Window) return;
  if (platform::WindowTarget* target = platform::FindWindowTarget(dc->window))
    target->Presented(RECT{0, 0, target->Width(), target->Height()});
}

void FinishDrawing(DC* dc, const RECT& changed) {
  if (dc->type != DCType::Window || changed.left >= changed.right || changed.top >= changed.bottom) return;
  if (platform::WindowTarget* target = platform::FindWindowTarget(dc->window)) target->Presented(changed);
}

}  // namespace lumo::gdi
