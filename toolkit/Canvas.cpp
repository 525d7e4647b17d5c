#include "toolkit/Canvas.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/FontEngine.h"
#include "platform/Services.h"
#include "toolkit/FallbackFont.h"
#include "toolkit/Raster.h"

namespace qv {

namespace {

constexpr TColor kRgbMask = 0xFFFFFF;
constexpr std::uint8_t kRopSrcCopy = 0xCC;
constexpr int kMaxPenWidth = 1024;

TColor Resolve(TColor color) {
  return ColorToRGB(color) & kRgbMask;
}

int PositiveModulo(int value, int divisor) {
  const int m = value % divisor;
  return m < 0 ? m + divisor : m;
}

// Binary raster operation of a pen (P) on the pixel beneath (D).
TColor Rop2(TPenMode mode, TColor p, TColor d) {
  TColor r = 0;
  switch (mode) {
    case pmBlack: r = 0; break;
    case pmWhite: r = kRgbMask; break;
    case pmNop: r = d; break;
    case pmNot: r = ~d; break;
    case pmCopy: r = p; break;
    case pmNotCopy: r = ~p; break;
    case pmMergePenNot: r = p | ~d; break;
    case pmMaskPenNot: r = p & ~d; break;
    case pmMergeNotPen: r = ~p | d; break;
    case pmMaskNotPen: r = ~p & d; break;
    case pmMerge: r = p | d; break;
    case pmNotMerge: r = ~(p | d); break;
    case pmMask: r = p & d; break;
    case pmNotMask: r = ~(p & d); break;
    case pmXor: r = p ^ d; break;
    case pmNotXor: r = ~(p ^ d); break;
  }
  return r & kRgbMask;
}

// Ternary raster operation: bit (P<<2 | S<<1 | D) of `code` gives the result bit
// for that combination of pattern, source and destination bits.
TColor Rop3(std::uint8_t code, TColor p, TColor s, TColor d) {
  switch (code) {
    case 0xCC: return s;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x33: return ~s & kRgbMask;
    case 0x55: return ~d & kRgbMask;
    case 0x00: return 0;
    case 0xFF: return kRgbMask;
    case 0xF0: return p;
    default: break;
  }
  TColor r = 0;
  for (int i = 0; i < 8; ++i) {
    if ((code & (1u << i)) == 0) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r & kRgbMask;
}

bool Rop3ReadsDestination(std::uint8_t code) {
  return ((code ^ (code >> 1)) & 0x55) != 0;
}

// The brush colour at a device pixel: its colour, or its pattern tiled from the
// target's top-left pixel.
class BrushSource {
 public:
  explicit BrushSource(const TBrush& brush) : color_(Resolve(brush.Color())) {
    if (brush.Bitmap() != nullptr && !brush.Bitmap()->Empty()) pattern_ = brush.Bitmap();
  }
  bool Plain() const { return pattern_ == nullptr; }
  TColor Color() const { return color_; }
  TColor At(int x, int y) const {
    if (pattern_ == nullptr) return color_;
    return pattern_->PixelRGB(PositiveModulo(x, pattern_->Width()), PositiveModulo(y, pattern_->Height()));
  }

 private:
  TColor color_;
  const TBitmap* pattern_ = nullptr;
};

void PaintPixel(TBitmap& t, int x, int y, TColor p, TPenMode mode) {
  if (mode == pmCopy) {
    t.PutPixelRGB(x, y, p);
  } else if (mode != pmNop) {
    t.PutPixelRGB(x, y, Rop2(mode, p, t.PixelRGB(x, y)));
  }
}

// Paints [x0, x1) of row y, clipped to `clip`.
void PaintSpan(TBitmap& t, const TRect& clip, int y, int x0, int x1, TColor p, TPenMode mode) {
  if (y < clip.Top || y >= clip.Bottom) return;
  x0 = std::max(x0, clip.Left);
  x1 = std::min(x1, clip.Right);
  if (x0 >= x1) return;
  if (mode == pmCopy) {
    t.FillSpanRGB(y, x0, x1, p);
    return;
  }
  for (int x = x0; x < x1; ++x) PaintPixel(t, x, y, p, mode);
}

void PaintBrushSpan(TBitmap& t, const TRect& clip, int y, int x0, int x1, const BrushSource& b,
                    TPenMode mode) {
  if (b.Plain()) {
    PaintSpan(t, clip, y, x0, x1, b.Color(), mode);
    return;
  }
  if (y < clip.Top || y >= clip.Bottom) return;
  for (int x = std::max(x0, clip.Left); x < std::min(x1, clip.Right); ++x) {
    PaintPixel(t, x, y, b.At(x, y), mode);
  }
}

// On/off lengths of the styled one-pixel pens.
bool DashOn(TPenStyle style, long long step) {
  static constexpr std::array<int, 2> kDash = {18, 6};
  static constexpr std::array<int, 2> kDot = {3, 3};
  static constexpr std::array<int, 4> kDashDot = {9, 6, 3, 6};
  static constexpr std::array<int, 6> kDashDotDot = {9, 3, 3, 3, 3, 3};
  const int* lengths = nullptr;
  int count = 0;
  switch (style) {
    case psDash: lengths = kDash.data(), count = 2; break;
    case psDot: lengths = kDot.data(), count = 2; break;
    case psDashDot: lengths = kDashDot.data(), count = 4; break;
    case psDashDotDot: lengths = kDashDotDot.data(), count = 6; break;
    default: return true;
  }
  int period = 0;
  for (int i = 0; i < count; ++i) period += lengths[i];
  long long pos = step % period;
  for (int i = 0; i < count; ++i) {
    if (pos < lengths[i]) return (i % 2) == 0;
    pos -= lengths[i];
  }
  return true;
}

// Row extents [first, last] of a round pen tip `width` pixels across, in rows
// 0..width-1 of its box.
std::vector<std::pair<int, int>> PenTip(int width) {
  std::vector<std::pair<int, int>> rows(static_cast<std::size_t>(width));
  const long long w = width;
  for (int j = 0; j < width; ++j) {
    // Columns i with (2i - (w-1))^2 + (2j - (w-1))^2 <= w^2, in half pixels.
    const long long ey = 2LL * j - (w - 1);
    auto reach = static_cast<long long>(std::sqrt(static_cast<double>(w * w - ey * ey)));
    while (reach * reach > w * w - ey * ey) --reach;
    while ((reach + 1) * (reach + 1) <= w * w - ey * ey) ++reach;
    const long long first = (w - 1 - reach + 1) / 2;  // smallest i with 2i - (w-1) >= -reach
    const long long last = (w - 1 + reach) / 2;       // largest i with 2i - (w-1) <= reach
    rows[static_cast<std::size_t>(j)] = {static_cast<int>(first), static_cast<int>(last)};
  }
  return rows;
}

platform::IFontEngine& Engine() {
  platform::IFontEngine* engine = platform::Current().fonts;
  return engine != nullptr ? *engine : FallbackFontEngine();
}

TColor Blend(TColor over, TColor under, unsigned coverage) {
  const auto mix = [&](unsigned a, unsigned b) { return (a * coverage + b * (255 - coverage) + 127) / 255; };
  return RGB(static_cast<std::uint8_t>(mix(GetRValue(over), GetRValue(under))),
             static_cast<std::uint8_t>(mix(GetGValue(over), GetGValue(under))),
             static_cast<std::uint8_t>(mix(GetBValue(over), GetBValue(under))));
}

}  // namespace

platform::FontSpec ToFontSpec(const TFont& font) {
  platform::FontSpec spec;
  spec.name = font.Name();
  spec.height = font.Height();
  spec.bold = (font.Style() & fsBold) != 0;
  spec.italic = (font.Style() & fsItalic) != 0;
  spec.underline = (font.Style() & fsUnderline) != 0;
  spec.strikeOut = (font.Style() & fsStrikeOut) != 0;
  spec.color = Resolve(font.Color());
  return spec;
}

// Draws one resolved figure on the target; lives for one canvas call.
class CanvasPainter {
 public:
  explicit CanvasPainter(TCanvas& canvas)
      : canvas_(canvas),
        target_(canvas.target_),
        clip_(canvas.DeviceClip()),
        pen_(Resolve(canvas.pen_.Color())),
        mode_(canvas.pen_.Mode()),
        brush_(canvas.brush_),
        fill_(canvas.brush_.Style() != bsClear) {}

