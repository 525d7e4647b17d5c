#include "widgets/Gauges.h"

#include <climits>
#include <cmath>

#include "toolkit/Extended.h"

namespace qv {

namespace {

constexpr int kDefaultSize = 100;
constexpr Extended kPi = 3.141592653589793238462643383279502884L;
// Pie: two percent of a half turn per percent, starting a quarter turn round
// from three o'clock, i.e. at twelve o'clock.
constexpr Extended kPieTurnsPerPercent = 0.02L;
constexpr Extended kPieStartTurns = 0.5L;
constexpr char kRangeMessage[] = "Value must be between %lld and %lld";
constexpr char kPercentPattern[] = "%d%%";

void FillSolid(TCanvas& canvas, const TRect& rect, TColor color) {
  canvas.Brush().SetColor(color);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(rect);
}

void SetOutline(TCanvas& canvas, TColor pen, TColor brush) {
  canvas.Pen().SetColor(pen);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetMode(pmCopy);
  canvas.Brush().SetColor(brush);
  canvas.Brush().SetStyle(bsSolid);
}

// Combines `source` into `target` by exclusive-or of the pixel values.
void XorInto(TBitmap& target, const TBitmap& source) {
  TBlitOptions options;
  options.mode = cmSrcInvert;
  const TRect all = Rect(0, 0, source.Width(), source.Height());
  target.Canvas().StretchBlit(all, source, all, options);
}

// An off-screen image of the given size and pixel format, cleared to black.
void ClearToBlack(TBitmap& image) {
  FillSolid(image.Canvas(), Rect(0, 0, image.Width(), image.Height()), clBlack);
}

}  // namespace

int GaugeShare(int percent, int length) {
  const Extended fraction = static_cast<Extended>(percent) * kExtendedHundredth;
  return static_cast<int>(TruncExtended(static_cast<Extended>(length) * fraction));
}

void TBltBitmap::MakeLike(const TBitmap& pattern) {
  SetPixelFormat(pattern.PixelFormat());
  SetSize(pattern.Width(), pattern.Height());
  FillSolid(Canvas(), Rect(0, 0, Width(), Height()), clWindowFrame);
}

TGauge::TGauge(TComponent* owner) : TGraphicControl(owner) {
  width_ = kDefaultSize;
  height_ = kDefaultSize;
  color_ = clWindow;
}

void TGauge::SetKind(TGaugeKind value) {
  if (value == kind_) return;
  kind_ = value;
  Repaint();
}

void TGauge::SetShowText(bool value) {
  if (value == showText_) return;
  showText_ = value;
  Repaint();
}

void TGauge::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Repaint();
}

void TGauge::SetForeColor(TColor value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  Repaint();
}

void TGauge::SetBackColor(TColor value) {
  if (value == backColor_) return;
  backColor_ = value;
  Repaint();
}

void TGauge::SetMinValue(std::int32_t value) {
  if (value == minValue_) return;
  if (value > maxValue_) {
    // Bounds are formed in 64 bits so that a maximum of INT_MIN cannot wrap.
    throw EInvalidOperation(
        Format(kRangeMessage, static_cast<long long>(-INT_MAX), static_cast<long long>(maxValue_) - 1));
  }
  minValue_ = value;
  if (progress_ < minValue_) progress_ = minValue_;
  Repaint();
}

void TGauge::SetMaxValue(std::int32_t value) {
  if (value == maxValue_) return;
  if (value < minValue_) {
    throw EInvalidOperation(
        Format(kRangeMessage, static_cast<long long>(minValue_) + 1, static_cast<long long>(INT_MAX)));
  }
  maxValue_ = value;
  if (progress_ > maxValue_) progress_ = maxValue_;
  Repaint();
}

void TGauge::SetProgress(std::int32_t value) {
  const int before = PercentFilled();
  if (value < minValue_) value = minValue_;
  if (value > maxValue_) value = maxValue_;
  if (value == progress_) return;
  progress_ = value;
  if (PercentFilled() != before) Repaint();
}

int TGauge::PercentFilled() const {
  const std::int64_t span = static_cast<std::int64_t>(maxValue_) - minValue_;
  if (span == 0) return 0;
  return static_cast<int>((static_cast<std::int64_t>(progress_) - minValue_) * 100 / span);
}

TRect TGauge::FaceRect() const {
  if (borderStyle_ == TBorderStyle::bsSingle) return Rect(1, 1, width_ - 1, height_ - 1);
  return Rect(0, 0, width_, height_);
}

void TGauge::PaintHorizontalBar(TCanvas& canvas, const TRect& face) const {
  FillSolid(canvas, face, backColor_);
  const int wf = face.Right - face.Left + 1;
  const int hf = face.Bottom - face.Top + 1;
  int n = GaugeShare(PercentFilled(), wf);
  if (n > wf) n = wf;
  // The bar's right edge is n itself and its bottom Hf, not offsets from the
  // face: with a frame the bar shows n - 1 columns, and a full bar fills the face.
  if (n > 0) FillSolid(canvas, Rect(face.Left, face.Top, n, hf), foreColor_);
}

