// Pixel geometry of the canvas, as pure functions the tests can call directly:
// which pixels a line, an ellipse, a pie slice or a polygon covers. Coordinates
// are device pixels; rectangles are right/bottom exclusive.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "toolkit/Types.h"

namespace qv::raster {

// Coordinates are clamped to this range before any geometry so that the
// arithmetic below cannot overflow, whatever a caller passes.
constexpr int kCoordinateLimit = 1 << 28;

constexpr int ClampCoordinate(long long v) {
  return static_cast<int>(std::clamp<long long>(v, -kCoordinateLimit, kCoordinateLimit));
}

// Visits the pixels of a line from `from` to `to` with the end point left out,
// in drawing order, calling visit(x, y, step) where `step` counts pixels from
// `from` (dash patterns follow it). At each step along the longer axis the other
// coordinate is the ideal line's value rounded to nearest, halves toward `to`.
// Only steps whose pixel can lie inside `window` are visited, so a very long
// line costs no more than its visible part. With includeEnd the end point is
// visited too (wide pens cap their lines).
template <typename Visit>
void VisitLine(TPoint from, TPoint to, const TRect& window, bool includeEnd, Visit visit) {
  const long long x0 = ClampCoordinate(from.X), y0 = ClampCoordinate(from.Y);
  const long long dx = ClampCoordinate(to.X) - x0, dy = ClampCoordinate(to.Y) - y0;
  const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const long long n = std::max(adx, ady);
  if (n == 0) {
    if (includeEnd && window.Contains(static_cast<int>(x0), static_cast<int>(y0)))
      visit(static_cast<int>(x0), static_cast<int>(y0), 0LL);
    return;
  }
  const bool xMajor = adx >= ady;
  const long long sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const long long sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const long long dMinor = xMajor ? ady : adx;
  const long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
  const long long lo = xMajor ? window.Left : window.Top;
  const long long hi = xMajor ? window.Right : window.Bottom;  // exclusive
  // Steps k whose major coordinate major0 + k * sMajor lies in [lo, hi).
  long long kFirst = 0, kLast = includeEnd ? n : n - 1;
  if (sMajor > 0) {
    kFirst = std::max(kFirst, lo - major0);
    kLast = std::min(kLast, hi - 1 - major0);
  } else {
    kFirst = std::max(kFirst, major0 - (hi - 1));
    kLast = std::min(kLast, major0 - lo);
  }
  for (long long k = kFirst; k <= kLast; ++k) {
    const long long minor = minor0 + sMinor * ((2 * k * dMinor + n) / (2 * n));
    const long long major = major0 + sMajor * k;
    const int x = static_cast<int>(xMajor ? major : minor);
    const int y = static_cast<int>(xMajor ? minor : major);
    if (window.Contains(x, y)) visit(x, y, k);
  }
}

// All pixels of a line (end point left out); convenience for tests.
std::vector<TPoint> LinePixels(TPoint from, TPoint to);

// Whether VisitLine(from, to, ..., includeEnd = true) visits (x, y); constant time.
bool OnLine(TPoint from, TPoint to, int x, int y);

// The pixels of an ellipse inscribed in a box, or of a pie slice of it. A pixel
// belongs when its centre lies inside the ellipse that touches the box's outer
// edges; the middle row(s) and column(s) always span the box, so even thin boxes
// reach all four sides. A slice runs counter-clockwise (as seen on screen) from
// the radial through `start` to the radial through `end`; equal directions give
// the whole ellipse. Its two radials are lines from the box's centre pixel to
// where they meet the ellipse; their pixels belong to the slice and its outline.
class EllipseRegion {
 public:
  explicit EllipseRegion(const TRect& box);
  EllipseRegion(const TRect& box, TPoint start, TPoint end);

  const TRect& Box() const { return box_; }
  bool Contains(int x, int y) const;
  // A pixel of the region with a 4-neighbour outside it: the one-pixel outline.
  bool OnBorder(int x, int y) const;

 private:
  bool InEllipse(long long x, long long y) const;
  bool InSector(long long x, long long y) const;
  bool OnRadial(int x, int y) const;
  TPoint ArcPixel(TPoint through) const;

  TRect box_;
  bool slice_ = false;
  long long startX_ = 0, startY_ = 0, endX_ = 0, endY_ = 0;  // doubled, y up, from the centre
  TPoint centre_, startArc_, endArc_;
};

// Horizontal pixel runs [x0, x1) of row y inside a polygon (alternating rule,
// pixel centres), for every row in [window.Top, window.Bottom).
struct Span {
  int y = 0, x0 = 0, x1 = 0;
};
std::vector<Span> PolygonSpans(const std::vector<TPoint>& points, const TRect& window);

}  // namespace qv::raster
