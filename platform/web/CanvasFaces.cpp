// SPDX-License-Identifier: MIT
// Font faces on the web: the browser's own text, drawn with fillText on a
// canvas of its own and read back as a coverage mask, one glyph at a time
// and then kept. The face is the one the browser picks for the CSS font of
// TextSizing.h; GDI's sizes come from the face's proportions, measured once
// per face. Without a canvas (under node) no face can be had.
#include <emscripten.h>

#include <string>
#include <unordered_map>

#include "gdi/FontFaces.h"
#include "web/TextSizing.h"

namespace {

// clang-format off
// The face's proportions per em, measured at 100 px: ascent and descent of
// the font's own box, and the advances of 'a' to 'z' and the space. Keeps
// the canvas for the glyphs. 0 when there is no canvas.
EM_JS(int, LumoFaceMeasure, (const char* font, double* proportions), {
  var text = Module.lumoText;
  if (!text) {
    var canvas = typeof OffscreenCanvas != "undefined" ? new OffscreenCanvas(1, 1) :
                 typeof document != "undefined" ? document.createElement("canvas") : null;
    var context = canvas ? canvas.getContext("2d", {willReadFrequently: true}) : null;
    if (!context) return 0;
    text = Module.lumoText = {canvas: canvas, context: context};
  }
  var g = text.context;
  g.setTransform(1, 0, 0, 1, 0, 0);
  g.font = UTF8ToString(font);
  var box = g.measureText("Hg");
  var ascent = box.fontBoundingBoxAscent;
  var descent = box.fontBoundingBoxDescent;
  if (!(ascent > 0)) {
    // Browsers without the font's box: the ink of capitals and descenders.
    ascent = box.actualBoundingBoxAscent * 1.15;
    descent = box.actualBoundingBoxDescent * 1.15;
  }
  var out = proportions >> 3;
  HEAPF64[out] = ascent / 100;
  HEAPF64[out + 1] = descent / 100;
  for (var i = 0; i < 26; ++i) HEAPF64[out + 2 + i] = g.measureText(String.fromCharCode(97 + i)).width / 100;
  HEAPF64[out + 28] = g.measureText(" ").width / 100;
  return 1;
});

// Draws one character (a code point of Latin-1, as the layer reads text
// natively) and keeps its coverage; shape gets its box's left and top
// (from the pen on the baseline), width, height and the advance.
EM_JS(void, LumoGlyphDraw, (const char* font, double scaleX, int character, int* shape), {
  var g = Module.lumoText.context;
  var canvas = Module.lumoText.canvas;
  var c = String.fromCharCode(character);
  g.setTransform(1, 0, 0, 1, 0, 0);
  g.font = UTF8ToString(font);
  var m = g.measureText(c);
  var left = Math.floor(-m.actualBoundingBoxLeft * scaleX) - 1;
  var right = Math.ceil(m.actualBoundingBoxRight * scaleX) + 1;
  var top = Math.ceil(m.actualBoundingBoxAscent) + 1;
  var bottom = Math.ceil(m.actualBoundingBoxDescent) + 1;
  var width = Math.max(0, right - left), height = Math.max(0, top + bottom);
  if (c.trim() == "" || !isFinite(width + height)) width = height = 0;
  var s = shape >> 2;
  HEAP32[s] = left;
  HEAP32[s + 1] = top;
  HEAP32[s + 2] = width;
  HEAP32[s + 3] = height;
  HEAP32[s + 4] = Math.round(m.width * scaleX);
  Module.lumoText.last = null;
  if (width == 0) return;
  if (canvas.width < width) canvas.width = width;
  if (canvas.height < height) canvas.height = height;
  g.setTransform(1, 0, 0, 1, 0, 0);
  g.clearRect(0, 0, width, height);
  g.font = UTF8ToString(font);
  g.fillStyle = "#000";
  g.textBaseline = "alphabetic";
  g.setTransform(scaleX, 0, 0, 1, -left, top);
  g.fillText(c, 0, 0);
  Module.lumoText.last = g.getImageData(0, 0, width, height).data;
});

// The coverage of the glyph just drawn: its alpha, width x height bytes.
EM_JS(void, LumoGlyphCoverage, (uint8_t* out, int count), {
  var pixels = Module.lumoText.last;
  for (var i = 0; i < count; ++i) HEAPU8[out + i] = pixels ? pixels[4 * i + 3] : 0;
});
// clang-format on

}  // namespace

namespace lumo::gdi {

struct FontFace {
  web::TextSizing sizing;
  std::string font;  // the CSS font at its size
  std::unordered_map<unsigned, Glyph> glyphs;
};

FontFace* OpenFace(const LOGFONTA& logFont) {
  double measured[29] = {};
  if (!LumoFaceMeasure(web::CssFont(logFont, 0).c_str(), measured)) return nullptr;
  web::FaceProportions proportions;
  if (measured[0] + measured[1] > 0) {
    proportions.ascent = measured[0];
    proportions.descent = measured[1];
  }
  proportions.averageWidth = web::WeightedAverageWidth(measured + 2, measured[28]);
  auto* face = new FontFace;
  face->sizing = web::SizeText(logFont, proportions);
  face->font = web::CssFont(logFont, face->sizing.emHeight);
  return face;
}

const FaceMetrics& MetricsOf(const FontFace* face) { return face->sizing.metrics; }

// The canvas gives the same shapes to palette and colour surfaces: where a
// palette surface wants plain pixels, its writer keeps coverage of 128 up.
const Glyph& GlyphOf(FontFace* face, unsigned char ch, bool) {
  auto found = face->glyphs.find(ch);
  if (found != face->glyphs.end()) return found->second;
  Glyph& g = face->glyphs[ch];
  int shape[5] = {};
  LumoGlyphDraw(face->font.c_str(), face->sizing.scaleX, ch, shape);
  g.left = shape[0];
  g.top = shape[1];
  g.width = shape[2];
  g.height = shape[3];
  g.advance = shape[4];
  g.coverage.assign(static_cast<size_t>(g.width) * g.height, 0);
  if (!g.coverage.empty()) LumoGlyphCoverage(g.coverage.data(), static_cast<int>(g.coverage.size()));
  return g;
}

void ReleaseFace(FontFace* face) { delete face; }

}  // namespace lumo::gdi