  bool Visible() const { return !clip_.IsEmpty(); }

  void Line(TPoint from, TPoint to) {
    if (from == to || canvas_.pen_.Style() == psClear) return;
    // Wider pens than this are certainly mistakes; they would only cost time.
    const int width = std::min(canvas_.pen_.Width(), kMaxPenWidth);
    if (width <= 1) {
      const TPenStyle style = canvas_.pen_.Style();
      raster::VisitLine(from, to, clip_, false, [&](int x, int y, long long step) {
        if (DashOn(style, step)) {
          PaintPixel(target_, x, y, pen_, mode_);
        } else if (fill_) {
          PaintPixel(target_, x, y, brush_.At(x, y), mode_);  // opaque gaps
        }
      });
      return;
    }
    WideLine(from, to, width);
  }

  // Pen outline `penWidth` thick inside `box`, brush inside that.
  void Frame(const TRect& box, int penWidth) {
    const int leftEnd = std::min(box.Left + penWidth, box.Right);
    const int rightStart = std::max(box.Right - penWidth, leftEnd);
    for (int y = std::max(box.Top, clip_.Top); y < std::min(box.Bottom, clip_.Bottom); ++y) {
      if (y < box.Top + penWidth || y >= box.Bottom - penWidth) {
        PaintSpan(target_, clip_, y, box.Left, box.Right, pen_, mode_);
        continue;
      }
      PaintSpan(target_, clip_, y, box.Left, leftEnd, pen_, mode_);
      if (fill_) PaintBrushSpan(target_, clip_, y, leftEnd, rightStart, brush_, mode_);
      PaintSpan(target_, clip_, y, rightStart, box.Right, pen_, mode_);
    }
  }

