// Controls: the visual component tree.
//
// TControl holds bounds, visibility, font, colour and the mouse events.
// TGraphicControl has no native window: its parent paints it in its own pass,
// clipped to its bounds and translated to its origin, and routes the mouse to it.
// TWinControl has children and, when a window system is attached, a native peer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"

namespace qv {

class TWinControl;
class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
// Shift state flags, the platform's values.
using TShiftState = unsigned;
constexpr TShiftState ssShift = platform::kShift, ssAlt = platform::kAlt, ssCtrl = platform::kCtrl,
                      ssLeft = platform::kLeft, ssRight = platform::kRight, ssMiddle = platform::kMiddle,
                      ssDouble = platform::kDouble;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, int& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  TRect ClientRect() const { return Rect(0, 0, width_, height_); }
  int ClientWidth() const { return width_; }
  int ClientHeight() const { return height_; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent up to the form.
  bool Showing() const;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }
  // Call after changing Font() in place.
  void FontChanged();

  // The caption of labels, buttons and panels and the text of edits.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& caption) { SetText(caption); }

  const std::string& Hint() const { return hint_; }
  // A windowless control's hint shows while the pointer is over it.
  void SetHint(std::string hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }
  int Cursor() const { return cursor_; }
  void SetCursor(int cursor) { cursor_ = cursor; }

  // Deferred repaint of the whole control.
  virtual void Invalidate();
  // Paints the control now.
  virtual void Repaint();
  // Paints the control on `canvas`, whose origin is the control's top-left corner.
  virtual void Paint(TCanvas& canvas);

  // Entry points of the mouse, in the control's own coordinates.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}
  virtual void Click();
  virtual void DblClick();
  // The right click on this control has had its context menu (or found none);
  // called when the menu has closed.
  virtual void ContextMenuDone() {}
  // A typed character that may be an accelerator of the control; true when taken.
  virtual bool DialogChar(char /*key*/) { return false; }

  // The parent sends every mouse event to this control until the capture ends
  // (a press captures on its own until its release).
  bool MouseCapture() const;
  void SetMouseCapture(bool capture);
  // The pointer in the parent's client coordinates: asked of the window system,
  // else where the parent last saw it. False without a parent.
  bool PointerInParent(TPoint& point) const;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

  // Position of the top-left corner in the coordinates of the nearest windowed
  // ancestor that paints it (itself for windowed controls).
  virtual bool IsWindowed() const { return false; }
  TPoint OriginInPaintingParent() const;

 protected:
  friend class TWinControl;
  virtual void TextChanged() { Invalidate(); }
  virtual void BoundsChanged() {}
  virtual void VisibleChanged();
  virtual void EnabledChanged() { Invalidate(); }
  virtual void ColorChanged() { Invalidate(); }
  virtual void FontChangedHook() { Invalidate(); }

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool showHint_ = false;
  TColor color_ = clBtnFace;
  TFont font_;
  std::string text_;
  std::string hint_;
  TPopupMenu* popupMenu_ = nullptr;
  int cursor_ = 0;
  bool pressed_ = false;  // a left button press began on this control
};

class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  void Invalidate() override;
  void Repaint() override;
};

class TWinControl : public TControl, protected platform::IPeerEvents {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }

  bool IsWindowed() const override { return true; }
  void SetBounds(int left, int top, int width, int height) override;
  void Invalidate() override;
  void Repaint() override;
  void InvalidateRect(const TRect& area);

  // The native peer, created with the form's; null while headless or before.
  platform::IWindowPeer* Peer() const { return peer_.get(); }
  bool HandleAllocated() const { return peer_ != nullptr; }
  // Creates the native peer of this control and of its windowed children.
  void HandleNeeded();
  void DestroyHandle();

  bool Focused() const;
  virtual void SetFocus();
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }

  // Paints this control and its graphic children into its back bitmap and
  // returns that bitmap (headless code and tests look at it directly).
  TBitmap& PaintToBackBuffer();
  // The same for one area; the rest of the back bitmap keeps its pixels.
  TBitmap& PaintToBackBuffer(const TRect& dirty);
  TBitmap& BackBuffer() { return back_; }

  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  friend class TControl;
  virtual platform::PeerKind Kind() const { return platform::PeerKind::Custom; }
  // Pushes the model's state to a freshly created peer.
  virtual void InitializePeer();
  virtual void KeyDown(int& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void DoEnter();
  virtual void DoExit();
  void AlignControls();
  // The pointer is no longer over any windowless child of this control.
  void ForgetMouseOver();
  // The peer shows the hint of the windowless child under the pointer when
  // it has one to show, else its own.
  void UpdatePeerHint();

  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // A disabled child keeps no capture.
  void ChildDisabled(TControl* control);

  bool DialogChar(char key) override;

  // IPeerEvents
  platform::PixelView PeerPaint(const platform::PeerRect& dirty) override;
  void PeerMouse(const platform::MouseEvent& event) override;
  bool PeerKey(int virtualKey, char typed, unsigned shift) override;
  void PeerFocus(bool gained) override;
  void PeerTextEdited(const std::string&) override {}
  void PeerToggled(bool) override {}
  void PeerItemSelected(int) override {}
  void PeerMoved(int, int) override {}
  void PeerContextMenu(int x, int y) override;

  void TextChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void ColorChanged() override;
  void FontChangedHook() override;

  std::vector<TControl*> controls_;
  std::unique_ptr<platform::IWindowPeer> peer_;
  TBitmap back_;
  TControl* mouseCapture_ = nullptr;
  TControl* mouseOver_ = nullptr;
  bool overUntold_ = false;      // mouseOver_ came under the pointer while another held the capture
  TPoint lastMouse_ = {-1, -1};  // where the pointer was at the latest mouse event
  bool tabStop_ = false;
  bool headlessFocus_ = false;
  bool inPeerUpdate_ = false;  // a change reported by the peer is not sent back to it
};

// The topmost visible windowless child at the point, else `self`: the one that
// gets the mouse there (enabled ones only) or that the pointer is over (any).
TControl* ControlAtPoint(TWinControl* self, int x, int y, bool allowDisabled = false);

}  // namespace qv
