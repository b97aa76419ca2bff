// SPDX-License-Identifier: MIT
// Font faces natively: found through fontconfig, drawn with FreeType, and
// sized the way GDI sizes a logical font.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "gdi/FontFaces.h"

namespace lumo::gdi {

namespace {

// Debian's Wine fonts (a Tahoma among them) are not on fontconfig's path.
constexpr const char* kExtraFontDir = "/usr/share/wine/fonts";
constexpr const char* kFallbackFamily = "DejaVu Sans";

struct Resolved {
  std::string file;
  int index = 0;
};

FT_Library FreeType() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return library;
}

FcConfig* FontConfig() {
  static FcConfig* config = [] {
    FcConfig* c = FcInitLoadConfigAndFonts();
    if (c != nullptr) FcConfigAppFontAddDir(c, reinterpret_cast<const FcChar8*>(kExtraFontDir));
    return c;
  }();
  return config;
}

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  }
  return *a == *b;
}

// Finds an outline face of the family; with checkFamily, only a face whose
// family really has that name counts (fontconfig always answers something).
bool Match(const char* family, bool bold, bool italic, bool checkFamily, Resolved& out) {
  FcConfig* config = FontConfig();
  if (config == nullptr) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  bool ok = true;
  FcBool outline = FcFalse;
  if (FcPatternGetBool(match, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline) ok = false;
  if (ok && checkFamily) {
    ok = false;
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      if (SameName(reinterpret_cast<const char*>(name), family)) ok = true;
    }
  }
  FcChar8* file = nullptr;
  if (ok && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    out.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
  } else {
    ok = false;
  }
  FcPatternDestroy(match);
  return ok;
}

// Face lookups are cached: fonts are re-created on every window resize.
bool Resolve(const std::string& family, bool bold, bool italic, Resolved& out) {
  static auto* cache = new std::map<std::tuple<std::string, bool, bool>, Resolved>;
  static auto* warned = new std::set<std::string>;
  std::string key = family;
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char ch) { return std::tolower(ch); });
  auto found = cache->find({key, bold, italic});
  if (found != cache->end()) {
    out = found->second;
    return true;
  }
  bool ok = false;
  if (family.empty()) {
    ok = Match("sans-serif", bold, italic, false, out);
  } else {
    ok = Match(family.c_str(), bold, italic, true, out);
    if (!ok) {
      if (warned->insert(key).second)
        std::fprintf(stderr, "lumo: no font named \"%s\", using %s instead\n", family.c_str(), kFallbackFamily);
      ok = Match(kFallbackFamily, bold, italic, true, out) || Match("sans-serif", bold, italic, false, out);
    }
  }
  if (ok) (*cache)[{key, bold, italic}] = out;
  return ok;
}

}  // namespace

struct FontFace : FaceMetrics {
  FT_Face face = nullptr;
  bool synthBold = false;
  bool synthItalic = false;
  bool symbol = false;
  FT_Pos boldStrength = 0;                        // 26.6
  std::unordered_map<unsigned, Glyph> glyphs[2];  // [mono]
};

void ReleaseFace(FontFace* face) {
  if (face == nullptr) return;
  if (face->face) FT_Done_Face(face->face);
  delete face;
}

FontFace* OpenFace(const LOGFONTA& lf) {
  const bool bold = lf.lfWeight >= FW_BOLD;
  const bool italic = lf.lfItalic != 0;
  Resolved resolved;
  if (FreeType() == nullptr ||
      !Resolve(std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE)), bold, italic, resolved))
    return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(FreeType(), resolved.file.c_str(), resolved.index, &face) != 0) return nullptr;
  // Symbol faces keep their characters at U+F000 + code, as GDI reads them.
  const bool symbol =
      FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0;

  // GDI's cell is the face's Windows ascent plus descent.
  double upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  double winAscent = face->ascender, winDescent = -face->descender;
  double avgWidth = 0;
  // Whether the face itself is bold or italic (fontconfig reports the
  // style asked for when it means to have it synthesised).
  bool faceBold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
  const bool faceItalic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2))) {
    if (os2->usWinAscent + os2->usWinDescent > 0) {
      winAscent = os2->usWinAscent;
      winDescent = os2->usWinDescent;
    }
    avgWidth = os2->xAvgCharWidth;
    if (os2->usWeightClass >= 600) faceBold = true;
  }
  if (winAscent + winDescent <= 0) {
    winAscent = upem * 0.8;
    winDescent = upem * 0.2;
  }
  const FontSize size = SizeLogicalFont(lf, winAscent + winDescent, upem, avgWidth);
  const double emX = size.emX, emY = size.emY;
  const int cell = size.cell;
  if (FT_Set_Char_Size(face, std::lround(emX * 64), std::lround(emY * 64), 72, 72) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto* f = new FontFace;
  f->face = face;
  f->symbol = symbol;
  f->ascent = static_cast<int>(std::lround(winAscent * emY / upem));
  f->cellHeight = std::max(cell, 1);
  f->descent = f->cellHeight - f->ascent;
  f->synthBold = bold && !faceBold;
  f->synthItalic = italic && !faceItalic;
  f->boldStrength = std::max<FT_Pos>(64, std::lround(emY / 24) * 64);
  const double yScale = emY / upem;
  f->underlineThickness = std::max(1, static_cast<int>(std::lround(face->underline_thickness * yScale)));
  f->underlinePos = std::clamp(static_cast<int>(std::lround(-face->underline_position * yScale)), 1,
                               std::max(1, f->descent - f->underlineThickness));
  f->strikePos = -std::max(1, f->ascent / 3);
  return f;
}

const FaceMetrics& MetricsOf(const FontFace* face) { return *face; }

const Glyph& GlyphOf(FontFace* f, unsigned char ch, bool mono) {
  auto& cache = f->glyphs[mono ? 1 : 0];
  auto found = cache.find(ch);
  if (found != cache.end()) return found->second;
  Glyph& g = cache[ch];
  FT_Face face = f->face;
  const FT_UInt index = FT_Get_Char_Index(face, f->symbol ? 0xF000u + ch : ch);
  const FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(face, index, flags) != 0) return g;
  FT_GlyphSlot slot = face->glyph;
  FT_Pos advance = slot->advance.x;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (f->synthItalic) {
      FT_Matrix shear{0x10000, 0x3800, 0, 0x10000};
      FT_Outline_Transform(&slot->outline, &shear);
    }
    if (f->synthBold) {
      FT_Outline_EmboldenXY(&slot->outline, f->boldStrength, 0);
      advance += f->boldStrength;
    }
  }
  g.advance = static_cast<int>((advance + 32) >> 6);
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap& bm = slot->bitmap;
  g.width = static_cast<int>(bm.width);
  g.height = static_cast<int>(bm.rows);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.coverage.assign(static_cast<size_t>(g.width) * g.height, 0);
  for (int y = 0; y < g.height; ++y) {
    const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
    uint8_t* out = g.coverage.data() + static_cast<size_t>(y) * g.width;
    for (int x = 0; x < g.width; ++x) {
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
        out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
        out[x] = row[x];
    }
  }
  return g;
}

}  // namespace lumo::gdi
