#include "toolkit/ExtCtrls.h"

namespace qv {

void Frame3D(TCanvas& canvas, TRect& rect, TColor topLeft, TColor bottomRight, int width) {
  for (int i = 0; i < width; ++i) {
    rect.Right -= 1;
    rect.Bottom -= 1;
    canvas.Pen().SetColor(topLeft);
    canvas.MoveTo(rect.Left, rect.Bottom);
    canvas.LineTo(rect.Left, rect.Top);
    canvas.LineTo(rect.Right, rect.Top);
    canvas.Pen().SetColor(bottomRight);
    canvas.LineTo(rect.Right, rect.Bottom);
    canvas.LineTo(rect.Left - 1, rect.Bottom);
    rect.Left += 1;
    rect.Top += 1;
  }
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
  width_ = 185;
  height_ = 41;
}

void TPanel::SetBevelOuter(TPanelBevel v) {
  bevelOuter_ = v;
  Invalidate();
}
void TPanel::SetBevelInner(TPanelBevel v) {
  bevelInner_ = v;
  Invalidate();
}
void TPanel::SetBevelWidth(int v) {
  bevelWidth_ = v;
  Invalidate();
}
void TPanel::SetBorderStyle(TBorderStyle v) {
  borderStyle_ = v;
  Invalidate();
}
void TPanel::SetAlignment(TAlignment v) {
  alignment_ = v;
  Invalidate();
}

void TPanel::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Brush().SetColor(color_);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(r);
  if (borderStyle_ == TBorderStyle::bsSingle) Frame3D(canvas, r, clWindowFrame, clWindowFrame, 1);
  auto bevel = [&](TPanelBevel b) {
    if (b == TPanelBevel::bvNone) return;
    const bool raised = b == TPanelBevel::bvRaised;
    Frame3D(canvas, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight,
            bevelWidth_);
  };
  bevel(bevelOuter_);
  bevel(bevelInner_);
  if (!text_.empty()) {
    canvas.Font().Assign(font_);
    canvas.Brush().SetStyle(bsClear);
    const int w = canvas.TextWidth(text_);
    const int h = canvas.TextHeight(text_);
    int x = (width_ - w) / 2;
    if (alignment_ == TAlignment::taLeftJustify) x = r.Left + 2;
    if (alignment_ == TAlignment::taRightJustify) x = r.Right - w - 2;
    canvas.TextRect(r, x, (height_ - h) / 2, text_);
    canvas.Brush().SetStyle(bsSolid);
  }
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  width_ = 105;
  height_ = 105;
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::SetStretch(bool v) {
  stretch_ = v;
  Invalidate();
}
void TImage::SetCenter(bool v) {
  center_ = v;
  Invalidate();
}
void TImage::SetTransparent(bool v) {
  transparent_ = v;
  if (picture_->Graphic() != nullptr) picture_->Graphic()->SetTransparent(v);
  Invalidate();
}
void TImage::SetAutoSize(bool v) {
  autoSize_ = v;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (picture_->Graphic() != nullptr && transparent_) picture_->Graphic()->SetTransparent(true);
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(left_, top_, picture_->Width(), picture_->Height());
  Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
  TGraphic* g = picture_->Graphic();
  if (g == nullptr || g->Empty()) return;
  if (stretch_) {
    canvas.StretchDraw(ClientRect(), g);
    return;
  }
  int x = 0, y = 0;
  if (center_) {
    x = (width_ - g->Width()) / 2;
    y = (height_ - g->Height()) / 2;
  }
  canvas.Draw(x, y, g);
}

}  // namespace qv
