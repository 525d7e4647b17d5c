#include "platform/qt/QtFontEngine.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>

#include "platform/qt/QtPeers.h"
#include "platform/qt/QtText.h"

namespace qv::platform::qt {

namespace {

constexpr int kDefaultPixelSize = 11;
// Sizes beyond this are certainly mistakes; they would make enormous masks.
constexpr int kMaxPixelSize = 512;
constexpr std::size_t kMaxMaskPixels = std::size_t{64} << 20;
constexpr std::size_t kCacheLimit = 64;

int CellHeight(const QFont& font) {
  const QFontMetrics m(font);
  return m.ascent() + m.descent();
}

}  // namespace

QFont QtFontEngine::FontFor(const FontSpec& spec) {
  const Key key{spec.name, spec.height, spec.bold, spec.italic, spec.underline, spec.strikeOut};
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;

  QFont font;
  font.setFamilies(FamiliesFor(spec.name));
  font.setStyleHint(QFont::SansSerif);
  font.setHintingPreference(QFont::PreferFullHinting);  // crisp at the small sizes forms use
  font.setBold(spec.bold);
  font.setItalic(spec.italic);
  font.setUnderline(spec.underline);
  font.setStrikeOut(spec.strikeOut);
  if (spec.height < 0) {
    font.setPixelSize(std::clamp(-spec.height, 1, kMaxPixelSize));
  } else if (spec.height == 0) {
    font.setPixelSize(kDefaultPixelSize);
  } else {
    // A cell height: the largest pixel size whose ascent plus descent fits it.
    const int cell = std::min(spec.height, kMaxPixelSize);
    font.setPixelSize(cell);
    int size = std::max(1, cell * cell / std::max(1, CellHeight(font)));
    font.setPixelSize(size);
    while (size > 1 && CellHeight(font) > cell) font.setPixelSize(--size);
    while (size < kMaxPixelSize) {
      font.setPixelSize(size + 1);
      if (CellHeight(font) > cell) {
        font.setPixelSize(size);
        break;
      }
      ++size;
    }
  }
  if (cache_.size() >= kCacheLimit) cache_.clear();
  cache_.emplace(key, font);
  return font;
}

FontMetrics QtFontEngine::Metrics(const FontSpec& spec) {
  const QFontMetrics m(FontFor(spec));
  return FontMetrics{m.ascent(), m.descent(), m.ascent() + m.descent(), m.averageCharWidth()};
}

int QtFontEngine::TextWidth(const FontSpec& spec, std::string_view latin1) {
  if (latin1.empty()) return 0;
  const QFontMetrics m(FontFor(spec));
  return m.horizontalAdvance(TextToQt(latin1));
}

TextMask QtFontEngine::Render(const FontSpec& spec, std::string_view latin1) {
  TextMask mask;
  const QFont font = FontFor(spec);
  const QFontMetrics m(font);
  mask.width = TextWidth(spec, latin1);
  mask.height = m.ascent() + m.descent();
  if (mask.width <= 0 || mask.height <= 0 ||
      static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height) > kMaxMaskPixels) {
    return TextMask{};
  }
  // White text on a transparent image: the alpha of each pixel is its coverage.
  QImage image(mask.width, mask.height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(0, m.ascent(), TextToQt(latin1));
  }
  mask.coverage.resize(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height));
  for (int y = 0; y < mask.height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < mask.width; ++x) {
      mask.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.width) +
                    static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(qAlpha(row[x]));
    }
  }
  return mask;
}

}  // namespace qv::platform::qt
