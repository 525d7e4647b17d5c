// The report's picture: round trips over the span, outages shaded, gaps
// without data hatched, program starts and log-file changes as ticks. Drawn
// with the toolkit's raster, one column of pixels per slice of time, so a
// span of any length takes the same memory.
#pragma once

#include <cstdint>
#include <vector>

#include "history/ReportFormats.h"
#include "history/Statistics.h"
#include "toolkit/Bitmap.h"

namespace qv::history {

class Chart {
 public:
  static constexpr int kWidth = 1600;
  static constexpr int kHeight = 600;

  explicit Chart(ReportSpan span, int width = kWidth, int height = kHeight);
  void Add(const HistoryRecord& record);
  // Draws into `bitmap` (sized here, 24 bits per pixel).
  void Draw(TBitmap& bitmap, const SpanStats& stats) const;

  // Where the plot lies in the picture, and the column of a time.
  int PlotLeft() const { return kLeft; }
  int PlotTop() const { return kTop; }
  int PlotRight() const { return width_ - kRight; }
  int PlotBottom() const { return height_ - kBottom; }
  int ColumnOf(std::int64_t wallMs) const;

 private:
  static constexpr int kLeft = 72, kRight = 24, kTop = 56, kBottom = 72;

  struct Column {
    std::int32_t replies = 0, failed = 0;
    std::int32_t minMs = 0, maxMs = 0;
    double sumMs = 0;
  };
  struct Mark {
    std::int64_t wallMs;
    HistoryKind kind;
  };

  ReportSpan span_;
  int width_, height_;
  std::vector<Column> columns_;
  std::vector<Mark> marks_;
};

// The top of the round-trip scale: a round number above most of the values.
std::int32_t ChartScaleTop(const SpanStats& stats);

}  // namespace qv::history
