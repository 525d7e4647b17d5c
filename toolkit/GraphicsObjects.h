// Pen, brush and font: the drawing attributes a canvas reads at each call.
// Each fires OnChange when one of its values really changes, so a control that
// owns one (its Font, say) can repaint.
#pragma once

#include <string>

#include "toolkit/Classes.h"
#include "toolkit/Colors.h"

namespace qv {

class TBitmap;

enum TPenStyle : unsigned char {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame,
};

// How a pen or shape fill combines with what is already there (binary raster
// operations; "Pen" is the colour drawn, the other operand the pixel beneath).
enum TPenMode : unsigned char {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor,
};

enum TBrushStyle : unsigned char { bsSolid, bsClear };

enum TFontStyle : unsigned {
  fsBold = 1u << 0,
  fsItalic = 1u << 1,
  fsUnderline = 1u << 2,
  fsStrikeOut = 1u << 3,
};
// A set of TFontStyle bits: fsBold | fsUnderline.
using TFontStyles = unsigned;

class TGraphicsObject : public TObject {
 public:
  TNotifyEvent OnChange;

 protected:
  void Changed();
};

class TPen : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  // Line thickness in pixels; values below 1 draw as 1 (lines wider than 1024
  // pixels draw 1024 wide).
  int Width() const { return width_; }
  void SetWidth(int width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);
  void Assign(const TPen& other);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

class TBrush : public TGraphicsObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  // A pattern brush: fills tile this bitmap, aligned to the top-left pixel of the
  // target bitmap. Not owned; the caller keeps it alive while it is set. Setting a
  // pattern makes the brush solid; null returns to the plain colour.
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* pattern);
  void Assign(const TBrush& other);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

class TFont : public TGraphicsObject {
 public:
  TFont() = default;

  // Family name as the program knows it; the font engine maps it to a face.
  const std::string& Name() const { return name_; }
  void SetName(std::string name);
  // Height in pixels: negative values give the character height (the customary
  // way to ask for a size), positive ones the whole cell height.
  int Height() const { return height_; }
  void SetHeight(int height);
  // Size in points at PixelsPerInch: Size = -Height * 72 / PixelsPerInch, rounded.
  int Size() const;
  void SetSize(int points);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  void Assign(const TFont& other);

  friend bool operator==(const TFont& a, const TFont& b) {
    return a.name_ == b.name_ && a.height_ == b.height_ && a.color_ == b.color_ && a.style_ == b.style_ &&
           a.pixelsPerInch_ == b.pixelsPerInch_;
  }

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  int pixelsPerInch_ = 96;
  TColor color_ = clWindowText;
  TFontStyles style_ = 0;
};

}  // namespace qv
