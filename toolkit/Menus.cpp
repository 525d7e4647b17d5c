#include "toolkit/Menus.h"

#include "platform/Services.h"
#include "toolkit/Controls.h"

namespace qv {

void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}

TMenuItem* TPopupMenu::Find(const std::string& caption) const {
  for (TMenuItem* item : items_)
    if (item->Caption() == caption) return item;
  return nullptr;
}

void TPopupMenu::PopupAt(TWinControl* owner, int x, int y) {
  if (owner == nullptr || owner->Peer() == nullptr) {
    if (OnPopup) OnPopup(this);
    return;
  }
  Show(owner->Peer(), x, y);
}

void TPopupMenu::Popup(int x, int y) {
  Show(nullptr, x, y);
}

void TPopupMenu::Show(platform::IWindowPeer* owner, int x, int y) {
  if (OnPopup) OnPopup(this);
  platform::IWindowSystem* ws = platform::Current().windows;
  if (ws == nullptr) return;
  std::vector<platform::MenuEntry> entries;
  for (TMenuItem* item : items_) entries.push_back({item->Caption(), item->Enabled(), item->Checked()});
  const int chosen = ws->PopupMenu(owner, x, y, entries);
  if (chosen >= 0 && chosen < Count() && !items_[static_cast<size_t>(chosen)]->IsSeparator())
    items_[static_cast<size_t>(chosen)]->Click();
}

}  // namespace qv
