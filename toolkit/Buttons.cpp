#include "toolkit/Buttons.h"

#include "toolkit/Canvas.h"
#include "toolkit/ExtCtrls.h"

namespace qv {

namespace {

constexpr int kDefaultWidth = 23;
constexpr int kDefaultHeight = 22;
constexpr TColor kInvert = 0xFFFFFF;

}  // namespace

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
  width_ = kDefaultWidth;
  height_ = kDefaultHeight;
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGlyph(const TBitmap* glyph) {
  glyph_->Assign(glyph);
  Invalidate();
}

void TSpeedButton::SetState(TButtonState state) {
  if (state == state_) return;
  state_ = state;
  Invalidate();
}

void TSpeedButton::EnabledChanged() {
  state_ = enabled_ ? TButtonState::bsUp : TButtonState::bsDisabled;
  if (!enabled_) dragging_ = false;
  Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && enabled_) {
    dragging_ = true;
    SetState(TButtonState::bsDown);
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  // Held down, the face follows the pointer: pressed over the button, raised off it.
  if (dragging_) SetState(ClientRect().Contains(x, y) ? TButtonState::bsDown : TButtonState::bsUp);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && dragging_) {
    dragging_ = false;
    SetState(TButtonState::bsUp);
  }
  // The click itself (a release over the button that was pressed) comes from the base.
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::Paint(TCanvas& canvas) {
  TRect face = ClientRect();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(face);
  const bool down = state_ == TButtonState::bsDown;
  if (down) {
    Frame3D(canvas, face, cl3DDkShadow, clBtnHighlight, 1);
    Frame3D(canvas, face, clBtnShadow, cl3DLight, 1);
  } else {
    Frame3D(canvas, face, clBtnHighlight, cl3DDkShadow, 1);
    Frame3D(canvas, face, cl3DLight, clBtnShadow, 1);
  }
  if (glyph_->Empty()) return;
  const int shift = down ? 1 : 0;
  DrawGlyph(canvas, (width_ - glyph_->Width() + 1) / 2 + shift, (height_ - glyph_->Height() + 1) / 2 + shift);
}

void TSpeedButton::DrawGlyph(TCanvas& canvas, int x, int y) const {
  const TColor ground = ColorToRGB(glyph_->TransparentColor()) & 0xFFFFFF;
  if (state_ != TButtonState::bsDisabled) {
    TBlitOptions options;
    options.keyed = true;
    options.key = ground;
    canvas.StretchBlit(Bounds(x, y, glyph_->Width(), glyph_->Height()), *glyph_,
                       Rect(0, 0, glyph_->Width(), glyph_->Height()), options);
    return;
  }
  // Disabled: the glyph's shape engraved into the face, a highlight below and
  // to the right of a shadow.
  for (const auto& [dx, color] : {std::pair{1, clBtnHighlight}, std::pair{0, clBtnShadow}}) {
    const TColor rgb = ColorToRGB(color);
    for (int gy = 0; gy < glyph_->Height(); ++gy)
      for (int gx = 0; gx < glyph_->Width(); ++gx)
        if (glyph_->PixelRGB(gx, gy) != ground) canvas.SetPixels(x + gx + dx, y + gy + dx, rgb);
  }
}

void DrawFocusRect(TCanvas& canvas, const TRect& rect) {
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  auto invert = [&canvas](int x, int y) {
    if (((x + y) & 1) != 0) return;
    const TColor c = canvas.Pixels(x, y);
    if (c != kInvalidColor) canvas.SetPixels(x, y, c ^ kInvert);
  };
  for (int x = rect.Left; x < rect.Right; ++x) {
    invert(x, rect.Top);
    if (rect.Bottom - 1 > rect.Top) invert(x, rect.Bottom - 1);
  }
  for (int y = rect.Top + 1; y < rect.Bottom - 1; ++y) {
    invert(rect.Left, y);
    if (rect.Right - 1 > rect.Left) invert(rect.Right - 1, y);
  }
}

}  // namespace qv
