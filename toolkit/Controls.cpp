#include "toolkit/Controls.h"

#include <algorithm>

#include "platform/Services.h"
#include "toolkit/Application.h"
#include "toolkit/Menus.h"

namespace qv {

namespace {

platform::PeerRect ToPeerRect(const TRect& r) {
  return {r.Left, r.Top, r.Right, r.Bottom};
}

TMouseButton FromPeerButton(platform::MouseButton b) {
  switch (b) {
    case platform::MouseButton::Right: return TMouseButton::mbRight;
    case platform::MouseButton::Middle: return TMouseButton::mbMiddle;
    default: return TMouseButton::mbLeft;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (parent_ != nullptr) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (parent != nullptr) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (!IsWindowed() && parent_ != nullptr && visible_) parent_->InvalidateRect(BoundsRect());
  const bool resized = std::max(0, width) != width_ || std::max(0, height) != height_;
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  BoundsChanged();
  if (parent_ != nullptr && align_ != TAlign::alNone) parent_->AlignControls();
  // A window that only moves keeps its pixels: the window system moves them.
  // Repainting it would make every step of a drag cost a whole-window paint.
  if (resized || !IsWindowed()) Invalidate();
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!visible && !IsWindowed() && parent_ != nullptr) parent_->InvalidateRect(BoundsRect());
  visible_ = visible;
  VisibleChanged();
}

void TControl::VisibleChanged() {
  Invalidate();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
  if (!enabled_ && parent_ != nullptr) parent_->ChildDisabled(this);
}

bool TControl::MouseCapture() const {
  return parent_ != nullptr && parent_->mouseCapture_ == this;
}

void TControl::SetMouseCapture(bool capture) {
  if (parent_ == nullptr) return;
  if (capture)
    parent_->mouseCapture_ = this;
  else if (parent_->mouseCapture_ == this)
    parent_->mouseCapture_ = nullptr;
}

bool TControl::PointerInParent(TPoint& point) const {
  if (parent_ == nullptr) return false;
  int x = 0, y = 0;
  if (parent_->Peer() != nullptr && parent_->Peer()->PointerPos(x, y)) {
    point = Point(x, y);
    return true;
  }
  point = parent_->lastMouse_;
  return true;
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  ColorChanged();
}

void TControl::FontChanged() {
  FontChangedHook();
}

void TControl::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  TextChanged();
}

void TControl::SetHint(std::string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  if (auto* self = dynamic_cast<TWinControl*>(this); self != nullptr)
    self->UpdatePeerHint();
  else if (parent_ != nullptr)
    parent_->UpdatePeerHint();
}

void TControl::SetShowHint(bool v) {
  if (v == showHint_) return;
  showHint_ = v;
  if (auto* self = dynamic_cast<TWinControl*>(this); self != nullptr)
    self->UpdatePeerHint();
  else if (parent_ != nullptr)
    parent_->UpdatePeerHint();
}

void TControl::Invalidate() {}
void TControl::Repaint() {}
void TControl::Paint(TCanvas&) {}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) pressed_ = true;
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  // A click is a left press and release over the same control.
  const bool click = button == TMouseButton::mbLeft && pressed_ && ClientRect().Contains(x, y);
  if (button == TMouseButton::mbLeft) pressed_ = false;
  if (click) Click();
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

TPoint TControl::OriginInPaintingParent() const {
  if (IsWindowed()) return Point(0, 0);
  TPoint p = Point(left_, top_);
  return p;
}

// ---------------------------------------------------------------------------
// TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

void TGraphicControl::Invalidate() {
  if (parent_ != nullptr && Showing()) parent_->InvalidateRect(BoundsRect());
}

void TGraphicControl::Repaint() {
  if (parent_ == nullptr || !Showing()) return;
  parent_->InvalidateRect(BoundsRect());
  if (parent_->Peer() != nullptr) parent_->Peer()->Update();
}

// ---------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // The children's native windows live inside this one's: they go first, so no
  // peer ever outlives the native window it was made in. The children
  // themselves are freed later by their owner.
  DestroyHandle();
  // Children owned elsewhere must not point back at a dead parent.
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
}