void TGauge::PaintVerticalBar(TCanvas& canvas, const TRect& face) const {
  FillSolid(canvas, face, backColor_);
  const int wf = face.Right - face.Left + 1;
  const int hf = face.Bottom - face.Top + 1;
  int n = GaugeShare(PercentFilled(), hf);
  if (n >= hf) n = hf - 1;
  // Grows up from row Hf, which lies one below the face without a frame: there
  // n - 1 rows show and a full bar leaves the top row in BackColor.
  FillSolid(canvas, Rect(face.Left, hf - n, wf, hf), foreColor_);
}

void TGauge::PaintPie(TCanvas& canvas, const TRect& face) const {
  FillSolid(canvas, face, color_);
  const int wp = RoundExtent(face.Right - face.Left);
  const int hp = RoundExtent(face.Bottom - face.Top);
  SetOutline(canvas, foreColor_, backColor_);
  canvas.Ellipse(face.Left, face.Top, wp, hp);
  const int percent = PercentFilled();
  if (percent <= 0) return;
  const int mx = wp / 2, my = hp / 2;
  const double angle =
      static_cast<double>((static_cast<Extended>(percent) * kPieTurnsPerPercent + kPieStartTurns) * kPi);
  const auto x3 = static_cast<int>(RoundExtended(mx * (1.0L - std::cos(static_cast<Extended>(angle)))));
  const auto y3 = static_cast<int>(RoundExtended(my * (1.0L - std::sin(static_cast<Extended>(angle)))));
  // On a small face a low percentage can round onto the twelve o'clock radial
  // itself; a slice from a radial to the same radial is the whole disc, which
  // would show a nearly empty gauge as full. Such a sliver is too thin to draw.
  if (x3 == mx && y3 == 0 && percent < 50) return;
  canvas.Brush().SetColor(foreColor_);
  canvas.Pie(face.Left, face.Top, wp, hp, x3, y3, mx, 0);
}

void TGauge::PaintNeedle(TCanvas& canvas, const TRect& face) const {
  FillSolid(canvas, face, color_);
  const int wn = RoundExtent(face.Right - face.Left);
  const int hn = RoundExtent(face.Bottom - face.Top);
  const int base = face.Bottom - 1;
  SetOutline(canvas, foreColor_, backColor_);
  // The upper half of an ellipse whose flat side lies on the base row.
  canvas.Pie(face.Left, face.Top, wn, 2 * hn - 1, face.Left + wn, base, face.Left, base);
  canvas.MoveTo(face.Left, face.Bottom);
  canvas.LineTo(face.Left + wn, face.Bottom);
  const int percent = PercentFilled();
  if (percent <= 0) return;
  const int mx = width_ / 2;
  const double angle = static_cast<double>(static_cast<Extended>(percent) * kExtendedHundredth * kPi);
  const auto tipX = static_cast<int>(RoundExtended(mx * (1.0L - std::cos(static_cast<Extended>(angle)))));
  const auto tipY = static_cast<int>(RoundExtended(base * (1.0L - std::sin(static_cast<Extended>(angle)))));
  canvas.MoveTo(mx, base);
  canvas.LineTo(tipX, tipY);
}

void TGauge::PaintFace(TCanvas& canvas, const TRect& face) const {
  // The frame is black whatever the face draws: a needle's base line or tip
  // would otherwise land on it with a coloured ForeColor.
  const TCanvasViewport saved = canvas.SaveViewport();
  canvas.IntersectClipRect(face);
  switch (kind_) {
    case gkText: FillSolid(canvas, face, backColor_); break;
    case gkHorizontalBar: PaintHorizontalBar(canvas, face); break;
    case gkVerticalBar: PaintVerticalBar(canvas, face); break;
    case gkPie: PaintPie(canvas, face); break;
    case gkNeedle: PaintNeedle(canvas, face); break;
  }
  canvas.RestoreViewport(saved);
}

void TGauge::PaintText(TBitmap& image, const TRect& face) const {
  TBltBitmap textImage;
  textImage.MakeLike(image);
  ClearToBlack(textImage);
  const std::string text = Format(kPercentPattern, PercentFilled());
  TCanvas& canvas = textImage.Canvas();
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().Assign(font_);
  canvas.Font().SetColor(clWhite);
  const TSize extent = canvas.TextExtent(text);
  // Centred on the face's size, but used as image coordinates directly.
  const int x = (face.Right - face.Left + 1 - extent.cx) / 2;
  const int y = (face.Bottom - face.Top + 1 - extent.cy) / 2;
  canvas.TextRect(face, x, y, text);
  // Exclusive-or shows the text inverted over whatever lies beneath it.
  XorInto(image, textImage);
}

void TGauge::Paint(TCanvas& canvas) {
  if (width_ <= 0 || height_ <= 0) return;
  TBitmap image;
  // The surfaces it is shown on are 32-bit: the final copy is a block move.
  image.SetPixelFormat(pf32bit);
  image.SetSize(width_, height_);
  ClearToBlack(image);
  const TRect face = FaceRect();

  TBltBitmap faceImage;
  faceImage.MakeLike(image);
  ClearToBlack(faceImage);
  PaintFace(faceImage.Canvas(), face);
  XorInto(image, faceImage);

  if (showText_) PaintText(image, face);

  const TRect all = Rect(0, 0, width_, height_);
  canvas.StretchBlit(all, image, all, TBlitOptions{});
}

}  // namespace qv
