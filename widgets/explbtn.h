// A flat push button drawn over the window's picture: caption and optional
// glyph, a raised frame while the pointer is over it, sunken while pressed.
#pragma once

#include <memory>

#include "toolkit/Controls.h"

namespace qv {

class TExplorerButton : public TGraphicControl {
 public:
  explicit TExplorerButton(TComponent* owner);
  TBitmap& Bitmap() { return *bitmap_; }
  bool Down() const { return down_; }
  bool MouseInside() const { return hot_; }
  void Paint(TCanvas& canvas) override;

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void EnabledChanged() override { Invalidate(); }

 private:
  std::unique_ptr<TBitmap> bitmap_;
  bool down_ = false;
  bool hot_ = false;
};

}  // namespace qv
