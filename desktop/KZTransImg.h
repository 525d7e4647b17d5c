// An image control that gives the window it sits on the outline of its
// picture: every pixel of the key colour is cut out of the window, so the
// desktop shows through there and clicks go to whatever lies below.
#pragma once

#include <optional>
#include <vector>

#include "toolkit/ExtCtrls.h"

namespace qv {

class TKZTransImage : public TImage {
 public:
  // AdjustFormSize true, TransColor white, aligned to fill its parent.
  explicit TKZTransImage(TComponent* owner);

  // Both are plain fields: only the next UpdateShape uses them.
  TColor TransColor() const { return transColor_; }
  void SetTransColor(TColor c) { transColor_ = c; }
  bool AdjustFormSize() const { return adjustFormSize_; }
  void SetAdjustFormSize(bool v) { adjustFormSize_ = v; }

  // On a form: takes away its border and, with AdjustFormSize, gives it the
  // picture's size. Then hands the parent's window the outline of the picture
  // (or no outline at all, the plain rectangle, when there is no picture).
  void UpdateShape();

 private:
  bool adjustFormSize_ = true;
  TColor transColor_ = clWhite;
};

// The opaque area of `bitmap`: for each row from the top, each maximal run of
// pixels whose colour is not exactly `key`, as a one-row rectangle, left to
// right. None when there is no picture to take an outline from (no bitmap or
// an empty one); an empty list when every pixel has the key colour.
std::optional<std::vector<TRect>> BuildShapeRegion(const TBitmap* bitmap, TColor key);

}  // namespace qv
