// Costs of the instrument widgets at their working sizes: a scope step, a
// gauge repaint, and Progress updates that leave the percentage unchanged.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <memory>

#include "platform/Services.h"
#include "platform/WindowSystem.h"
#include "toolkit/Controls.h"
#include "widgets/Gauges.h"
#include "widgets/Scope.h"

namespace qv {
namespace {

// A trace that keeps moving, so every step draws a sloped segment.
int TracePosition(std::int64_t step) {
  static const std::array<int, 64> table = [] {
    std::array<int, 64> t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = 50 + static_cast<int>(40 * std::sin(i * 0.35));
    return t;
  }();
  return table[static_cast<std::size_t>(step) % table.size()];
}

std::unique_ptr<TScope> MakeScope(int width, int height) {
  auto scope = std::make_unique<TScope>(nullptr);
  scope->SetBounds(0, 0, width, height);
  scope->SetGridsize(14);
  scope->SetGridcolor(clSilver);
  return scope;
}

// Gives every pixel its own colour, steps once and counts which pixels the
// step wrote: those that no longer hold the colour the block copy brought.
struct StepFootprint {
  std::int64_t strip = 0;        // the two new columns
  std::int64_t traceRedraw = 0;  // the two columns left of them: the first trace segment
  std::int64_t elsewhere = 0;    // anything else (must be 0)
};

StepFootprint MeasureStep(TScope& scope) {
  TBitmap& image = scope.Buffer();
  const int w = image.Width(), h = image.Height();
  const auto unique = [](int x, int y) { return static_cast<TColor>(0x100000 + y * 4096 + x); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.PutPixelRGB(x, y, unique(x, y));
  scope.ScrollStep();
  StepFootprint f;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool copied = x < w - 2 && image.PixelRGB(x, y) == unique(x + 2, y);
      if (copied) continue;
      if (x >= w - 2)
        ++f.strip;
      else if (x >= w - 4)
        ++f.traceRedraw;
      else
        ++f.elsewhere;
    }
  }
  return f;
}

void BM_ScopeStep(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  auto scope = MakeScope(w, h);
  for (int i = 0; i < 20; ++i) scope->ScrollStep();  // a running trace
  std::int64_t step = 0;
  for (auto _ : state) {
    scope->SetPosition(TracePosition(++step));
    scope->ScrollStep();
    benchmark::ClobberMemory();
  }
  const StepFootprint f = MeasureStep(*scope);
  state.counters["px_strip"] = static_cast<double>(f.strip);
  state.counters["px_trace_redraw"] = static_cast<double>(f.traceRedraw);
  state.counters["px_elsewhere"] = static_cast<double>(f.elsewhere);
  state.counters["px_copied"] = static_cast<double>(static_cast<std::int64_t>(w - 2) * h);
}
BENCHMARK(BM_ScopeStep)->Args({233, 113})->Args({1920, 200})->Unit(benchmark::kMicrosecond);

// The step plus the one copy of the image to a 32-bit surface, as the parent's
// paint does it.
void BM_ScopeStepAndShow(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  auto scope = MakeScope(w, h);
  TBitmap surface;
  surface.SetPixelFormat(pf32bit);
  surface.SetSize(w, h);
  std::int64_t step = 0;
  for (auto _ : state) {
    scope->SetPosition(TracePosition(++step));
    scope->ScrollStep();
    scope->Paint(surface.Canvas());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScopeStepAndShow)->Args({233, 113})->Args({1920, 200})->Unit(benchmark::kMicrosecond);

// A peer that paints at once, so a repaint costs what it costs on screen.
class PaintingPeer : public platform::IWindowPeer {
 public:
  explicit PaintingPeer(platform::IPeerEvents* events) : events_(events) {}
  void SetBounds(int, int, int, int) override {}
  void SetVisible(bool) override {}
  void SetEnabled(bool) override {}
  void Invalidate(const platform::PeerRect& area) override { dirty_ = true, area_ = area; }
  void Update() override {
    if (dirty_) events_->PeerPaint(area_);
    dirty_ = false;
  }
  void SetFocus() override {}
  bool Focused() const override { return false; }
  void SetFont(const platform::FontSpec&) override {}
  void SetColors(std::uint32_t, std::uint32_t) override {}
  void SetHint(const std::string&) override {}
  void SetText(const std::string&) override {}
  void BringToFront() override {}

 private:
  platform::IPeerEvents* events_;
  bool dirty_ = false;
  platform::PeerRect area_;
};

class PaintingWindowSystem : public platform::IWindowSystem {
 public:
  std::unique_ptr<platform::IWindowPeer> CreatePeer(platform::PeerKind, platform::IWindowPeer*,
                                                    platform::IPeerEvents* events) override {
    return std::make_unique<PaintingPeer>(events);
  }
  int ScreenWidth() const override { return 1024; }
  int ScreenHeight() const override { return 768; }
  void SetApplicationTitle(const std::string&) override {}
  int PopupMenu(platform::IWindowPeer*, int, int, const std::vector<platform::MenuEntry>&) override {
    return -1;
  }
};

// The main window's gauge on its 33 x 65 panel.
struct GaugeOnPanel {
  GaugeOnPanel() {
    platform::Current().windows = &windows;
    panel.SetBounds(0, 0, 33, 65);
    panel.HandleNeeded();
    gauge.SetParent(&panel);
    gauge.SetBounds(3, 3, 27, 59);
    gauge.SetKind(gkVerticalBar);
    gauge.SetShowText(false);
    gauge.SetBorderStyle(TBorderStyle::bsNone);
    gauge.SetForeColor(RGB(255, 0, 82));
    gauge.SetBackColor(RGB(214, 223, 239));
  }
  ~GaugeOnPanel() {
    gauge.SetParent(nullptr);
    platform::Current().windows = nullptr;
  }
  PaintingWindowSystem windows;
  TWinControl panel{nullptr};
  TGauge gauge{nullptr};
};

void BM_GaugeRepaint(benchmark::State& state) {
  GaugeOnPanel setup;
  TBitmap surface;
  surface.SetPixelFormat(pf32bit);
  surface.SetSize(27, 59);
  int progress = 0;
  for (auto _ : state) {
    setup.gauge.SetProgress(progress = (progress + 7) % 101);
    setup.gauge.Paint(surface.Canvas());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GaugeRepaint)->Unit(benchmark::kMicrosecond);

// 1000 assignments per iteration. range(0) = 0: the percentage never changes
// (50.000 .. 50.999 of 100000 is always 50 %); 1: every one changes it.
void BM_Gauge1000Progress(benchmark::State& state) {
  GaugeOnPanel setup;
  setup.gauge.SetMaxValue(100000);
  const bool changing = state.range(0) != 0;
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) setup.gauge.SetProgress(changing ? (i % 2) * 100000 : 50000 + i);
  }
  state.SetLabel(changing ? "percentage changes" : "percentage unchanged");
}
BENCHMARK(BM_Gauge1000Progress)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qv

BENCHMARK_MAIN();
