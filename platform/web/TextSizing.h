// SPDX-License-Identifier: MIT
// How a logical font becomes a canvas font: the CSS font the browser is
// asked for (face, fallbacks, weight, italic) and GDI's sizes worked out
// from the face's own proportions, which the canvas measures.
#pragma once

#include <string>

#include "LumoPlatform.h"
#include "gdi/FontFaces.h"

namespace lumo::web {

// A face's proportions per em: the lines above and below the baseline that
// make GDI's cell, and the average character width GDI's lfWidth means
// (the weighted average of the lower-case letters and the space).
struct FaceProportions {
  double ascent = 0.8;
  double descent = 0.2;
  double averageWidth = 0.5;
};

struct TextSizing {
  double emHeight = 0;  // CSS pixels of the em
  double scaleX = 1;    // horizontal scale, for a width asked for
  gdi::FaceMetrics metrics;
};

// GDI's reading of lfHeight (cell height when positive, em height when
// negative, a 16-pixel cell when 0) and lfWidth (average width when
// positive), within the same limits as natively.
TextSizing SizeText(const LOGFONTA& logFont, const FaceProportions& face);

// "italic 800 12.5px "Tahoma", "DejaVu Sans", sans-serif": the face name
// (at most 31 characters) quoted for CSS, then the same fallbacks as
// natively. `emHeight` 0 leaves the size as "100px", for measuring.
std::string CssFont(const LOGFONTA& logFont, double emHeight);

// The weighted average the old definition of a face's average width uses:
// the 26 lower-case letters' advances with their weights, and the space's.
double WeightedAverageWidth(const double letterAdvances[26], double spaceAdvance);

}  // namespace lumo::web
