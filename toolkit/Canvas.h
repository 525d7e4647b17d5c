// TCanvas: pixel-exact drawing on a TBitmap with pen, brush and font.
//
// Geometry follows the customary raster rules: (0, 0) is the top-left pixel,
// rectangles are right/bottom exclusive, a line leaves its end point unpainted,
// Rectangle and Ellipse keep their outline inside the box. An origin offset and
// a clip rectangle let a parent paint a windowless child translated and clipped
// on its own surface. Text goes through the process's font engine.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/WindowSystem.h"
#include "toolkit/Bitmap.h"
#include "toolkit/GraphicsObjects.h"
#include "toolkit/Types.h"

namespace qv {

// Block-transfer raster operations (the customary codes: bits 16..23 are the
// truth table over pattern, source and destination).
using TCopyMode = std::uint32_t;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

// What Pixels returns outside the clip rectangle.
constexpr TColor kInvalidColor = 0xFFFFFFFF;

struct TSize {
  int cx = 0, cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// How StretchBlit combines source pixels with the target.
struct TBlitOptions {
  TCopyMode mode = cmSrcCopy;
  bool keyed = false;        // leave out source pixels of colour `key`
  TColor key = 0;            // plain RGB
  bool sourceAlpha = false;  // blend with the fourth byte of a 32-bit source
};

// Translation and clipping, saved and put back around a nested paint.
struct TCanvasViewport {
  TPoint origin;
  bool clipped = false;
  TRect clip;  // device pixels
};

// A font as the font engine and the native peers take it: system colours
// resolved to RGB.
platform::FontSpec ToFontSpec(const TFont& font);

class TCanvas : public TObject {
 public:
  explicit TCanvas(TBitmap& target);

  TBitmap& Target() { return target_; }
  const TBitmap& Target() const { return target_; }

  TPen& Pen() { return pen_; }
  const TPen& Pen() const { return pen_; }
  TBrush& Brush() { return brush_; }
  const TBrush& Brush() const { return brush_; }
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }

  // --- Origin and clipping (a logical point p lands on device pixel p + Origin).
  TPoint Origin() const { return origin_; }
  void SetOrigin(TPoint origin) { origin_ = origin; }
  // The visible part of the target in logical coordinates.
  TRect ClipRect() const;
  void SetClipRect(const TRect& logical);
  void IntersectClipRect(const TRect& logical);
  void ResetClip() { clipped_ = false; }
  // Origin at the top-left of `device` and clip to it: how a parent paints a
  // windowless child whose bounds are `device` on the parent's surface.
  void SetViewport(const TRect& device);
  void ResetViewport();
  TCanvasViewport SaveViewport() const { return {origin_, clipped_, clip_}; }
  void RestoreViewport(const TCanvasViewport& v);

  // --- Lines and shapes (pen for outlines, brush for interiors, Pen.Mode for both).
  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { penPos_ = p; }
  void MoveTo(int x, int y) { penPos_ = Point(x, y); }
  void LineTo(int x, int y);
  void Polyline(const std::vector<TPoint>& points);
  void Polygon(const std::vector<TPoint>& points);
  // Brush only, plain copy; an empty or inverted rectangle fills nothing.
  void FillRect(const TRect& rect);
  // One-pixel frame in the brush colour.
  void FrameRect(const TRect& rect);
  // Pen outline inside the box, brush inside that. Without a pen (psClear) the
  // brush fills the box less its last column and row.
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // Slice of the ellipse in the box from the radial through (x3, y3)
  // counter-clockwise to the radial through (x4, y4).
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

  // --- Pixels (no raster operation; kInvalidColor / ignored outside the clip).
  TColor Pixels(int x, int y) const;
  void SetPixels(int x, int y, TColor color);

  // --- Block transfers.
  // Copies (and scales, nearest neighbour) a rectangle of another canvas, or of
  // this one (overlap-safe), with CopyMode.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  // Draws a picture at its own size, honouring its transparency; null draws nothing.
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& dest, TGraphic* graphic);
  // The primitive under all of them: `sourceRect` in the source bitmap's pixels.
  void StretchBlit(const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                   const TBlitOptions& options);

  // --- Text (Latin-1). The background of the text cell is filled with the brush
  // unless Brush.Style is bsClear.
  // Moves PenPos to the end of the text.
  void TextOut(int x, int y, std::string_view text);
  // Clipped to `rect`; an opaque brush fills the whole of `rect`.
  void TextRect(const TRect& rect, int x, int y, std::string_view text);
  int TextWidth(std::string_view text) const { return TextExtent(text).cx; }
  int TextHeight(std::string_view text) const { return TextExtent(text).cy; }
  TSize TextExtent(std::string_view text) const;

  // Fired after every drawing call (the bitmap turns it into its OnChange).
  TNotifyEvent OnChange;

 private:
  friend class CanvasPainter;
  TRect DeviceClip() const;
  TPoint ToDevice(int x, int y) const;
  void DrawText(int x, int y, std::string_view text, bool fillBackground);
  void Changed();

  TBitmap& target_;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  TCopyMode copyMode_ = cmSrcCopy;
  TPoint penPos_;
  TPoint origin_;
  bool clipped_ = false;
  TRect clip_;
};

}  // namespace qv