void TWinControl::InsertControl(TControl* control) {
  control->parent_ = this;
  controls_.push_back(control);
  if (auto* win = dynamic_cast<TWinControl*>(control); win != nullptr && peer_ != nullptr)
    win->HandleNeeded();
  if (control->Align() != TAlign::alNone) AlignControls();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  if (!control->IsWindowed() && control->Visible()) InvalidateRect(control->BoundsRect());
  controls_.erase(it);
  control->parent_ = nullptr;
  if (mouseCapture_ == control) mouseCapture_ = nullptr;
  if (mouseOver_ == control) {
    mouseOver_ = nullptr;
    overUntold_ = false;
  }
  if (auto* win = dynamic_cast<TWinControl*>(control); win != nullptr) win->DestroyHandle();
}

void TWinControl::ChildDisabled(TControl* control) {
  if (mouseCapture_ == control) mouseCapture_ = nullptr;
}

bool TWinControl::DialogChar(char key) {
  // Every control of the window is asked, windowless ones included, until one takes it.
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i]->DialogChar(key)) return true;
  return false;
}

void TWinControl::AlignControls() {
  TRect room = ClientRect();
  for (TControl* c : controls_) {
    switch (c->Align()) {
      case TAlign::alTop:
        c->TControl::SetBounds(room.Left, room.Top, room.Width(), c->Height());
        room.Top += c->Height();
        break;
      case TAlign::alBottom:
        c->TControl::SetBounds(room.Left, room.Bottom - c->Height(), room.Width(), c->Height());
        room.Bottom -= c->Height();
        break;
      case TAlign::alLeft:
        c->TControl::SetBounds(room.Left, room.Top, c->Width(), room.Height());
        room.Left += c->Width();
        break;
      case TAlign::alRight:
        c->TControl::SetBounds(room.Right - c->Width(), room.Top, c->Width(), room.Height());
        room.Right -= c->Width();
        break;
      case TAlign::alClient: c->TControl::SetBounds(room.Left, room.Top, room.Width(), room.Height()); break;
      case TAlign::alNone: break;
    }
  }
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  const bool resized = width != width_ || height != height_;
  TControl::SetBounds(left, top, width, height);
  if (peer_ != nullptr && !inPeerUpdate_) peer_->SetBounds(left_, top_, width_, height_);
  if (resized) AlignControls();
}

void TWinControl::Invalidate() {
  InvalidateRect(ClientRect());
}

void TWinControl::InvalidateRect(const TRect& area) {
  if (peer_ != nullptr) peer_->Invalidate(ToPeerRect(area));
}

void TWinControl::Repaint() {
  if (peer_ != nullptr) {
    peer_->Invalidate(ToPeerRect(ClientRect()));
    peer_->Update();
  } else {
    PaintToBackBuffer();
  }
}

void TWinControl::HandleNeeded() {
  if (peer_ != nullptr) return;
  platform::IWindowSystem* ws = platform::Current().windows;
  if (ws == nullptr) return;
  platform::IWindowPeer* parentPeer = nullptr;
  if (parent_ != nullptr) {
    parentPeer = parent_->Peer();
    if (parentPeer == nullptr) return;  // created with the parent's
  }
  peer_ = ws->CreatePeer(Kind(), parentPeer, this);
  if (peer_ == nullptr) return;
  InitializePeer();
  for (TControl* c : controls_)
    if (auto* win = dynamic_cast<TWinControl*>(c); win != nullptr) win->HandleNeeded();
}

void TWinControl::DestroyHandle() {
  for (TControl* c : controls_)
    if (auto* win = dynamic_cast<TWinControl*>(c); win != nullptr) win->DestroyHandle();
  peer_.reset();
}

void TWinControl::InitializePeer() {
  peer_->SetBounds(left_, top_, width_, height_);
  peer_->SetFont(ToFontSpec(font_));
  peer_->SetColors(ColorToRGB(color_), ColorToRGB(font_.Color()));
  peer_->SetEnabled(enabled_);
  peer_->SetHint(showHint_ ? hint_ : std::string());
  if (Kind() != platform::PeerKind::Custom) peer_->SetText(text_);
  peer_->SetVisible(visible_);
}

bool TWinControl::Focused() const {
  return peer_ != nullptr ? peer_->Focused() : headlessFocus_;
}

void TWinControl::SetFocus() {
  if (peer_ != nullptr)
    peer_->SetFocus();
  else if (!headlessFocus_)
    PeerFocus(true);
}

