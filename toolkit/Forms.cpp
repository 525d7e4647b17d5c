#include "toolkit/Forms.h"

#include "platform/Services.h"
#include "toolkit/Application.h"

namespace qv {

namespace {
std::vector<platform::PeerRect> ToPeerRects(const std::vector<TRect>& rects) {
  std::vector<platform::PeerRect> out;
  out.reserve(rects.size());
  for (const TRect& r : rects) out.push_back({r.Left, r.Top, r.Right, r.Bottom});
  return out;
}
}  // namespace

namespace {
constexpr int kHeadlessScreenWidth = 1280, kHeadlessScreenHeight = 1024;
}

int ScreenWidth() {
  platform::IWindowSystem* ws = platform::Current().windows;
  return ws != nullptr ? ws->ScreenWidth() : kHeadlessScreenWidth;
}

int ScreenHeight() {
  platform::IWindowSystem* ws = platform::Current().windows;
  return ws != nullptr ? ws->ScreenHeight() : kHeadlessScreenHeight;
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  visible_ = false;
  color_ = clBtnFace;
  if (Application != nullptr) Application->RegisterForm(this);
}

TForm::~TForm() = default;

void TForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  // Rebuilding the window drops its region, as the native system does.
  shape_.clear();
  hasShape_ = false;
  if (peer_ != nullptr) {
    peer_->SetStayOnTop(style == TFormStyle::fsStayOnTop);
    peer_->ClearShape();
  }
}

void TForm::SetShape(std::vector<TRect> rects) {
  shape_ = std::move(rects);
  hasShape_ = true;
  if (peer_ != nullptr) peer_->SetShape(ToPeerRects(shape_));
}

void TForm::ClearShape() {
  shape_.clear();
  hasShape_ = false;
  if (peer_ != nullptr) peer_->ClearShape();
}

void TForm::InitializePeer() {
  peer_->SetStayOnTop(formStyle_ == TFormStyle::fsStayOnTop);
  peer_->SetText(text_);
  TWinControl::InitializePeer();
  if (hasShape_) peer_->SetShape(ToPeerRects(shape_));
}

void TForm::ShowForm() {
  if (!everShown_) {
    everShown_ = true;
    // Centring happens only when the window is first shown.
    if (position_ == TPosition::poScreenCenter && platform::Current().windows != nullptr)
      TWinControl::SetBounds((ScreenWidth() - width_) / 2, (ScreenHeight() - height_) / 2, width_, height_);
  }
  HandleNeeded();
  SetVisible(true);
  if (peer_ != nullptr) peer_->BringToFront();
}

void TForm::HideForm() {
  SetVisible(false);
}

void TForm::BringToFront() {
  if (Peer() != nullptr) Peer()->BringToFront();
}

void TForm::VisibleChanged() {
  TWinControl::VisibleChanged();
  if (visible_) {
    if (OnShow) RunGuarded([this] { OnShow(this); });
  } else {
    if (OnHide) RunGuarded([this] { OnHide(this); });
  }
}

void TForm::SetWindowState(TWindowState state) {
  if (state == windowState_) return;
  windowState_ = state;
  if (peer_ == nullptr) return;
  if (state == TWindowState::wsMinimized)
    peer_->ShowMinimized();
  else
    peer_->ShowNormal();
}

void TForm::DoCreate() {
  if (OnCreate) RunGuarded([this] { OnCreate(this); });
}

void TForm::PeerMoved(int left, int top) {
  inPeerUpdate_ = true;
  TControl::SetBounds(left, top, width_, height_);
  inPeerUpdate_ = false;
}

void TForm::Paint(TCanvas& canvas) {
  canvas.Brush().SetColor(color_);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(ClientRect());
}

}  // namespace qv
