// An image control that gives its form the picture's size and an outline from
// which every pixel of the transparent colour is cut away.
#pragma once

#include <vector>

#include "toolkit/ExtCtrls.h"

namespace qv {

class TKZTransImage : public TImage {
 public:
  explicit TKZTransImage(TComponent* owner);
  TColor TransColor() const { return transColor_; }
  // Takes effect at the next UpdateShape.
  void SetTransColor(TColor c) { transColor_ = c; }
  bool AdjustFormSize() const { return adjustFormSize_; }
  void SetAdjustFormSize(bool v) { adjustFormSize_ = v; }

  // Sizes the form to the picture (when AdjustFormSize) and cuts its outline.
  void UpdateShape();

 private:
  TColor transColor_ = clRed;
  bool adjustFormSize_ = false;
};

// The picture's opaque area as rectangles: runs of pixels other than
// `transparent`, with identical runs of neighbouring rows merged.
std::vector<TRect> OutlineRects(TBitmap& bitmap, TColor transparent);

}  // namespace qv