void TWinControl::TextChanged() {
  if (peer_ != nullptr && !inPeerUpdate_ && Kind() != platform::PeerKind::Custom) peer_->SetText(text_);
  Invalidate();
}

void TWinControl::VisibleChanged() {
  if (peer_ != nullptr) peer_->SetVisible(visible_);
}

void TWinControl::EnabledChanged() {
  if (peer_ != nullptr) peer_->SetEnabled(enabled_);
  Invalidate();
}

void TWinControl::ColorChanged() {
  if (peer_ != nullptr) peer_->SetColors(ColorToRGB(color_), ColorToRGB(font_.Color()));
  Invalidate();
}

void TWinControl::FontChangedHook() {
  if (peer_ != nullptr) {
    peer_->SetFont(ToFontSpec(font_));
    peer_->SetColors(ColorToRGB(color_), ColorToRGB(font_.Color()));
  }
  Invalidate();
}

TBitmap& TWinControl::PaintToBackBuffer() {
  return PaintToBackBuffer(ClientRect());
}

TBitmap& TWinControl::PaintToBackBuffer(const TRect& dirty) {
  if (back_.Width() != width_ || back_.Height() != height_ || back_.PixelFormat() != pf32bit) {
    back_.SetPixelFormat(pf32bit);
    back_.SetSize(width_, height_);
  }
  const TRect area = Intersect(dirty, ClientRect());
  if (area.IsEmpty()) return back_;
  // Only the dirty area is painted: a scope step repaints a strip, not the window.
  TCanvas& canvas = back_.Canvas();
  canvas.ResetViewport();
  canvas.SetClipRect(area);
  Paint(canvas);
  for (TControl* c : controls_) {
    if (c->IsWindowed() || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    const TRect bounds = c->BoundsRect();
    if (Intersect(bounds, area).IsEmpty()) continue;
    canvas.SetViewport(bounds);
    canvas.IntersectClipRect(Rect(area.Left - bounds.Left, area.Top - bounds.Top, area.Right - bounds.Left,
                                  area.Bottom - bounds.Top));
    c->Paint(canvas);
  }
  canvas.ResetViewport();
  return back_;
}

platform::PixelView TWinControl::PeerPaint(const platform::PeerRect& dirty) {
  platform::PixelView view;
  RunGuarded([&] {
    TBitmap& bmp = PaintToBackBuffer(Rect(dirty.left, dirty.top, dirty.right, dirty.bottom));
    if (bmp.Width() <= 0 || bmp.Height() <= 0) return;
    view.width = bmp.Width();
    view.height = bmp.Height();
    view.top = static_cast<const std::uint8_t*>(bmp.ScanLine(0));
    view.stride = bmp.Height() > 1 ? static_cast<const std::uint8_t*>(bmp.ScanLine(1)) - view.top : 0;
  });
  return view;
}

void TWinControl::ForgetMouseOver() {
  if (mouseOver_ != nullptr && mouseOver_ != this && !overUntold_) mouseOver_->MouseLeave();
  mouseOver_ = nullptr;
  overUntold_ = false;
  UpdatePeerHint();
}

void TWinControl::UpdatePeerHint() {
  if (peer_ == nullptr) return;
  const TControl* source =
      mouseOver_ != nullptr && mouseOver_ != this && mouseOver_->ShowHint() ? mouseOver_ : this;
  peer_->SetHint(source->ShowHint() ? source->Hint() : std::string());
}

TControl* ControlAtPoint(TWinControl* self, int x, int y, bool allowDisabled) {
  // Topmost first: later children lie above earlier ones.
  for (int i = self->ControlCount() - 1; i >= 0; --i) {
    TControl* c = self->Controls(i);
    if (c->IsWindowed() || !c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
    if (c->BoundsRect().Contains(x, y)) return c;
  }
  return self;
}

void TWinControl::PeerMouse(const platform::MouseEvent& e) {
  RunGuarded([&] {
    TControl* target = mouseCapture_ != nullptr ? mouseCapture_ : ControlAtPoint(this, e.x, e.y);
    if (e.action == platform::MouseAction::Leave) {
      ForgetMouseOver();
      return;
    }
    if (e.action == platform::MouseAction::Enter) {
      // Entering a native child is no leave for its parents' windows, yet the
      // pointer has left whatever windowless control they thought it over.
      for (TWinControl* p = parent_; p != nullptr; p = p->parent_) p->ForgetMouseOver();
      return;
    }
    lastMouse_ = Point(e.x, e.y);
    if (e.action == platform::MouseAction::Move) {
      // The control under the pointer changes (disabled ones count: they keep
      // their own idea of it); while one holds the capture, only that one hears
      // of its own leaving and entering.
      TControl* under = ControlAtPoint(this, e.x, e.y, true);
      if (under != mouseOver_) {
        TControl* left = mouseOver_;
        const bool leftWasTold = !overUntold_;
        mouseOver_ = under;
        overUntold_ = false;
        if (left != nullptr && left != this && leftWasTold &&
            (mouseCapture_ == nullptr || mouseCapture_ == left))
          left->MouseLeave();
        if (under != this) {
          if (mouseCapture_ == nullptr || mouseCapture_ == under)
            under->MouseEnter();
          else
            overUntold_ = true;  // told when the capture ends
        }
        UpdatePeerHint();
      }
    }
    const TPoint origin = target == this ? Point(0, 0) : Point(target->Left(), target->Top());
    const int x = e.x - origin.X, y = e.y - origin.Y;
    const TMouseButton button = FromPeerButton(e.button);
    switch (e.action) {
      case platform::MouseAction::Down:
        mouseCapture_ = target;
        target->MouseDown(button, e.shift, x, y);
        break;
      case platform::MouseAction::DoubleClick:
        // Windows order: the second press carries the double flag, then the
        // double-click event; the release follows as usual.
        mouseCapture_ = target;
        target->MouseDown(button, e.shift | ssDouble, x, y);
        if (button == TMouseButton::mbLeft) target->DblClick();
        break;
      case platform::MouseAction::Move: target->MouseMove(e.shift, x, y); break;
      case platform::MouseAction::Up: {
        mouseCapture_ = nullptr;
        target->MouseUp(button, e.shift, x, y);
        // Released over another control: that one now has the pointer.
        const bool stillChild = std::find(controls_.begin(), controls_.end(), mouseOver_) != controls_.end();
        if (overUntold_ && stillChild && mouseCapture_ == nullptr) {
          overUntold_ = false;
          mouseOver_->MouseEnter();
        }
        break;
      }
      default: break;
    }
  });
}

void TWinControl::PeerContextMenu(int x, int y) {
  RunGuarded([&] {
    TControl* target = ControlAtPoint(this, x, y);
    // The menu of the control under the point, else of its nearest parent that has one.
    for (TControl* c = target; c != nullptr; c = c->Parent()) {
      if (c->PopupMenu() != nullptr) {
        c->PopupMenu()->PopupAt(this, x, y);
        break;
      }
    }
    // The menu's choice may have removed the control: tell it only if it is still ours.
    if (target != this && std::find(controls_.begin(), controls_.end(), target) == controls_.end()) return;
    target->ContextMenuDone();
  });
}

bool TWinControl::PeerKey(int virtualKey, char typed, unsigned shift) {
  bool swallowed = false;
  RunGuarded([&] {
    if (virtualKey != 0) {
      int key = virtualKey;
      KeyDown(key, shift);
      if (key == 0) swallowed = true;
    }
    if (typed != 0 && !swallowed) {
      char ch = typed;
      KeyPress(ch);
      if (ch == 0) swallowed = true;
    }
    // A character no control wanted may be an accelerator of the window: with Alt
    // held from anywhere, else only where typing has no meaning of its own.
    const bool typing = Kind() == platform::PeerKind::Edit || Kind() == platform::PeerKind::ListBox;
    if (typed != 0 && !swallowed && ((shift & ssAlt) != 0 || !typing)) {
      TWinControl* top = this;
      while (top->parent_ != nullptr) top = top->parent_;
      swallowed = top->DialogChar(typed);
    }
  });
  return swallowed;
}

void TWinControl::KeyDown(int& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::PeerFocus(bool gained) {
  headlessFocus_ = gained;
  RunGuarded([&] {
    if (gained)
      DoEnter();
    else
      DoExit();
  });
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

}  // namespace qv
