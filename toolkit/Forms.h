// Top-level windows.
#pragma once

#include <vector>

#include "toolkit/Controls.h"

namespace qv {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TPosition { poDesigned, poScreenCenter };
enum class TWindowState { wsNormal, wsMinimized };

// The size of the screen the windows are on; headless, a common desktop size.
int ScreenWidth();
int ScreenHeight();

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v) { borderStyle_ = v; }
  TFormStyle FormStyle() const { return formStyle_; }
  // Switching between ordinary and stay-on-top rebuilds the native window, which
  // loses its outline: callers renew the shape afterwards.
  void SetFormStyle(TFormStyle style);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition v) { position_ = v; }
  void SetClientSize(int width, int height) { SetBounds(left_, top_, width, height); }

  // The window's outline: the union of these rectangles (client coordinates);
  // an empty list leaves nothing of the window. Without an outline (HasShape
  // false) the window is its plain rectangle.
  bool HasShape() const { return hasShape_; }
  const std::vector<TRect>& Shape() const { return shape_; }
  void SetShape(std::vector<TRect> rects);
  void ClearShape();

  // Shows the window (creating its native window the first time).
  void ShowForm();
  void HideForm();
  // Raises the window above the others and gives it the input focus.
  void BringToFront();
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  bool EverShown() const { return everShown_; }

  // Runs the creation handler; errors go to the standard error report, and the
  // window is still created.
  void DoCreate();

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 protected:
  platform::PeerKind Kind() const override { return platform::PeerKind::Form; }
  void InitializePeer() override;
  void VisibleChanged() override;
  void PeerMoved(int left, int top) override;
  void Paint(TCanvas& canvas) override;

 private:
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TFormStyle formStyle_ = TFormStyle::fsNormal;
  TPosition position_ = TPosition::poDesigned;
  TWindowState windowState_ = TWindowState::wsNormal;
  std::vector<TRect> shape_;
  bool hasShape_ = false;
  bool everShown_ = false;
};

}  // namespace qv
