// Text for the toolkit's canvas, measured and rasterised with Qt. The canvas
// blends the coverage masks into its own bitmaps, so text looks the same on the
// screen as in the pictures tests read back.
//
// Needs a QGuiApplication (the Qt backend's application object) to exist while
// it is used.
#pragma once

#include <QFont>
#include <map>
#include <string>
#include <tuple>

#include "platform/FontEngine.h"

namespace qv::platform::qt {

class QtFontEngine final : public IFontEngine {
 public:
  FontMetrics Metrics(const FontSpec& font) override;
  int TextWidth(const FontSpec& font, std::string_view latin1) override;
  TextMask Render(const FontSpec& font, std::string_view latin1) override;

  // The Qt font that stands for `font`: the family mapped to an installed face,
  // a negative height as the character (em) height in pixels, a positive one as
  // the whole cell height, 0 as the customary 11 pixels.
  QFont FontFor(const FontSpec& font);

 private:
  using Key = std::tuple<std::string, int, bool, bool, bool, bool>;
  std::map<Key, QFont> cache_;
};

}  // namespace qv::platform::qt
