#include "presence/WindowList.h"

#include "platform/Services.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr std::size_t kMaxCaption = 254;

}  // namespace

TWindowList::TWindowList(TComponent* owner) : TComponent(owner) {
  if (owner == nullptr || !owner->IsDesigning()) Refresh();
}

void TWindowList::Refresh() {
  windows_.clear();
  platform::IDesktopWindows* desktop = platform::Current().desktop;
  if (desktop == nullptr) return;
  for (const platform::DesktopWindow& window : desktop->List()) {
    TWindowObject entry;
    entry.Handle = window.handle;
    entry.Caption = window.caption.substr(0, kMaxCaption);
    entry.ThreadID = window.threadId;
    entry.Visible = window.visible;
    entry.Enabled = window.enabled;
    entry.Iconic = window.iconic;
    entry.Rect = TRect{window.left, window.top, window.right, window.bottom};
    windows_.push_back(std::move(entry));
  }
}

TWindowObject TWindowList::WindowAt(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds");
  return windows_[static_cast<std::size_t>(index)];
}

void CloseWindowByHandle(std::uint32_t handle) {
  if (platform::IDesktopWindows* desktop = platform::Current().desktop) desktop->RequestClose(handle);
}

}  // namespace qv