  void Fill(const TRect& box) {
    if (!fill_) return;
    for (int y = std::max(box.Top, clip_.Top); y < std::min(box.Bottom, clip_.Bottom); ++y) {
      PaintBrushSpan(target_, clip_, y, box.Left, box.Right, brush_, mode_);
    }
  }

  // Ellipse or slice: outline where the region meets the outside (thickened
  // inwards for wide pens), brush inside.
  void Region(const raster::EllipseRegion& outer, const raster::EllipseRegion& inner, int penWidth,
              bool outline) {
    const TRect box = outer.Box();
    const TRect area = Intersect(box, clip_);
    for (int y = area.Top; y < area.Bottom; ++y) {
      for (int x = area.Left; x < area.Right; ++x) {
        if (!outer.Contains(x, y)) continue;
        bool interior = !outline;
        if (outline) {
          interior = penWidth <= 1 ? !outer.OnBorder(x, y) : inner.Contains(x, y) && !inner.OnBorder(x, y);
        }
        if (!interior) {
          PaintPixel(target_, x, y, pen_, mode_);
        } else if (fill_) {
          PaintPixel(target_, x, y, brush_.At(x, y), mode_);
        }
      }
    }
  }

  void PolygonFill(const std::vector<TPoint>& points) {
    if (!fill_) return;
    for (const raster::Span& s : raster::PolygonSpans(points, clip_)) {
      PaintBrushSpan(target_, clip_, s.y, s.x0, s.x1, brush_, mode_);
    }
  }

 private:
  // A round pen moved along the line, end point included. The covered pixels of
  // each row form one run, so only the run's ends are tracked.
  void WideLine(TPoint from, TPoint to, int width) {
    const std::vector<std::pair<int, int>> tip = PenTip(width);
    const int half = width / 2;
    const TRect window =
        Rect(clip_.Left - width, clip_.Top - width, clip_.Right + width, clip_.Bottom + width);
    std::vector<std::pair<int, int>> rows(static_cast<std::size_t>(clip_.Height()), {INT_MAX, INT_MIN});
    raster::VisitLine(from, to, window, true, [&](int x, int y, long long) {
      for (int j = 0; j < width; ++j) {
        const int row = y - half + j;
        if (row < clip_.Top || row >= clip_.Bottom) continue;
        auto& r = rows[static_cast<std::size_t>(row - clip_.Top)];
        r.first = std::min(r.first, x - half + tip[static_cast<std::size_t>(j)].first);
        r.second = std::max(r.second, x - half + tip[static_cast<std::size_t>(j)].second);
      }
    });
    for (int i = 0; i < clip_.Height(); ++i) {
      const auto& r = rows[static_cast<std::size_t>(i)];
      if (r.first > r.second) continue;
      PaintSpan(target_, clip_, clip_.Top + i, r.first, r.second + 1, pen_, mode_);
    }
  }

