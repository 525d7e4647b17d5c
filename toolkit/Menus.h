// Pop-up menus and their items.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Classes.h"

namespace qv::platform {
class IWindowPeer;
}

namespace qv {

class TWinControl;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  bool IsSeparator() const { return caption_ == "-"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  // Runs OnClick.
  void Click();

  TNotifyEvent OnClick;

 private:
  std::string caption_;
  bool enabled_ = true;
  bool checked_ = false;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
  // Items in menu order; the menu does not own them (their owner does).
  void Add(TMenuItem* item) { items_.push_back(item); }
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  TMenuItem* Find(const std::string& caption) const;

  // Shows the menu at a point of `owner` and runs the chosen item.
  void PopupAt(TWinControl* owner, int x, int y);
  // The same at a point of the screen; returns when the menu has closed.
  void Popup(int x, int y);
  TNotifyEvent OnPopup;

 private:
  void Show(platform::IWindowPeer* owner, int x, int y);
  std::vector<TMenuItem*> items_;
};

}  // namespace qv
