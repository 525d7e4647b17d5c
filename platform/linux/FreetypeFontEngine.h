// Text for pictures drawn without a display (the report's chart): fonts found
// through fontconfig and rasterised with FreeType, anti-aliased.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "platform/FontEngine.h"

namespace qv::platform {

class FreetypeFontEngine : public IFontEngine {
 public:
  FreetypeFontEngine();
  ~FreetypeFontEngine() override;
  FreetypeFontEngine(const FreetypeFontEngine&) = delete;
  FreetypeFontEngine& operator=(const FreetypeFontEngine&) = delete;

  // Whether a font file is found for `font`; without one its texts take no room.
  bool Finds(const FontSpec& font);

  FontMetrics Metrics(const FontSpec& font) override;
  int TextWidth(const FontSpec& font, std::string_view latin1) override;
  TextMask Render(const FontSpec& font, std::string_view latin1) override;

 private:
  struct Face;
  // The face for a font at its pixel size; null when no font file is found.
  Face* FaceFor(const FontSpec& font);

  void* library_ = nullptr;  // FT_Library
  std::map<std::tuple<std::string, bool, bool, int>, Face*> faces_;
};

}  // namespace qv::platform
