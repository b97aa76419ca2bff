// SPDX-License-Identifier: MIT
#include "web/TextSizing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace lumo::web {

namespace {

// The canvas does not tell a face's underline; these are typical of faces.
constexpr double kUnderlineBelow = 0.1;
constexpr double kUnderlineThickness = 0.075;
constexpr const char* kFallbacks = "\"DejaVu Sans\", sans-serif";

}  // namespace

TextSizing SizeText(const LOGFONTA& lf, const FaceProportions& face) {
  const double cellPerEm = face.ascent + face.descent > 0 ? face.ascent + face.descent : 1.0;
  // The proportions are per em already, so the em is the unit.
  const gdi::FontSize size = gdi::SizeLogicalFont(lf, cellPerEm, 1.0, face.averageWidth);
  const double em = size.emY;
  const int cell = size.cell;
  const double emX = size.emX;

  TextSizing s;
  s.emHeight = em;
  s.scaleX = emX / em;
  gdi::FaceMetrics& m = s.metrics;
  m.cellHeight = std::max(cell, 1);
  m.ascent = static_cast<int>(std::lround(face.ascent * em));
  m.descent = m.cellHeight - m.ascent;
  m.underlineThickness = std::max(1, static_cast<int>(std::lround(kUnderlineThickness * em)));
  m.underlinePos =
      std::clamp(static_cast<int>(std::lround(kUnderlineBelow * em)), 1, std::max(1, m.descent - m.underlineThickness));
  m.strikePos = -std::max(1, m.ascent / 3);
  return s;
}

std::string CssFont(const LOGFONTA& lf, double emHeight) {
  std::string font = lf.lfItalic ? "italic " : "";
  const LONG weight = lf.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(lf.lfWeight, 1000);
  // Written by hand: formatting a double would bring the C library's whole
  // floating-point printf into every page.
  font += std::to_string(weight);
  if (emHeight > 0 && emHeight < 1e9) {
    const long long thousandths = std::llround(emHeight * 1000.0);
    const std::string fraction = std::to_string(thousandths % 1000);
    font += ' ' + std::to_string(thousandths / 1000) + '.' + std::string(3 - fraction.size(), '0') + fraction + "px ";
  } else {
    font += " 100px ";
  }
  // Any character but a letter, digit, space, '-' or '_' is written as a CSS
  // escape, so no face name can end the string or the declaration.
  const size_t length = strnlen(lf.lfFaceName, LF_FACESIZE - 1);
  if (length > 0) {
    font += '"';
    for (size_t i = 0; i < length; ++i) {
      const unsigned char c = static_cast<unsigned char>(lf.lfFaceName[i]);
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' ||
          c == '_') {
        font += static_cast<char>(c);
      } else {
        constexpr const char* kHex = "0123456789abcdef";
        font += '\\';
        if (c >= 0x10) font += kHex[c >> 4];
        font += kHex[c & 0xF];
        font += ' ';
      }
    }
    font += "\", ";
  }
  return font + kFallbacks;
}

double WeightedAverageWidth(const double letterAdvances[26], double spaceAdvance) {
  static constexpr int kWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                       56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
  double sum = 166 * spaceAdvance;
  for (int i = 0; i < 26; ++i) sum += kWeights[i] * letterAdvances[i];
  return sum / 1000;
}

}  // namespace lumo::web
