#include "history/Chart.h"

#include <algorithm>
#include <ctime>

#include "toolkit/Canvas.h"

namespace qv::history {

namespace {

constexpr TColor kBackground = 0x00FFFFFF;
constexpr TColor kPlotBackground = 0x00FCFAF8;
constexpr TColor kAxis = 0x00404040;
constexpr TColor kGrid = 0x00E0E0E0;
constexpr TColor kText = 0x00202020;
constexpr TColor kRange = 0x00F0C8A0;      // light blue: lowest to highest round trip
constexpr TColor kMean = 0x00A05010;       // dark blue: the mean of a column
constexpr TColor kOutage = 0x00C8C8FF;     // light red band
constexpr TColor kFailed = 0x000000D0;     // red ticks below the plot
constexpr TColor kNoData = 0x00B0B0B0;     // grey hatching
constexpr TColor kStart = 0x00C06000;      // program starts
constexpr TColor kLogChange = 0x00008000;  // log-file changes

constexpr std::int64_t kTickSteps[] = {
    60'000,           300'000,           600'000,          1'800'000,  3'600'000,
    3 * 3'600'000,    6 * 3'600'000,     12 * 3'600'000,   86'400'000, 2 * 86'400'000LL,
    7 * 86'400'000LL, 14 * 86'400'000LL, 28 * 86'400'000LL};

void SetFont(TCanvas& canvas, int height, bool bold) {
  canvas.Font().SetName("DejaVu Sans");
  canvas.Font().SetHeight(-height);
  canvas.Font().SetColor(kText);
  canvas.Font().SetStyle(bold ? TFontStyles{fsBold} : TFontStyles{});
  canvas.Brush().SetStyle(bsClear);
}

void Fill(TCanvas& canvas, const TRect& rect, TColor color) {
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(color);
  canvas.FillRect(rect);
}

void Line(TCanvas& canvas, int x1, int y1, int x2, int y2, TColor color, int width = 1) {
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetColor(color);
  canvas.Pen().SetWidth(width);
  canvas.MoveTo(x1, y1);
  canvas.LineTo(x2, y2);
}

std::int32_t NiceCeiling(std::int32_t value) {
  std::int32_t magnitude = 1;
  while (magnitude * 10 <= value) magnitude *= 10;
  for (const std::int32_t step : {1, 2, 5, 10})
    if (step * magnitude >= value) return step * magnitude;
  return 10 * magnitude;
}

// Local midnight-aligned tick times for steps of a day or more, else whole
// steps of local time.
std::int64_t FirstTick(std::int64_t fromMs, std::int64_t step) {
  const std::time_t seconds = static_cast<std::time_t>(fromMs / 1000);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  const std::int64_t offsetMs = static_cast<std::int64_t>(tm.tm_gmtoff) * 1000;
  const std::int64_t local = fromMs + offsetMs;
  const std::int64_t aligned = (local + step - 1) / step * step;
  return aligned - offsetMs;
}

std::string TickLabel(std::int64_t wallMs, std::int64_t step) {
  const std::string full = LocalTime(wallMs);  // "YYYY-MM-DD HH:MM:SS"
  if (step >= 86'400'000) return full.substr(5, 5);
  if (full.substr(11, 5) == "00:00") return full.substr(5, 5);
  return full.substr(11, 5);
}

}  // namespace

std::int32_t ChartScaleTop(const SpanStats& stats) {
  if (!stats.roundTrip) return 10;
  // Room for the usual values; rare peaks above are clipped and marked.
  const std::int32_t usual = std::min(stats.roundTrip->maxMs, stats.roundTrip->p95Ms * 2);
  return NiceCeiling(std::max<std::int32_t>(10, usual + usual / 10));
}

Chart::Chart(ReportSpan span, int width, int height) : span_(span), width_(width), height_(height) {
  columns_.resize(static_cast<std::size_t>(std::max(1, PlotRight() - PlotLeft())));
}

int Chart::ColumnOf(std::int64_t wallMs) const {
  const std::int64_t length = std::max<std::int64_t>(1, span_.toMs - span_.fromMs);
  const std::int64_t n = static_cast<std::int64_t>(columns_.size());
  return static_cast<int>(std::clamp<std::int64_t>((wallMs - span_.fromMs) * n / length, 0, n - 1));
}

void Chart::Add(const HistoryRecord& r) {
  if (r.time.wallMs < span_.fromMs || r.time.wallMs >= span_.toMs) return;
  if (r.kind != HistoryKind::kEcho) {
    marks_.push_back({r.time.wallMs, r.kind});
    return;
  }
  Column& c = columns_[static_cast<std::size_t>(ColumnOf(r.time.wallMs))];
  if (!r.Reply()) {
    ++c.failed;
    return;
  }
  c.minMs = c.replies == 0 ? r.roundTripMs : std::min(c.minMs, r.roundTripMs);
  c.maxMs = c.replies == 0 ? r.roundTripMs : std::max(c.maxMs, r.roundTripMs);
  c.sumMs += r.roundTripMs;
  ++c.replies;
}

void Chart::Draw(TBitmap& bitmap, const SpanStats& stats) const {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width_, height_);
  TCanvas canvas(bitmap);
  const int left = PlotLeft(), top = PlotTop(), right = PlotRight(), bottom = PlotBottom();
  Fill(canvas, Rect(0, 0, width_, height_), kBackground);
  Fill(canvas, Rect(left, top, right, bottom), kPlotBackground);

