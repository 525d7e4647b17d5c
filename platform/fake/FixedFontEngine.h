// A deterministic font for tests: 5 x 7 glyphs (with two descender rows) in a
// 6 x 9 cell, the same whatever font name is asked for. Every glyph's pixels are
// fixed, so text can be checked pixel by pixel.
//
// Cell: 6 pixels advance (7 when bold), ascent 7, descent 2. Sizes scale the
// cell by a whole factor: a negative height h gives max(1, -h / 8) (so the usual
// -11 is 1 and -16 is 2), a positive height h gives max(1, h / 9), at most 32.
// Bold adds the glyph shifted one pixel right; italic shifts the top three rows
// one pixel right; underline fills the first row below the baseline, strike-out
// the fourth row. Characters without a glyph draw a hollow box.
#pragma once

#include <array>
#include <cstdint>

#include "platform/FontEngine.h"

namespace qv::platform::fake {

class FixedFontEngine : public IFontEngine {
 public:
  static constexpr int kGlyphWidth = 5;
  static constexpr int kAdvance = 6;
  static constexpr int kAscent = 7;
  static constexpr int kDescent = 2;
  static constexpr int kRows = kAscent + kDescent;
  static constexpr int kMaxScale = 32;  // keeps absurd heights from making huge masks

  FixedFontEngine();

  FontMetrics Metrics(const FontSpec& font) override;
  int TextWidth(const FontSpec& font, std::string_view latin1) override;
  TextMask Render(const FontSpec& font, std::string_view latin1) override;

  static int Scale(const FontSpec& font);
  // Row bits of a glyph, top row first; bit 4 is the leftmost column.
  const std::array<std::uint8_t, kRows>& Glyph(unsigned char c) const;

 private:
  std::array<std::array<std::uint8_t, kRows>, 256> glyphs_{};
};

}  // namespace qv::platform::fake
