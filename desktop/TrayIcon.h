// TTrayIcon: one icon in the desktop's notification area, with its tool tip,
// mouse events and an optional animation through an image list; it can hide
// the application into the notification area and bring it back.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Tray.h"
#include "toolkit/Classes.h"
#include "toolkit/Controls.h"

namespace qv {

class TIcon;
class TImageList;
class TPopupMenu;
class TTimer;

class TTrayIcon : public TComponent, private platform::ITrayEvents {
 public:
  // At run time the double click restores the application, and the
  // application's minimise handler goes through AppMinimize.
  explicit TTrayIcon(TComponent* owner);
  // Removes a shown icon and gives the application its minimise handler back.
  ~TTrayIcon() override;

  bool Active() const { return active_; }
  void SetActive(bool value);
  bool Animate() const { return animate_; }
  // True is refused unless shown with a non-empty image list.
  void SetAnimate(bool value);
  int AnimateInterval() const { return animateInterval_; }
  void SetAnimateInterval(int ms);  // 0 or less is ignored
  bool ShowDesigning() const { return showDesigning_; }
  void SetShowDesigning(bool value);
  TIcon& Icon() { return *icon_; }
  void SetIcon(const TIcon& icon);
  const std::string& ToolTip() const { return toolTip_; }
  void SetToolTip(const std::string& text);  // kept to 62 characters
  int CurrentFrame() const { return currentFrame_; }

  TImageList* Images = nullptr;  // not owned
  bool MinimizeApp = false;
  TPopupMenu* PopupMenu = nullptr;  // not owned
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnRightClick;

  // Hides the main window (and its taskbar entry) and shows the icon; does
  // nothing while the desktop has no notification area.
  void SendToTray();
  // Shows the main window in front and removes the icon.
  void RestoreFromTray();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void TrayMouse(unsigned message) override;
  platform::TrayRecord FillIconRecord(unsigned parts) const;
  bool AddIcon();
  bool ModifyIcon(unsigned parts);
  bool RemoveIcon();
  void AppMinimize(TObject* sender);
  void AnimateTick();
  void ResetToolTip();

  bool animate_ = false;
  bool active_ = false;
  bool showDesigning_ = false;
  int animateInterval_ = 100;
  int currentFrame_ = 0;
  std::unique_ptr<TIcon> icon_;
  std::unique_ptr<TIcon> savedIcon_;
  std::string toolTip_;
  TTimer* timer_ = nullptr;  // owned as a component
  TNotifyEvent savedOnMinimize_;
  bool minimizeHooked_ = false;
  // Cleared when the icon goes, so a reset posted before that does nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qv
