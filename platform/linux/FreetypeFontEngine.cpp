#include "platform/linux/FreetypeFontEngine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>

namespace qv::platform {

struct FreetypeFontEngine::Face {
  FT_Face face = nullptr;
  FontMetrics metrics;
};

namespace {

FT_Library Library(void* p) {
  return static_cast<FT_Library>(p);
}

// The font file fontconfig offers for a family and style; empty when none.
std::string MatchFile(const std::string& family, bool bold, bool italic) {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8* path = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
    file = reinterpret_cast<const char*>(path);
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return file;
}

}  // namespace

FreetypeFontEngine::FreetypeFontEngine() {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) library_ = library;
}

FreetypeFontEngine::~FreetypeFontEngine() {
  for (auto& [key, face] : faces_) {
    if (face->face != nullptr) FT_Done_Face(face->face);
    delete face;
  }
  if (library_ != nullptr) FT_Done_FreeType(Library(library_));
}

FreetypeFontEngine::Face* FreetypeFontEngine::FaceFor(const FontSpec& font) {
  if (library_ == nullptr) return nullptr;
  const auto key = std::make_tuple(font.name, font.bold, font.italic, font.height);
  if (const auto it = faces_.find(key); it != faces_.end())
    return it->second->face != nullptr ? it->second : nullptr;
  auto* entry = new Face;
  faces_[key] = entry;
  const std::string file = MatchFile(font.name, font.bold, font.italic);
  if (file.empty() || FT_New_Face(Library(library_), file.c_str(), 0, &entry->face) != 0) {
    entry->face = nullptr;
    return nullptr;
  }
  FT_Face face = entry->face;
  // A negative height is the characters' height in pixels, a positive one
  // the whole cell's, as the canvas asks for them.
  int pixels = std::max(1, std::abs(font.height));
  if (font.height > 0 && face->units_per_EM > 0 && face->ascender - face->descender > 0)
    pixels = std::max(1, font.height * face->units_per_EM / (face->ascender - face->descender));
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  FontMetrics& m = entry->metrics;
  m.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  m.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  m.height = m.ascent + m.descent;
  m.averageCharWidth = TextWidth(font, "x");
  return entry;
}

bool FreetypeFontEngine::Finds(const FontSpec& font) {
  return FaceFor(font) != nullptr;
}

FontMetrics FreetypeFontEngine::Metrics(const FontSpec& font) {
  Face* face = FaceFor(font);
  if (face != nullptr) return face->metrics;
  const int h = std::max(1, std::abs(font.height));
  return FontMetrics{h, 0, h, h / 2};
}

int FreetypeFontEngine::TextWidth(const FontSpec& font, std::string_view latin1) {
  Face* face = FaceFor(font);
  if (face == nullptr) return 0;
  long width = 0;
  for (char c : latin1) {
    // Latin-1 bytes are the first 256 code points.
    if (FT_Load_Char(face->face, static_cast<unsigned char>(c), FT_LOAD_DEFAULT) == 0)
      width += face->face->glyph->advance.x;
  }
  return static_cast<int>((width + 63) >> 6);
}

TextMask FreetypeFontEngine::Render(const FontSpec& font, std::string_view latin1) {
  Face* face = FaceFor(font);
  if (face == nullptr) return {};
  TextMask mask;
  mask.width = TextWidth(font, latin1);
  mask.height = face->metrics.height;
  mask.coverage.assign(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height), 0);
  long pen = 0;
  for (char c : latin1) {
    if (FT_Load_Char(face->face, static_cast<unsigned char>(c), FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->face->glyph;
    const int left = static_cast<int>(pen >> 6) + g->bitmap_left;
    const int top = face->metrics.ascent - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row) {
      const int y = top + static_cast<int>(row);
      if (y < 0 || y >= mask.height) continue;
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const int x = left + static_cast<int>(col);
        if (x < 0 || x >= mask.width) continue;
        std::uint8_t& cell =
            mask.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.width) +
                          static_cast<std::size_t>(x)];
        cell = std::max(cell, g->bitmap.buffer[static_cast<long>(row) * g->bitmap.pitch + col]);
      }
    }
    pen += g->advance.x;
  }
  return mask;
}

}  // namespace qv::platform
