// A strip-chart display in the manner of an oscilloscope.
//
// The scope keeps an off-screen image of its whole area. The grid and the
// baseline are drawn into it once; after that every tick of its own timer
// scrolls the image two pixels to the left and draws only the freshly exposed
// two-pixel strip at the right edge (background, grid pieces, baseline, the next
// piece of the trace), so a step costs one block copy plus a thin strip however
// wide the scope is. An exposed scope is restored by one copy of the image.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "toolkit/Controls.h"
#include "toolkit/Timer.h"

namespace qv {

// Pixel row of a percentage of a control's height: 0 % is row `height` (just
// below the bottom edge), 100 % row 0. Computed in extended precision with ties
// to even, which puts 50 % of 113 rows on row 57. Not clamped to the control:
// values beyond 0..100 give rows outside it, which drawing clips away (the
// result is only limited far outside any bitmap so it cannot overflow).
int ScopeRow(int height, std::int32_t percent);

class TScope : public TGraphicControl {
 public:
  explicit TScope(TComponent* owner);
  ~TScope() override;

  // Height of the baseline in percent of the control's height. Every assignment
  // redraws the whole picture (wiping the trace) once construction is over.
  std::int32_t Baseline() const { return baseline_; }
  void SetBaseline(std::int32_t value);
  // Grid spacing in pixels, kept even (15 is stored as 14, -3 as -2). A spacing
  // of 0 or below is stored as given but draws no grid at all: the grid loops
  // would never end with it, and an empty grid is the only honest picture of it.
  std::int32_t Gridsize() const { return gridsize_; }
  void SetGridsize(std::int32_t value);
  // Whether the scope steps. Switching on while running keeps the timer's phase;
  // switching off keeps the picture and the trace state, so the trace resumes.
  // Raises EOutOfResources when the platform refuses a timer; Active is then
  // left as it was.
  bool Active() const { return active_; }
  void SetActive(bool value);
  // The value plotted at the next step, in percent of the height. Stored only:
  // nothing is drawn until that step. Safe to assign from any thread.
  std::int32_t Position() const { return position_.load(std::memory_order_relaxed); }
  void SetPosition(std::int32_t value) { position_.store(value, std::memory_order_relaxed); }
  // Step period in units of 10 ms; 0 (or a negative value) stops the stepping.
  // Restarts the timer's phase. When the platform refuses the timer the new
  // value stays stored, EOutOfResources is raised and the timer is left off
  // until Active is assigned true again.
  std::int32_t Interval() const { return interval_; }
  void SetInterval(std::int32_t value);

  // The scope's own colours (background, grid, trace, baseline). Stored only:
  // the next full redraw or the next steps use them, so a change scrolls in.
  // The background hides the base control's colour on purpose: the scope never
  // shows that one.
  TColor Color() const { return color_; }
  void SetColor(TColor value) { color_ = value; }
  TColor Gridcolor() const { return gridcolor_; }
  void SetGridcolor(TColor value) { gridcolor_ = value; }
  TColor Linecolor() const { return linecolor_; }
  void SetLinecolor(TColor value) { linecolor_ = value; }
  TColor Basecolor() const { return basecolor_; }
  void SetBasecolor(TColor value) { basecolor_ = value; }

  // Called at the end of every step, after the repaint, with the scope as sender.
  TNotifyEvent OnUpdate;

  // Fills the picture with the background, draws the whole grid and the
  // baseline, and restarts the trace from the baseline.
  void RedrawGrid();
  // One step of the chart: what the timer runs on every tick.
  void ScrollStep();

  // Shows the off-screen image unchanged on `canvas` (origin at the control's
  // top-left), first bringing the image to the control's size.
  void Paint(TCanvas& canvas) override;

  // The off-screen image and the trace state. Drawing into the image directly
  // shows at the next paint and scrolls away like the scope's own drawing.
  const TBitmap& Buffer() const { return *buffer_; }
  TBitmap& Buffer() { return *buffer_; }
  bool Ready() const { return ready_; }
  int BaselineRow() const { return baselineRow_; }
  int PrevY() const { return prevY_; }
  int LastY() const { return lastY_; }
  int GridPhase() const { return gridPhase_; }
  const TTimer& Timer() const { return *timer_; }

 protected:
  void Loaded() override;
  void BoundsChanged() override;

 private:
  // Gives the image the control's size: the old picture stays at the top-left,
  // new area takes the background of the last full redraw.
  void FitBuffer();
  // Shifts the whole image two columns to the left (overlap-safe).
  void ScrollImageLeft();
  // Re-arms the timer as Active says; on refusal turns it off and raises.
  void EnableTimer(bool on);
  unsigned TimerPeriodMs() const;
  bool HasGrid() const { return gridsize_ > 0; }
  // Horizontal grid lines from column x1 to x2 on every row G apart from the baseline.
  void DrawHorizontalGrid(TCanvas& canvas, int x1, int x2) const;

  // Declaration order is destruction order reversed: the timer goes before the
  // image it draws into.
  bool ready_ = false;
  std::unique_ptr<TBitmap> buffer_;
  std::unique_ptr<TTimer> timer_;
  bool active_ = false;
  TColor color_ = clBlack;
  TColor gridcolor_ = clGreen;
  TColor linecolor_ = clLime;
  TColor basecolor_ = clRed;
  std::int32_t baseline_ = 50;
  std::int32_t gridsize_ = 16;
  std::atomic<std::int32_t> position_{50};
  std::int32_t interval_ = 50;
  int prevY_ = 0;
  int lastY_ = 0;
  int baselineRow_ = 0;
  int gridPhase_ = 1;
};

}  // namespace qv
