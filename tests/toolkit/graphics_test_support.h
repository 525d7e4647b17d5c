// Helpers for pixel-exact tests: bitmaps written and read as rows of letters.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "toolkit/Graphics.h"

namespace qv::testing_support {

// Letters used for colours in the pictures of the tests.
inline const std::map<char, TColor>& Legend() {
  static const std::map<char, TColor> legend = {
      {'.', clWhite},  {'#', clBlack}, {'R', clRed},     {'G', clLime},   {'B', clBlue},
      {'Y', clYellow}, {'A', clAqua},  {'F', clFuchsia}, {'S', clSilver}, {'g', clGray}};
  return legend;
}

// The bitmap's pixels as one string per row; colours outside the legend show as '?'.
inline std::vector<std::string> Picture(const TBitmap& bitmap) {
  std::vector<std::string> rows;
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::string row;
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TColor c = bitmap.GetPixel(x, y);
      char letter = '?';
      for (const auto& [l, color] : Legend()) {
        if (color == c) letter = l;
      }
      row += letter;
    }
    rows.push_back(row);
  }
  return rows;
}

// A 24-bit bitmap painted from rows of legend letters.
inline void Paint(TBitmap& bitmap, const std::vector<std::string>& rows) {
  bitmap.SetSize(rows.empty() ? 0 : static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      bitmap.SetPixel(x, y, Legend().at(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]));
    }
  }
}

// A blank bitmap of one colour.
inline void Blank(TBitmap& bitmap, int width, int height, TColor color = clWhite) {
  bitmap.SetSize(width, height);
  bitmap.Canvas().Brush().SetColor(color);
  bitmap.Canvas().Brush().SetStyle(bsSolid);
  bitmap.Canvas().FillRect(Rect(0, 0, width, height));
}

}  // namespace qv::testing_support
