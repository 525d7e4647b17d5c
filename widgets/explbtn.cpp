#include "widgets/explbtn.h"

#include "toolkit/ExtCtrls.h"

namespace qv {

TExplorerButton::TExplorerButton(TComponent* owner)
    : TGraphicControl(owner), bitmap_(std::make_unique<TBitmap>()) {
  width_ = 50;
  height_ = 50;
}

void TExplorerButton::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  // The face is the window picture beneath: only the frame, glyph and caption are drawn.
  if (down_)
    Frame3D(canvas, r, clBtnShadow, clBtnHighlight, 1);
  else if (hot_ && enabled_)
    Frame3D(canvas, r, clBtnHighlight, clBtnShadow, 1);
  const int shift = down_ ? 1 : 0;
  int textTop = (height_ - canvas.TextHeight("Wg")) / 2;
  if (!bitmap_->Empty()) {
    const int gx = (width_ - bitmap_->Width()) / 2 + shift;
    const int gy = (text_.empty() ? (height_ - bitmap_->Height()) / 2 : 4) + shift;
    canvas.Draw(gx, gy, bitmap_.get());
    textTop = gy + bitmap_->Height() + 2;
  }
  if (!text_.empty()) {
    canvas.Font().Assign(font_);
    if (!enabled_) canvas.Font().SetColor(clGrayText);
    canvas.Brush().SetStyle(bsClear);
    const int w = canvas.TextWidth(text_);
    canvas.TextRect(ClientRect(), (width_ - w) / 2 + shift, textTop + shift, text_);
    canvas.Brush().SetStyle(bsSolid);
  }
}

void TExplorerButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && enabled_) {
    down_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TExplorerButton::MouseMove(TShiftState shift, int x, int y) {
  const bool inside = ClientRect().Contains(x, y);
  if (inside != hot_) {
    hot_ = inside;
    Invalidate();
  }
  TGraphicControl::MouseMove(shift, x, y);
}

void TExplorerButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && down_) {
    down_ = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TExplorerButton::MouseEnter() {
  hot_ = true;
  Invalidate();
}

void TExplorerButton::MouseLeave() {
  hot_ = false;
  Invalidate();
}

}  // namespace qv
