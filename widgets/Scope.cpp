#include "widgets/Scope.h"

#include <climits>
#include <cstring>

#include "toolkit/Extended.h"
#include "toolkit/Raster.h"

namespace qv {

namespace {

constexpr int kDefaultWidth = 208;
constexpr int kDefaultHeight = 120;
constexpr std::int32_t kDefaultBaseline = 50;
constexpr std::int32_t kDefaultGridsize = 16;
constexpr std::int32_t kDefaultInterval = 50;  // 500 ms
constexpr unsigned kInitialTimerPeriodMs = 500;
constexpr unsigned kMsPerIntervalUnit = 10;
// Every step moves the picture this many columns to the left.
constexpr int kStepColumns = 2;

}  // namespace

int ScopeRow(int height, std::int32_t percent) {
  // H x 0.01 first, then x p, each rounded in extended precision: the factor
  // lies a hair below 1/100, so exact halves land just below .5 and round down.
  const Extended unit = static_cast<Extended>(height) * kExtendedHundredth;
  const std::int64_t offset = RoundExtended(unit * static_cast<Extended>(percent));
  return raster::ClampCoordinate(static_cast<std::int64_t>(height) - offset);
}

TScope::TScope(TComponent* owner)
    : TGraphicControl(owner),
      buffer_(std::make_unique<TBitmap>()),
      timer_(std::make_unique<TTimer>(nullptr)) {
  // The image is shown on 32-bit surfaces; keeping it in their format makes
  // the copy to the screen a plain block move.
  buffer_->SetPixelFormat(pf32bit);
  TCanvas& canvas = buffer_->Canvas();
  canvas.Brush().SetColor(clBlack);
  canvas.Brush().SetStyle(bsSolid);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);

  timer_->SetEnabled(false);
  timer_->SetInterval(kInitialTimerPeriodMs);
  timer_->SetOnTimer([this](TObject*) { ScrollStep(); });

  // ready_ is still false: the setters store their values but draw nothing.
  SetBounds(left_, top_, kDefaultWidth, kDefaultHeight);
  SetBaseline(kDefaultBaseline);
  SetGridsize(kDefaultGridsize);
  SetInterval(kDefaultInterval);
  ready_ = true;
}

TScope::~TScope() {
  // A tick must never reach a half-destroyed scope: the timer goes first.
  timer_.reset();
  buffer_.reset();
}

void TScope::Loaded() {
  TGraphicControl::Loaded();
  ready_ = true;
}

void TScope::SetBaseline(std::int32_t value) {
  baseline_ = value;
  baselineRow_ = ScopeRow(height_, baseline_);
  if (!ready_) return;
  RedrawGrid();
  if (parent_ != nullptr) Repaint();
}

void TScope::SetGridsize(std::int32_t value) {
  gridsize_ = (value / 2) * 2;  // truncates toward zero: -3 becomes -2
  if (!ready_) return;
  RedrawGrid();
  if (parent_ != nullptr) Repaint();
}

unsigned TScope::TimerPeriodMs() const {
  if (interval_ <= 0) return 0;  // a negative period cannot run; treat it as stopped
  const std::int64_t ms = static_cast<std::int64_t>(interval_) * kMsPerIntervalUnit;
  return ms > UINT_MAX ? UINT_MAX : static_cast<unsigned>(ms);
}

void TScope::EnableTimer(bool on) {
  try {
    timer_->SetEnabled(on);
  } catch (...) {
    // The refused timer would otherwise count as enabled and never be asked
    // for again; switched off, the next attempt really asks the platform.
    timer_->SetEnabled(false);
    throw;
  }
}

void TScope::SetActive(bool value) {
  baselineRow_ = ScopeRow(height_, baseline_);
  // The period always matches Interval already, so a running timer keeps its phase.
  timer_->SetInterval(TimerPeriodMs());
  EnableTimer(value);  // raises before Active changes
  active_ = value;
}

void TScope::SetInterval(std::int32_t value) {
  timer_->SetEnabled(false);
  baselineRow_ = ScopeRow(height_, baseline_);
  interval_ = value;
  timer_->SetInterval(TimerPeriodMs());
  EnableTimer(active_);  // raises after Interval is stored
}

void TScope::FitBuffer() {
  // SetSize keeps the image at the top-left and fills new area with the
  // canvas brush, which holds the background of the last full redraw.
  buffer_->SetSize(width_, height_);
}

void TScope::BoundsChanged() {
  TGraphicControl::BoundsChanged();
  FitBuffer();
  // Only a form editor wants the grid to follow every drag; at run time the
  // picture scrolls into the new size by itself.
  if (IsDesigning() && ready_) RedrawGrid();
}

