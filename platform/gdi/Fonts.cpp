// SPDX-License-Identifier: MIT
// Fonts and text the way GDI places them: logical fonts, the cell, the
// background box, and glyph coverage written as palette indices or blended
// colours. The faces come from the platform's rasteriser (FontFaces.h).
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

#include "gdi/FontFaces.h"
#include "gdi/GdiObjects.h"

namespace lumo::gdi {

Font::~Font() { ReleaseFace(face); }

namespace {

FontFace* Realise(Font* font) {
  if (font->face != nullptr || font->realiseFailed) return font->face;
  font->face = OpenFace(font->logFont);
  font->realiseFailed = font->face == nullptr;
  return font->face;
}

// Writes a solid rectangle, clipped, as a palette index or a colour.
void FillRect(RowCodec& codec, int64_t left, int64_t top, int64_t right, int64_t bottom, int index, uint32_t rgb) {
  const Surface& s = codec.surface();
  const int x0 = static_cast<int>(std::clamp<int64_t>(left, 0, s.width));
  const int y0 = static_cast<int>(std::clamp<int64_t>(top, 0, s.height));
  const int x1 = static_cast<int>(std::clamp<int64_t>(right, 0, s.width));
  const int y1 = static_cast<int>(std::clamp<int64_t>(bottom, 0, s.height));
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<uint32_t> line(static_cast<size_t>(x1 - x0), rgb);
  for (int y = y0; y < y1; ++y) {
    if (s.Indexed()) {
      for (int x = x0; x < x1; ++x) codec.WriteIndex(x, y, index);
    } else {
      codec.Write(x0, y, x1 - x0, line.data());
    }
  }
}

void DrawGlyph(RowCodec& codec, const Glyph& g, int64_t originX, int64_t originY, int index, uint32_t rgb) {
  const Surface& s = codec.surface();
  const int64_t left = originX + g.left, top = originY - g.top;
  const int x0 = static_cast<int>(std::clamp<int64_t>(left, 0, s.width));
  const int x1 = static_cast<int>(std::clamp<int64_t>(left + g.width, 0, s.width));
  const int y0 = static_cast<int>(std::clamp<int64_t>(top, 0, s.height));
  const int y1 = static_cast<int>(std::clamp<int64_t>(top + g.height, 0, s.height));
  if (x0 >= x1 || y0 >= y1) return;
  auto coverage = [&](int y) { return g.coverage.data() + static_cast<size_t>(y - top) * g.width + (x0 - left); };
  if (s.Indexed()) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* cover = coverage(y);
      for (int x = x0; x < x1; ++x)
        if (cover[x - x0] >= 128) codec.WriteIndex(x, y, index);
    }
    return;
  }
  std::vector<uint32_t> line(static_cast<size_t>(x1 - x0));
  const uint32_t tr = (rgb >> 16) & 0xFF, tg = (rgb >> 8) & 0xFF, tb = rgb & 0xFF;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* cover = coverage(y);
    codec.Read(x0, y, x1 - x0, line.data());
    for (int x = 0; x < x1 - x0; ++x) {
      const uint32_t a = cover[x];
      if (a == 0) continue;
      const uint32_t d = line[x];
      const uint32_t r = (tr * a + ((d >> 16) & 0xFF) * (255 - a) + 127) / 255;
      const uint32_t gg = (tg * a + ((d >> 8) & 0xFF) * (255 - a) + 127) / 255;
      const uint32_t b = (tb * a + (d & 0xFF) * (255 - a) + 127) / 255;
      line[x] = (r << 16) | (gg << 8) | b;
    }
    codec.Write(x0, y, x1 - x0, line.data());
  }
}

}  // namespace

}  // namespace lumo::gdi

using namespace lumo::gdi;

HFONT CreateFontIndirectA(const LOGFONTA* lplf) {
  if (lplf == nullptr) return nullptr;
  std::lock_guard<std::recursive_mutex> guard(Lock());
  auto* font = new Font;
  font->logFont = *lplf;
  // A name that fills all 32 bytes has no terminator: keep its first 31.
  font->logFont.lfFaceName[LF_FACESIZE - 1] = '\0';
  Register(font);
  return reinterpret_cast<HFONT>(font);
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Counters& counters = Count();
  counters.textOut++;
  counters.lastTextLength = c;
  DC* dc = FindDC(hdc);
  if (dc == nullptr || c < 0 || (c > 0 && lpString == nullptr)) return FALSE;
  Surface s;
  if (!DrawingSurface(dc, s)) return FALSE;
  if (c == 0) return TRUE;
  FontFace* f = Realise(dc->font);
  if (f == nullptr) return FALSE;
  const FaceMetrics& m = MetricsOf(f);

  // Palette surfaces get plain pixels in the nearest entries of the colour
  // table as it is now, as GDI draws into palette DIB sections.
  const bool mono = s.Indexed();
  RowCodec codec(s);
  const uint32_t textRgb = SwapRedBlue(dc->textColour), bkRgb = SwapRedBlue(dc->bkColour);
  // Two lookups only: straight through the table, not through the codec's
  // cache, whose set-up would cost more than they do on every call.
  const int entries = mono ? std::min(s.colourCount, 1 << s.bpp) : 0;
  const int textIndex = entries > 0 ? NearestIndex(s.colours, entries, textRgb) : 0;
  const int bkIndex = entries > 0 && dc->bkMode == OPAQUE ? NearestIndex(s.colours, entries, bkRgb) : 0;

  const auto* text = reinterpret_cast<const unsigned char*>(lpString);
  int64_t width = 0;
  for (int i = 0; i < c; ++i) width += GlyphOf(f, text[i], mono).advance;
  if (dc->bkMode == OPAQUE) FillRect(codec, x, y, x + width, int64_t{y} + m.cellHeight, bkIndex, bkRgb);
  const int64_t baseline = int64_t{y} + m.ascent;
  int64_t pen = x;
  for (int i = 0; i < c; ++i) {
    const Glyph& g = GlyphOf(f, text[i], mono);
    DrawGlyph(codec, g, pen, baseline, textIndex, textRgb);
    pen += g.advance;
  }
  const LOGFONTA& lf = dc->font->logFont;
  if (lf.lfUnderline)
    FillRect(codec, x, baseline + m.underlinePos, x + width, baseline + m.underlinePos + m.underlineThickness,
             textIndex, textRgb);
  if (lf.lfStrikeOut)
    FillRect(codec, x, baseline + m.strikePos, x + width, baseline + m.strikePos + m.underlineThickness, textIndex,
             textRgb);
  FinishDrawing(dc);
  return TRUE;
}