  // Outages and gaps first, so the trace lies on top of them.
  auto x = [&](std::int64_t wallMs) { return left + ColumnOf(wallMs); };
  for (const Outage& o : stats.outages)
    Fill(canvas, Rect(x(o.startWallMs), top, std::max(x(o.endWallMs), x(o.startWallMs) + 1) + 1, bottom),
         kOutage);
  // Before the first record and after the last there is no data either.
  std::vector<Gap> gaps = stats.gaps;
  const std::int64_t edge = ModelOptions{}.noDataAfterMs;
  const std::int64_t first = stats.firstWallMs.value_or(span_.toMs),
                     last = stats.lastWallMs.value_or(span_.fromMs);
  if (first - span_.fromMs > edge) gaps.push_back({span_.fromMs, first});
  if (span_.toMs - last > edge && last >= span_.fromMs) gaps.push_back({last, span_.toMs});
  for (const Gap& g : gaps) {
    const int x1 = x(g.fromWallMs) + 1, x2 = x(g.toWallMs);
    for (int d = top - (x2 - x1); d < bottom; d += 6) {
      // Diagonal hatching, clipped to the gap.
      for (int px = x1; px < x2; ++px) {
        const int py = d + (px - x1);
        if (py >= top && py < bottom) canvas.SetPixels(px, py, kNoData);
      }
    }
    Line(canvas, x1, top, x1, bottom, kNoData);
    Line(canvas, x2, top, x2, bottom, kNoData);
  }

  const std::int32_t scaleTop = ChartScaleTop(stats);
  auto y = [&](double ms) {
    const double f = std::clamp(ms / scaleTop, 0.0, 1.0);
    return bottom - 1 - static_cast<int>(f * (bottom - top - 1));
  };
  SetFont(canvas, 12, false);
  for (int i = 0; i <= 5; ++i) {
    const std::int32_t ms = scaleTop * i / 5;
    const int py = y(ms);
    if (i > 0) Line(canvas, left, py, right, py, kGrid);
    const std::string label = std::to_string(ms);
    canvas.TextOut(left - 8 - canvas.TextWidth(label), py - canvas.TextHeight(label) / 2, label);
  }

  // Time ticks: the smallest step that leaves room for the labels.
  const std::int64_t length = std::max<std::int64_t>(1, span_.toMs - span_.fromMs);
  std::int64_t step = kTickSteps[std::size(kTickSteps) - 1];
  for (const std::int64_t s : kTickSteps)
    if (length / s <= (right - left) / 90) {
      step = s;
      break;
    }
  for (std::int64_t t = FirstTick(span_.fromMs, step); t < span_.toMs; t += step) {
    const int px = x(t);
    Line(canvas, px, top, px, bottom, kGrid);
    Line(canvas, px, bottom, px, bottom + 5, kAxis);
    const std::string label = TickLabel(t, step);
    canvas.TextOut(px - canvas.TextWidth(label) / 2, bottom + 18, label);
  }

  // The trace: per column the range of round trips and their mean.
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const Column& c = columns_[i];
    const int px = left + static_cast<int>(i);
    if (c.failed > 0) Line(canvas, px, bottom + 1, px, bottom + 7, kFailed);
    if (c.replies == 0) continue;
    Line(canvas, px, y(c.maxMs), px, y(c.minMs) + 1, kRange);
    const int my = y(c.sumMs / c.replies);
    Line(canvas, px, my - 1, px, my + 2, kMean);
    if (c.maxMs > scaleTop) Line(canvas, px, top, px, top + 4, kFailed);
  }
  for (const auto& m : marks_) {
    const int px = x(m.wallMs);
    if (m.kind == HistoryKind::kLogChange)
      Line(canvas, px, top - 14, px, top - 2, kLogChange, 2);
    else
      Line(canvas, px, top - 26, px, top - 14, kStart, 2);
  }

  canvas.Brush().SetStyle(bsClear);
  canvas.Pen().SetColor(kAxis);
  canvas.Pen().SetWidth(1);
  canvas.Rectangle(left - 1, top - 1, right + 1, bottom + 1);

  // Title, the span's figures, the axis name and the legend.
  SetFont(canvas, 15, true);
  std::string title = "Round trip";
  if (stats.destinations.size() == 1) title += " to " + stats.destinations.front();
  title += ", " + LocalTime(span_.fromMs).substr(0, 16) + " to " + LocalTime(span_.toMs).substr(0, 16);
  canvas.TextOut(left, 8, title);
  SetFont(canvas, 12, false);
  std::string figures = std::to_string(stats.cycles) + " cycles";
  figures += ", loss " + PercentText(stats.lossPercent);
  figures += ", " + std::to_string(stats.outages.size()) + " outages";
  if (!stats.outages.empty()) figures += " (longest " + Duration(stats.longestOutageMs) + ")";
  canvas.TextOut(right - canvas.TextWidth(figures), 12, figures);
  canvas.TextOut(8, top - 20, "ms");

  int lx = left;
  const int ly = height_ - 22;
  auto legend = [&](TColor color, const std::string& text, bool tick) {
    if (tick)
      Line(canvas, lx + 6, ly, lx + 6, ly + 12, color, 2);
    else
      Fill(canvas, Rect(lx, ly + 1, lx + 14, ly + 13), color);
    canvas.Brush().SetStyle(bsClear);
    canvas.TextOut(lx + 20, ly, text);
    lx += 20 + canvas.TextWidth(text) + 28;
  };
  legend(kRange, "round trip, lowest to highest", false);
  legend(kMean, "mean", false);
  legend(kOutage, "outage", false);
  legend(kNoData, "no data", false);
  legend(kFailed, "failed cycle", true);
  legend(kStart, "program start", true);
  legend(kLogChange, "log-file change", true);
}

}  // namespace qv::history