void TScope::DrawHorizontalGrid(TCanvas& canvas, int x1, int x2) const {
  // The lines lie every G rows above and below the baseline, the baseline row
  // itself excepted. Walking only the rows inside the image gives the same
  // pixels as stepping out from the baseline, without running through millions
  // of invisible rows when the baseline lies far outside.
  const std::int64_t g = gridsize_;
  const std::int64_t base = baselineRow_;
  for (std::int64_t y = ((base % g) + g) % g; y < height_; y += g) {
    if (y == base) continue;
    canvas.MoveTo(x1, static_cast<int>(y));
    canvas.LineTo(x2, static_cast<int>(y));
  }
}

void TScope::RedrawGrid() {
  FitBuffer();
  const int w = width_, h = height_;
  baselineRow_ = ScopeRow(h, baseline_);
  TCanvas& canvas = buffer_->Canvas();
  canvas.Brush().SetColor(color_);  // stays the fill colour for later resizes
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(Rect(0, 0, w, h));

  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetMode(pmCopy);
  canvas.Pen().SetWidth(1);
  if (HasGrid()) {
    canvas.Pen().SetColor(gridcolor_);
    for (std::int64_t x = w; x > 0; x -= gridsize_) {
      canvas.MoveTo(static_cast<int>(x - 1), 0);
      canvas.LineTo(static_cast<int>(x - 1), h);
    }
    DrawHorizontalGrid(canvas, 0, w);
  }
  canvas.Pen().SetColor(basecolor_);
  canvas.MoveTo(0, baselineRow_);
  canvas.LineTo(w, baselineRow_);

  prevY_ = lastY_ = baselineRow_;
  gridPhase_ = 1;
}

void TScope::ScrollImageLeft() {
  const int w = buffer_->Width(), h = buffer_->Height();
  if (w <= kStepColumns || h <= 0) return;
  const std::size_t bytesPerPixel = static_cast<std::size_t>(buffer_->BitsPerPixel() / 8);
  const std::size_t shift = kStepColumns * bytesPerPixel;
  const std::size_t keep = static_cast<std::size_t>(w - kStepColumns) * bytesPerPixel;
  // Rows are independent, so moving each row within itself is overlap-safe
  // and avoids the snapshot a general self-copy needs.
  std::uint8_t* bits = buffer_->Bits();
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = bits + static_cast<std::size_t>(y) * buffer_->RowStride();
    std::memmove(row, row + shift, keep);
  }
  buffer_->Modified();
}

void TScope::ScrollStep() {
  FitBuffer();
  const int w = width_, h = height_;
  TCanvas& canvas = buffer_->Canvas();
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetMode(pmCopy);
  canvas.Pen().SetColor(gridcolor_);

  ScrollImageLeft();

  // Background strip: a two-pixel pen on the last column covers the last two.
  canvas.Pen().SetColor(color_);
  canvas.Pen().SetWidth(kStepColumns);
  canvas.MoveTo(w - 1, 0);
  canvas.LineTo(w - 1, h);

  canvas.Pen().SetColor(gridcolor_);
  canvas.Pen().SetWidth(1);
  if (HasGrid()) {
    // The picture moves two columns per step, so a vertical line every G/2
    // steps keeps the lines exactly G apart.
    if (gridsize_ / 2 == gridPhase_) {
      canvas.MoveTo(w - 1, 0);
      canvas.LineTo(w - 1, h);
      gridPhase_ = 0;
    }
    ++gridPhase_;
    DrawHorizontalGrid(canvas, w - kStepColumns, w);
  }

  canvas.Pen().SetColor(basecolor_);
  canvas.MoveTo(w - kStepColumns, baselineRow_);
  canvas.LineTo(w, baselineRow_);

  // The first segment redraws the part of the previous one that the blanking
  // wiped; the second adds the new piece.
  canvas.Pen().SetColor(linecolor_);
  const int newY = ScopeRow(h, Position());
  canvas.MoveTo(w - 2 * kStepColumns, prevY_);
  canvas.LineTo(w - kStepColumns, lastY_);
  canvas.LineTo(w, newY);
  prevY_ = lastY_;
  lastY_ = newY;

  Repaint();
  if (OnUpdate) OnUpdate(this);
}

void TScope::Paint(TCanvas& canvas) {
  FitBuffer();
  const TRect all = Rect(0, 0, width_, height_);
  canvas.StretchBlit(all, *buffer_, all, TBlitOptions{});
  ready_ = true;
}

}  // namespace qv
