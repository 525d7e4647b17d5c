// Text measuring and rasterising for the toolkit's canvas. The canvas draws on
// its own bitmaps, so all it needs from a font engine is how big a text is and
// how much of each pixel of its cell the glyphs cover. The product wires a Qt
// engine; tests wire the fixed bitmap font of platform/fake.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/WindowSystem.h"  // FontSpec

namespace qv::platform {

struct FontMetrics {
  int ascent = 0;   // baseline, counted from the top of the cell
  int descent = 0;  // below the baseline
  int height = 0;   // ascent + descent: the cell height every line of text takes
  int averageCharWidth = 0;
};

// Coverage of a text's cell: `width` x `height` values, top row first, 0 = not
// touched, 255 = fully covered. The cell's top-left is where the text is put.
struct TextMask {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;
  std::uint8_t At(int x, int y) const {
    return coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x)];
  }
};

// Fonts are asked for with FontSpec (its colour is not used here). Texts are
// Latin-1. Called on the GUI thread.
class IFontEngine {
 public:
  virtual ~IFontEngine() = default;
  virtual FontMetrics Metrics(const FontSpec& font) = 0;
  // Advance width of the text in pixels.
  virtual int TextWidth(const FontSpec& font, std::string_view latin1) = 0;
  // The text's cell: TextWidth wide and Metrics().height high.
  virtual TextMask Render(const FontSpec& font, std::string_view latin1) = 0;
};

}  // namespace qv::platform
