#include "toolkit/Raster.h"

#include <cmath>

namespace qv::raster {

namespace {

// Products of doubled coordinates (up to 2^30) and box sizes need more than 64 bits.
__extension__ typedef __int128 Int128;

Int128 Cross(long long ax, long long ay, long long bx, long long by) {
  return static_cast<Int128>(ax) * by - static_cast<Int128>(ay) * bx;
}

Int128 Dot(long long ax, long long ay, long long bx, long long by) {
  return static_cast<Int128>(ax) * bx + static_cast<Int128>(ay) * by;
}

TRect ClampBox(const TRect& box) {
  return Rect(ClampCoordinate(box.Left), ClampCoordinate(box.Top), ClampCoordinate(box.Right),
              ClampCoordinate(box.Bottom));
}

}  // namespace

std::vector<TPoint> LinePixels(TPoint from, TPoint to) {
  std::vector<TPoint> points;
  const TRect everywhere = Rect(-kCoordinateLimit, -kCoordinateLimit, kCoordinateLimit, kCoordinateLimit);
  VisitLine(from, to, everywhere, false, [&](int x, int y, long long) { points.push_back(Point(x, y)); });
  return points;
}

bool OnLine(TPoint from, TPoint to, int x, int y) {
  const long long x0 = ClampCoordinate(from.X), y0 = ClampCoordinate(from.Y);
  const long long dx = ClampCoordinate(to.X) - x0, dy = ClampCoordinate(to.Y) - y0;
  const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const long long n = std::max(adx, ady);
  if (n == 0) return x == x0 && y == y0;
  const bool xMajor = adx >= ady;
  const long long sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const long long sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const long long dMinor = xMajor ? ady : adx;
  const long long k = ((xMajor ? x : y) - (xMajor ? x0 : y0)) * sMajor;
  if (k < 0 || k > n) return false;
  const long long minor = (xMajor ? y0 : x0) + sMinor * ((2 * k * dMinor + n) / (2 * n));
  return (xMajor ? y : x) == minor;
}

// ---------------------------------------------------------------------------
// EllipseRegion

EllipseRegion::EllipseRegion(const TRect& box) : box_(ClampBox(box)) {}

EllipseRegion::EllipseRegion(const TRect& box, TPoint start, TPoint end) : box_(ClampBox(box)) {
  const long long cx2 = static_cast<long long>(box_.Left) + box_.Right;
  const long long cy2 = static_cast<long long>(box_.Top) + box_.Bottom;
  startX_ = 2LL * ClampCoordinate(start.X) - cx2;
  startY_ = cy2 - 2LL * ClampCoordinate(start.Y);
  endX_ = 2LL * ClampCoordinate(end.X) - cx2;
  endY_ = cy2 - 2LL * ClampCoordinate(end.Y);
  const bool degenerate = (startX_ == 0 && startY_ == 0) || (endX_ == 0 && endY_ == 0);
  const bool sameDirection =
      Cross(startX_, startY_, endX_, endY_) == 0 && Dot(startX_, startY_, endX_, endY_) > 0;
  slice_ = !degenerate && !sameDirection;
  if (slice_ && !box_.IsEmpty()) {
    centre_ = Point(static_cast<int>(cx2 >> 1), static_cast<int>(cy2 >> 1));
    startArc_ = ArcPixel(start);
    endArc_ = ArcPixel(end);
  }
}

// The pixel where the ray from the centre through `through` leaves the ellipse.
TPoint EllipseRegion::ArcPixel(TPoint through) const {
  const double cx = (static_cast<double>(box_.Left) + box_.Right) / 2;
  const double cy = (static_cast<double>(box_.Top) + box_.Bottom) / 2;
  const double a = (static_cast<double>(box_.Right) - box_.Left) / 2;
  const double b = (static_cast<double>(box_.Bottom) - box_.Top) / 2;
  const double dx = ClampCoordinate(through.X) - cx, dy = ClampCoordinate(through.Y) - cy;
  const double s = 1.0 / std::sqrt((dx / a) * (dx / a) + (dy / b) * (dy / b));
  // A ray that ends exactly on a pixel edge must not drop into the pixel before
  // it through rounding: the flat side of a half ellipse stays on its row.
  constexpr double kEdge = 1e-9;
  const auto x = static_cast<long long>(std::floor(cx + s * dx + kEdge));
  const auto y = static_cast<long long>(std::floor(cy + s * dy + kEdge));
  return Point(static_cast<int>(std::clamp<long long>(x, box_.Left, box_.Right - 1LL)),
               static_cast<int>(std::clamp<long long>(y, box_.Top, box_.Bottom - 1LL)));
}

bool EllipseRegion::OnRadial(int x, int y) const {
  return slice_ && (OnLine(centre_, startArc_, x, y) || OnLine(centre_, endArc_, x, y));
}

bool EllipseRegion::InEllipse(long long x, long long y) const {
  if (x < box_.Left || x >= box_.Right || y < box_.Top || y >= box_.Bottom) return false;
  const long long w = static_cast<long long>(box_.Right) - box_.Left;
  const long long h = static_cast<long long>(box_.Bottom) - box_.Top;
  // Offsets of the pixel centre from the box centre, in half pixels.
  const long long ex = 2 * x + 1 - (static_cast<long long>(box_.Left) + box_.Right);
  const long long ey = 2 * y + 1 - (static_cast<long long>(box_.Top) + box_.Bottom);
  if (ex >= -1 && ex <= 1) return true;  // middle column(s)
  if (ey >= -1 && ey <= 1) return true;  // middle row(s)
  const Int128 ww = static_cast<Int128>(w) * w, hh = static_cast<Int128>(h) * h;
  return static_cast<Int128>(ex) * ex * hh + static_cast<Int128>(ey) * ey * ww <= ww * hh;
}

bool EllipseRegion::InSector(long long x, long long y) const {
  if (!slice_) return true;
  const long long px = 2 * x + 1 - (static_cast<long long>(box_.Left) + box_.Right);
  const long long py = (static_cast<long long>(box_.Top) + box_.Bottom) - (2 * y + 1);
  if (px == 0 && py == 0) return true;
  // Counter-clockwise angle from the start radial, compared exactly: first by
  // half turn, then by the sign of the cross product within the half.
  const auto half = [&](long long ux, long long uy) {
    const Int128 c = Cross(startX_, startY_, ux, uy);
    return (c > 0 || (c == 0 && Dot(startX_, startY_, ux, uy) > 0)) ? 0 : 1;
  };
  const int hp = half(px, py), he = half(endX_, endY_);
  if (hp != he) return hp < he;
  return Cross(px, py, endX_, endY_) >= 0;
}

bool EllipseRegion::Contains(int x, int y) const {
  return InEllipse(x, y) && (InSector(x, y) || OnRadial(x, y));
}

bool EllipseRegion::OnBorder(int x, int y) const {
  if (!Contains(x, y)) return false;
  return OnRadial(x, y) || !Contains(x - 1, y) || !Contains(x + 1, y) || !Contains(x, y - 1) ||
         !Contains(x, y + 1);
}

// ---------------------------------------------------------------------------
// Polygons

std::vector<Span> PolygonSpans(const std::vector<TPoint>& points, const TRect& window) {
  std::vector<Span> spans;
  const std::size_t n = points.size();
  if (n < 3 || window.IsEmpty()) return spans;
  int top = kCoordinateLimit, bottom = -kCoordinateLimit;
  for (const TPoint& p : points) {
    top = std::min(top, ClampCoordinate(p.Y));
    bottom = std::max(bottom, ClampCoordinate(p.Y));
  }
  top = std::max(top, window.Top);
  bottom = std::min(bottom, window.Bottom);
  std::vector<double> crossings;
  for (int y = top; y < bottom; ++y) {
    const double yc = y + 0.5;
    crossings.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const double xa = ClampCoordinate(points[i].X), ya = ClampCoordinate(points[i].Y);
      const double xb = ClampCoordinate(points[(i + 1) % n].X);
      const double yb = ClampCoordinate(points[(i + 1) % n].Y);
      if (ya == yb) continue;
      if (yc < std::min(ya, yb) || yc >= std::max(ya, yb)) continue;
      crossings.push_back(xa + (yc - ya) * (xb - xa) / (yb - ya));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
      // Pixels whose centre lies in [left, right).
      const long long x0 = static_cast<long long>(std::ceil(crossings[i] - 0.5));
      const long long x1 = static_cast<long long>(std::ceil(crossings[i + 1] - 0.5));
      const int a = static_cast<int>(std::max<long long>(x0, window.Left));
      const int b = static_cast<int>(std::min<long long>(x1, window.Right));
      if (a < b) spans.push_back({y, a, b});
    }
  }
  return spans;
}

}  // namespace qv::raster
