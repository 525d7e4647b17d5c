#include "toolkit/FallbackFont.h"

namespace qv {

namespace {

constexpr int kAdvance = 6;
constexpr int kAscent = 7;
constexpr int kDescent = 2;
constexpr std::uint8_t kInk = 255;

class BoxFontEngine : public platform::IFontEngine {
 public:
  platform::FontMetrics Metrics(const platform::FontSpec&) override {
    return {kAscent, kDescent, kAscent + kDescent, kAdvance};
  }

  int TextWidth(const platform::FontSpec& font, std::string_view text) override {
    return static_cast<int>(text.size()) * Advance(font);
  }

  platform::TextMask Render(const platform::FontSpec& font, std::string_view text) override {
    platform::TextMask mask;
    mask.width = TextWidth(font, text);
    mask.height = kAscent + kDescent;
    mask.coverage.assign(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height), 0);
    const auto set = [&](int x, int y) {
      mask.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.width) +
                    static_cast<std::size_t>(x)] = kInk;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
      const int left = static_cast<int>(i) * Advance(font);
      if (text[i] != ' ') {
        // A box from the cap height to the baseline, one column short of the advance.
        for (int x = left; x < left + 5; ++x) {
          set(x, 1);
          set(x, kAscent - 1);
        }
        for (int y = 1; y < kAscent; ++y) {
          set(left, y);
          set(left + 4, y);
        }
      }
      if (font.underline) {
        for (int x = left; x < left + Advance(font); ++x) set(x, kAscent);
      }
    }
    return mask;
  }

 private:
  static int Advance(const platform::FontSpec& font) { return font.bold ? kAdvance + 1 : kAdvance; }
};

}  // namespace

platform::IFontEngine& FallbackFontEngine() {
  static BoxFontEngine engine;
  return engine;
}

}  // namespace qv
