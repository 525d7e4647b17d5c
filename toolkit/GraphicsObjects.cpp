#include "toolkit/GraphicsObjects.h"

#include <cstdlib>
#include <utility>

namespace qv {

namespace {

// a * b / c rounded to nearest, halves away from zero (the customary way sizes in
// points and pixels are converted into each other).
int MulDivRound(int a, int b, int c) {
  if (c == 0) return 0;
  const long long n = static_cast<long long>(a) * b;
  const long long q = (std::llabs(n) * 2 + std::llabs(c)) / (2 * std::llabs(static_cast<long long>(c)));
  return static_cast<int>(((n < 0) != (c < 0)) ? -q : q);
}

}  // namespace

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------
// TPen

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width < 1) width = 1;
  if (width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TPen::SetMode(TPenMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  Changed();
}

void TPen::Assign(const TPen& other) {
  if (&other == this) return;
  color_ = other.color_;
  width_ = other.width_;
  style_ = other.style_;
  mode_ = other.mode_;
  Changed();
}

// ---------------------------------------------------------------------------
// TBrush

void TBrush::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TBrush::SetBitmap(TBitmap* pattern) {
  if (pattern == bitmap_) return;
  bitmap_ = pattern;
  if (pattern != nullptr) style_ = bsSolid;
  Changed();
}

void TBrush::Assign(const TBrush& other) {
  if (&other == this) return;
  color_ = other.color_;
  style_ = other.style_;
  bitmap_ = other.bitmap_;
  Changed();
}

// ---------------------------------------------------------------------------
// TFont

void TFont::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

int TFont::Size() const {
  return -MulDivRound(height_, 72, pixelsPerInch_);
}

void TFont::SetSize(int points) {
  SetHeight(-MulDivRound(points, pixelsPerInch_, 72));
}

void TFont::SetPixelsPerInch(int ppi) {
  if (ppi <= 0 || ppi == pixelsPerInch_) return;
  pixelsPerInch_ = ppi;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::Assign(const TFont& other) {
  if (&other == this || other == *this) return;
  name_ = other.name_;
  height_ = other.height_;
  pixelsPerInch_ = other.pixelsPerInch_;
  color_ = other.color_;
  style_ = other.style_;
  Changed();
}

}  // namespace qv