  TCanvas& canvas_;
  TBitmap& target_;
  TRect clip_;
  TColor pen_;
  TPenMode mode_;
  BrushSource brush_;
  bool fill_;
};

// ---------------------------------------------------------------------------

TCanvas::TCanvas(TBitmap& target) : target_(target) {}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TPoint TCanvas::ToDevice(int x, int y) const {
  return Point(raster::ClampCoordinate(static_cast<long long>(x) + origin_.X),
               raster::ClampCoordinate(static_cast<long long>(y) + origin_.Y));
}

TRect TCanvas::DeviceClip() const {
  const TRect bounds = Rect(0, 0, target_.Width(), target_.Height());
  return clipped_ ? Intersect(clip_, bounds) : bounds;
}

TRect TCanvas::ClipRect() const {
  const TRect d = DeviceClip();
  if (d.IsEmpty()) return TRect{};
  return Rect(d.Left - origin_.X, d.Top - origin_.Y, d.Right - origin_.X, d.Bottom - origin_.Y);
}

void TCanvas::SetClipRect(const TRect& logical) {
  const TPoint a = ToDevice(logical.Left, logical.Top), b = ToDevice(logical.Right, logical.Bottom);
  clip_ = Rect(a.X, a.Y, b.X, b.Y);
  clipped_ = true;
}

void TCanvas::IntersectClipRect(const TRect& logical) {
  const TPoint a = ToDevice(logical.Left, logical.Top), b = ToDevice(logical.Right, logical.Bottom);
  const TRect current = clipped_ ? clip_ : Rect(INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2);
  clip_ = Intersect(current, Rect(a.X, a.Y, b.X, b.Y));
  clipped_ = true;
}

void TCanvas::SetViewport(const TRect& device) {
  origin_ = Point(device.Left, device.Top);
  clip_ = device;
  clipped_ = true;
}

void TCanvas::ResetViewport() {
  origin_ = TPoint{};
  clipped_ = false;
}

void TCanvas::RestoreViewport(const TCanvasViewport& v) {
  origin_ = v.origin;
  clipped_ = v.clipped;
  clip_ = v.clip;
}

void TCanvas::LineTo(int x, int y) {
  const TPoint from = ToDevice(penPos_.X, penPos_.Y), to = ToDevice(x, y);
  penPos_ = Point(x, y);
  CanvasPainter painter(*this);
  if (!painter.Visible()) return;
  painter.Line(from, to);
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  CanvasPainter painter(*this);
  if (!painter.Visible() || points.size() < 2) return;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    painter.Line(ToDevice(points[i].X, points[i].Y), ToDevice(points[i + 1].X, points[i + 1].Y));
  }
  Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  CanvasPainter painter(*this);
  if (!painter.Visible() || points.size() < 2) return;
  std::vector<TPoint> device;
  device.reserve(points.size());
  for (const TPoint& p : points) device.push_back(ToDevice(p.X, p.Y));
  painter.PolygonFill(device);
  // Closed outline: every segment leaves its end point, which the next one starts on.
  for (std::size_t i = 0; i < device.size(); ++i) {
    painter.Line(device[i], device[(i + 1) % device.size()]);
  }
  Changed();
}

void TCanvas::FillRect(const TRect& rect) {
  if (brush_.Style() == bsClear || rect.IsEmpty()) return;
  const TPoint a = ToDevice(rect.Left, rect.Top), b = ToDevice(rect.Right, rect.Bottom);
  const TRect area = Intersect(Rect(a.X, a.Y, b.X, b.Y), DeviceClip());
  const BrushSource brush(brush_);
  for (int y = area.Top; y < area.Bottom; ++y) {
    PaintBrushSpan(target_, area, y, area.Left, area.Right, brush, pmCopy);
  }
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  if (brush_.Style() == bsClear || rect.IsEmpty()) return;
  const TPoint a = ToDevice(rect.Left, rect.Top), b = ToDevice(rect.Right, rect.Bottom);
  const TRect clip = DeviceClip();
  const BrushSource brush(brush_);
  for (int y = std::max(a.Y, clip.Top); y < std::min(b.Y, clip.Bottom); ++y) {
    if (y == a.Y || y == b.Y - 1) {
      PaintBrushSpan(target_, clip, y, a.X, b.X, brush, pmCopy);
    } else {
      PaintBrushSpan(target_, clip, y, a.X, a.X + 1, brush, pmCopy);
      if (b.X - 1 > a.X) PaintBrushSpan(target_, clip, y, b.X - 1, b.X, brush, pmCopy);
    }
  }
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const TPoint a = ToDevice(std::min(x1, x2), std::min(y1, y2));
  const TPoint b = ToDevice(std::max(x1, x2), std::max(y1, y2));
  CanvasPainter painter(*this);
  if (!painter.Visible()) return;
  if (pen_.Style() == psClear) {
    painter.Fill(Rect(a.X, a.Y, b.X - 1, b.Y - 1));
  } else {
    painter.Frame(Rect(a.X, a.Y, b.X, b.Y), pen_.Width());
  }
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const TPoint a = ToDevice(std::min(x1, x2), std::min(y1, y2));
  const TPoint b = ToDevice(std::max(x1, x2), std::max(y1, y2));
  CanvasPainter painter(*this);
  if (!painter.Visible()) return;
  const bool outline = pen_.Style() != psClear;
  const TRect box = outline ? Rect(a.X, a.Y, b.X, b.Y) : Rect(a.X, a.Y, b.X - 1, b.Y - 1);
  const int inset = pen_.Width() - 1;
  const raster::EllipseRegion outer(box);
  const raster::EllipseRegion inner(
      Rect(box.Left + inset, box.Top + inset, box.Right - inset, box.Bottom - inset));
  painter.Region(outer, inner, pen_.Width(), outline);
  Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const TPoint a = ToDevice(std::min(x1, x2), std::min(y1, y2));
  const TPoint b = ToDevice(std::max(x1, x2), std::max(y1, y2));
  const TPoint start = ToDevice(x3, y3), end = ToDevice(x4, y4);
  CanvasPainter painter(*this);
  if (!painter.Visible()) return;
  const bool outline = pen_.Style() != psClear;
  const TRect box = outline ? Rect(a.X, a.Y, b.X, b.Y) : Rect(a.X, a.Y, b.X - 1, b.Y - 1);
  const int inset = pen_.Width() - 1;
  const raster::EllipseRegion outer(box, start, end);
  const raster::EllipseRegion inner(
      Rect(box.Left + inset, box.Top + inset, box.Right - inset, box.Bottom - inset), start, end);
  painter.Region(outer, inner, pen_.Width(), outline);
  Changed();
}

TColor TCanvas::Pixels(int x, int y) const {
  const TPoint p = ToDevice(x, y);
  if (!DeviceClip().Contains(p.X, p.Y)) return kInvalidColor;
  return target_.PixelRGB(p.X, p.Y);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  const TPoint p = ToDevice(x, y);
  if (!DeviceClip().Contains(p.X, p.Y)) return;
  target_.PutPixelRGB(p.X, p.Y, Resolve(color));
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  const TPoint a = source.ToDevice(sourceRect.Left, sourceRect.Top);
  const TPoint b = source.ToDevice(sourceRect.Right, sourceRect.Bottom);
  TBlitOptions options;
  options.mode = copyMode_;
  StretchBlit(dest, source.target_, Rect(a.X, a.Y, b.X, b.Y), options);
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty()) return;
  graphic->Draw(*this, Rect(x, y, x + graphic->Width(), y + graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& dest, TGraphic* graphic) {
  if (graphic == nullptr || graphic->Empty()) return;
  graphic->Draw(*this, dest);
}

void TCanvas::StretchBlit(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                          const TBlitOptions& options) {
  if (dest.IsEmpty() || sourceRect.IsEmpty() || source.Empty()) return;
  const TPoint d0 = ToDevice(dest.Left, dest.Top), d1 = ToDevice(dest.Right, dest.Bottom);
  const TRect dd = Rect(d0.X, d0.Y, d1.X, d1.Y);
  const TRect visible = Intersect(dd, DeviceClip());
  if (visible.IsEmpty()) return;

  // Copying within one bitmap reads from a snapshot so overlapping areas come
  // out as if copied in one go.
  TBitmap snapshot;
  const TBitmap* src = &source;
  if (src == &target_) {
    snapshot.Assign(&source);
    src = &snapshot;
  }
  const long long dw = dd.Width(), dh = dd.Height();
  const long long sw = sourceRect.Width(), sh = sourceRect.Height();
  const auto rop = static_cast<std::uint8_t>((options.mode >> 16) & 0xFF);
  const bool alpha = options.sourceAlpha && src->PixelFormat() == pf32bit;

  if (dw == sw && dh == sh && rop == kRopSrcCopy && !options.keyed && !alpha &&
      src->PixelFormat() == target_.PixelFormat() && src->BitsPerPixel() >= 24) {
    const std::size_t bpp = static_cast<std::size_t>(src->BitsPerPixel() / 8);
    for (int y = visible.Top; y < visible.Bottom; ++y) {
      const long long sy = sourceRect.Top + (y - dd.Top);
      if (sy < 0 || sy >= src->Height()) continue;
      const long long sx0 = std::max<long long>(sourceRect.Left + (visible.Left - dd.Left), 0);
      const long long sx1 = std::min<long long>(sourceRect.Left + (visible.Right - dd.Left), src->Width());
      if (sx0 >= sx1) continue;
      const long long x0 = dd.Left + (sx0 - sourceRect.Left);
      std::memcpy(target_.ScanLine(y) + static_cast<std::size_t>(x0) * bpp,
                  src->ScanLine(static_cast<int>(sy)) + static_cast<std::size_t>(sx0) * bpp,
                  static_cast<std::size_t>(sx1 - sx0) * bpp);
    }
    Changed();
    return;
  }

  const BrushSource pattern(brush_);
  const bool readsDest = Rop3ReadsDestination(rop);
  for (int y = visible.Top; y < visible.Bottom; ++y) {
    // Nearest source pixel to the centre of each target pixel.
    const long long sy = sourceRect.Top + ((2 * (y - dd.Top) + 1) * sh) / (2 * dh);
    if (sy < 0 || sy >= src->Height()) continue;
    const std::uint8_t* srcRow = src->ScanLine(static_cast<int>(sy));
    for (int x = visible.Left; x < visible.Right; ++x) {
      const long long sx = sourceRect.Left + ((2 * (x - dd.Left) + 1) * sw) / (2 * dw);
      if (sx < 0 || sx >= src->Width()) continue;
      const TColor s = src->PixelRGB(static_cast<int>(sx), static_cast<int>(sy));
      if (options.keyed && s == options.key) continue;
      if (alpha) {
        const unsigned a = srcRow[static_cast<std::size_t>(sx) * 4 + 3];
        target_.PutPixelRGB(x, y, Blend(s, target_.PixelRGB(x, y), a));
        continue;
      }
      const TColor d = readsDest ? target_.PixelRGB(x, y) : 0;
      target_.PutPixelRGB(x, y, Rop3(rop, pattern.At(x, y), s, d));
    }
  }
  Changed();
}

TSize TCanvas::TextExtent(std::string_view text) const {
  platform::IFontEngine& engine = Engine();
  const platform::FontSpec spec = ToFontSpec(font_);
  return TSize{text.empty() ? 0 : engine.TextWidth(spec, text), engine.Metrics(spec).height};
}

void TCanvas::DrawText(int x, int y, std::string_view text, bool fillBackground) {
  if (text.empty()) return;
  const platform::FontSpec spec = ToFontSpec(font_);
  const platform::TextMask mask = Engine().Render(spec, text);
  if (mask.width <= 0 || mask.height <= 0 ||
      mask.coverage.size() < static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height)) {
    return;
  }
  const TPoint p = ToDevice(x, y);
  const TRect area = Intersect(Rect(p.X, p.Y, p.X + mask.width, p.Y + mask.height), DeviceClip());
  if (area.IsEmpty()) return;
  if (fillBackground && brush_.Style() != bsClear) {
    const BrushSource brush(brush_);
    for (int row = area.Top; row < area.Bottom; ++row) {
      PaintBrushSpan(target_, area, row, area.Left, area.Right, brush, pmCopy);
    }
  }
  const TColor ink = spec.color;
  for (int row = area.Top; row < area.Bottom; ++row) {
    for (int col = area.Left; col < area.Right; ++col) {
      const unsigned coverage = mask.At(col - p.X, row - p.Y);
      if (coverage == 0) continue;
      target_.PutPixelRGB(col, row, coverage >= 255 ? ink : Blend(ink, target_.PixelRGB(col, row), coverage));
    }
  }
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  DrawText(x, y, text, true);
  penPos_ = Point(x + TextWidth(text), y);
  Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, std::string_view text) {
  const TCanvasViewport saved = SaveViewport();
  IntersectClipRect(rect);
  if (brush_.Style() != bsClear) FillRect(rect);
  DrawText(x, y, text, false);  // the rectangle is already filled
  RestoreViewport(saved);
  Changed();
}

}  // namespace qv
