// SPDX-License-Identifier: MIT
// A realised font as TextOutA needs it: GDI's cell metrics and, per
// character, a coverage box and an advance. The rasteriser behind it is the
// platform's own: FreeType with faces found through fontconfig natively
// (FreeTypeFaces.cpp), the browser's canvas on the web (web/CanvasFaces.cpp).
// Text placement, colours and the background box stay in Fonts.cpp, the
// same for both.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "LumoPlatform.h"

namespace lumo::gdi {

struct Glyph {
  int width = 0, height = 0;      // coverage box
  int left = 0, top = 0;          // offset from the pen position on the baseline
  int advance = 0;                // pixels
  std::vector<uint8_t> coverage;  // 0..255 per pixel, width * height
};

// GDI's cell in pixels: the lines above and below the baseline, and the
// underline and strike-out lines relative to it (positive is downwards).
struct FaceMetrics {
  int ascent = 0, descent = 0, cellHeight = 0;
  int underlinePos = 0, underlineThickness = 1, strikePos = 0;
};

// The em sizes a rasteriser is asked for, and GDI's cell height, for a
// logical font on a face whose cell (ascent plus descent) and average
// character width are given in the face's own units, `unitsPerEm` to the em.
struct FontSize {
  double emX = 1, emY = 1;
  int cell = 0;
};

// GDI's reading of lfHeight (cell height when positive, em height when
// negative, a 16-pixel cell when 0) and of lfWidth (average character width
// when positive), each at most 1000 pixels, so that no logical font asks a
// rasteriser for an absurd size. Both rasterisers size their faces here.
inline FontSize SizeLogicalFont(const LOGFONTA& lf, double cellUnits, double unitsPerEm, double avgWidthUnits) {
  constexpr int kDefaultCellHeight = 16;
  constexpr int kMaxPixelSize = 1000;
  const int requested =
      std::clamp<LONG>(lf.lfHeight == INT_MIN ? kMaxPixelSize : std::abs(lf.lfHeight), 0, kMaxPixelSize);
  FontSize size;
  if (lf.lfHeight > 0) {
    size.cell = requested;
    size.emY = requested * unitsPerEm / cellUnits;
  } else if (lf.lfHeight < 0) {
    size.emY = requested;
    size.cell = static_cast<int>(std::lround(cellUnits * size.emY / unitsPerEm));
  } else {
    size.cell = kDefaultCellHeight;
    size.emY = size.cell * unitsPerEm / cellUnits;
  }
  if (size.emY < 1) size.emY = 1;
  size.emX = size.emY;
  if (lf.lfWidth > 0 && avgWidthUnits > 0)
    size.emX = std::min<double>(lf.lfWidth, kMaxPixelSize) * unitsPerEm / avgWidthUnits;
  if (size.emX < 1) size.emX = 1;
  return size;
}

struct FontFace;

// The face for a logical font: its face name with fallbacks, height (cell
// height when positive, em height when negative, a default when 0), width
// (average character width when positive), weight and italic, as GDI reads
// them. Null when no face can be had.
FontFace* OpenFace(const LOGFONTA& logFont);
const FaceMetrics& MetricsOf(const FontFace* face);
// The glyph of a character, cached in the face. `mono` asks for the shapes a
// palette surface gets (no partial coverage wanted); either way coverage of
// 128 or more counts as ink there.
const Glyph& GlyphOf(FontFace* face, unsigned char ch, bool mono);
void ReleaseFace(FontFace* face);

}  // namespace lumo::gdi
