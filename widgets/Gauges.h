// A progress gauge: a value between a minimum and a maximum shown as a bar,
// a pie, a needle dial or a bare face, optionally with the percentage over it.
//
// Every paint renders the whole picture off-screen from the properties alone
// and shows it with one copy, so the control never flickers through
// intermediate states and keeps no picture between paints.
#pragma once

#include <cstdint>

#include "toolkit/Controls.h"
#include "toolkit/ExtCtrls.h"  // TBorderStyle

namespace qv {

enum TGaugeKind : std::uint8_t { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

// Whole pixels of an extent `length` that `percent` covers: trunc(n x (p x 0.01))
// in extended precision. The factor lies a hair below 1/100, so results that
// ought to be whole numbers often truncate one lower: share(10, 60) is 5.
int GaugeShare(int percent, int length);

// A bitmap that can take the size of another one in a single call.
class TBltBitmap : public TBitmap {
 public:
  // Takes the template's size (and pixel format, so images combine with plain
  // block moves) and fills the whole bitmap with the window-frame colour.
  void MakeLike(const TBitmap& pattern);
};

class TGauge : public TGraphicControl {
 public:
  explicit TGauge(TComponent* owner);

  TGaugeKind Kind() const { return kind_; }
  void SetKind(TGaugeKind value);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);

  // The range. A minimum above the maximum (or a maximum below the minimum)
  // raises EInvalidOperation "Value must be between %d and %d" and changes
  // nothing; equal ends are accepted. Progress follows a range that moves past it.
  std::int32_t MinValue() const { return minValue_; }
  void SetMinValue(std::int32_t value);
  std::int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int32_t value);
  // Clamped into the range, never fails. Repaints only when the whole-number
  // percentage changes, so frequent small updates cost nothing.
  std::int32_t Progress() const { return progress_; }
  void SetProgress(std::int32_t value);
  // (Progress - MinValue) x 100 / span, truncated; 0 when the span is 0.
  int PercentFilled() const;

  // The face rectangle: the whole control, less a one-pixel frame with bsSingle.
  TRect FaceRect() const;

  void Paint(TCanvas& canvas) override;

 private:
  void PaintFace(TCanvas& canvas, const TRect& face) const;
  void PaintHorizontalBar(TCanvas& canvas, const TRect& face) const;
  void PaintVerticalBar(TCanvas& canvas, const TRect& face) const;
  void PaintPie(TCanvas& canvas, const TRect& face) const;
  void PaintNeedle(TCanvas& canvas, const TRect& face) const;
  void PaintText(TBitmap& image, const TRect& face) const;
  // Extent of the face for the round kinds: one more with a frame.
  int RoundExtent(int length) const { return borderStyle_ == TBorderStyle::bsSingle ? length + 1 : length; }

  std::int32_t minValue_ = 0;
  std::int32_t maxValue_ = 100;
  std::int32_t progress_ = 0;
  TGaugeKind kind_ = gkHorizontalBar;
  bool showText_ = true;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
};

}  // namespace qv
