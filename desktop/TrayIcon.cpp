#include "desktop/TrayIcon.h"

#include "imaging/Icon.h"
#include "imaging/ImgList.h"
#include "platform/EventLoop.h"
#include "platform/Services.h"
#include "toolkit/Application.h"
#include "toolkit/Forms.h"
#include "toolkit/Menus.h"
#include "toolkit/Timer.h"

namespace qv {

namespace {

constexpr std::size_t kMaxToolTip = 62;

platform::ITray* Tray() {
  return platform::Current().tray;
}

}  // namespace

TTrayIcon::TTrayIcon(TComponent* owner)
    : TComponent(owner), icon_(std::make_unique<TIcon>()), savedIcon_(std::make_unique<TIcon>()) {
  timer_ = new TTimer(this);
  timer_->SetEnabled(false);
  timer_->SetInterval(static_cast<unsigned>(animateInterval_));
  timer_->SetOnTimer([this](TObject*) { AnimateTick(); });
  const bool designing = owner != nullptr && owner->IsDesigning();
  if (!designing) {
    OnDblClick = [this](TObject*) { RestoreFromTray(); };
    if (Application != nullptr) {
      savedOnMinimize_ = Application->OnMinimize;
      Application->OnMinimize = [this](TObject* sender) { AppMinimize(sender); };
      minimizeHooked_ = true;
    }
  }
}

TTrayIcon::~TTrayIcon() {
  *alive_ = false;
  if ((!IsDesigning() && active_) || (IsDesigning() && showDesigning_)) RemoveIcon();
  // No minimise may reach a component that is gone.
  if (minimizeHooked_ && Application != nullptr) Application->OnMinimize = savedOnMinimize_;
}

platform::TrayRecord TTrayIcon::FillIconRecord(unsigned parts) const {
  platform::TrayRecord record;
  record.parts = parts;
  if (parts & platform::kTrayIcon) {
    const TBitmap& image = icon_->Image();
    record.width = image.Width();
    record.height = image.Height();
    record.pixels.reserve(static_cast<std::size_t>(record.width) * static_cast<std::size_t>(record.height) *
                          4);
    for (int y = 0; y < record.height; ++y) {
      const std::uint8_t* row = image.ScanLine(y);
      record.pixels.insert(record.pixels.end(), row, row + static_cast<std::size_t>(record.width) * 4);
    }
  }
  if (parts & platform::kTrayTip) record.tip = toolTip_;
  return record;
}

bool TTrayIcon::AddIcon() {
  if (icon_->Empty()) {
    icon_->Assign(&ApplicationIcon());
    ModifyIcon(platform::kTrayIcon);
  }
  platform::ITray* tray = Tray();
  const bool added =
      tray != nullptr &&
      tray->Add(this, FillIconRecord(platform::kTrayMessage | platform::kTrayIcon | platform::kTrayTip));
  if (toolTip_.empty()) {
    // Sent again once the icon is there: some notification areas show the
    // program's name for an icon added without a tip.
    platform::IEventLoop* loop = platform::Current().loop;
    std::weak_ptr<bool> alive = alive_;
    if (loop != nullptr) {
      loop->Post([this, alive] {
        if (const auto still = alive.lock(); still && *still) ResetToolTip();
      });
    }
  }
  return added;
}

bool TTrayIcon::ModifyIcon(unsigned parts) {
  const platform::TrayRecord record = FillIconRecord(parts);
  if (!active_) return true;
  platform::ITray* tray = Tray();
  return tray != nullptr && tray->Modify(this, record);
}

bool TTrayIcon::RemoveIcon() {
  platform::ITray* tray = Tray();
  return tray != nullptr && tray->Remove(this);
}

void TTrayIcon::ResetToolTip() {
  SetToolTip(toolTip_);
}

void TTrayIcon::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (IsDesigning()) return;
  if (value)
    AddIcon();
  else
    RemoveIcon();
}

void TTrayIcon::SetAnimate(bool value) {
  if (value && (Images == nullptr || Images->Count() == 0 || !active_)) return;
  animate_ = value;
  if (value) {
    savedIcon_->Assign(icon_.get());
    currentFrame_ = 0;
  }
  timer_->SetEnabled(animate_);
  if (!value) SetIcon(*savedIcon_);
}

void TTrayIcon::SetAnimateInterval(int ms) {
  if (ms <= 0) return;
  animateInterval_ = ms;
  timer_->SetInterval(static_cast<unsigned>(ms));
}

void TTrayIcon::SetShowDesigning(bool value) {
  if (!IsDesigning() || value == showDesigning_) return;
  showDesigning_ = value;
  if (value)
    AddIcon();
  else
    RemoveIcon();
}

void TTrayIcon::SetIcon(const TIcon& icon) {
  if (&icon == icon_.get()) return;
  icon_->Assign(&icon);
  ModifyIcon(platform::kTrayIcon);
}

void TTrayIcon::SetToolTip(const std::string& text) {
  toolTip_ = text.substr(0, kMaxToolTip);
  ModifyIcon(platform::kTrayIcon | platform::kTrayTip);
}

void TTrayIcon::SendToTray() {
  if (active_) return;
  // Without a notification area the window would be hidden with nothing to
  // bring it back by: it stays where it is.
  platform::ITray* tray = Tray();
  if (tray == nullptr || !tray->Available()) return;
  if (Application != nullptr) {
    if (TForm* main = Application->MainForm())
      main->HideForm();  // may come back here from the form's hide event
    else
      Application->SetShowMainForm(false);
  }
  // The main window is the taskbar entry here: hiding it hid the entry.
  SetActive(true);
}

void TTrayIcon::RestoreFromTray() {
  if (!active_) return;
  if (Application != nullptr) {
    if (TForm* main = Application->MainForm()) {
      main->ShowForm();
      // A window minimised before it went to the tray comes back as it was.
      if (main->WindowState() == TWindowState::wsMinimized) Application->Restore();
      main->BringToFront();
    }
  }
  SetActive(false);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && Images != nullptr && component == Images) {
    SetAnimate(false);
    Images = nullptr;
  }
}

void TTrayIcon::AppMinimize(TObject* sender) {
  if (savedOnMinimize_) savedOnMinimize_(sender);
  if (MinimizeApp) SendToTray();
}

void TTrayIcon::TrayMouse(unsigned message) {
  switch (message) {
    case platform::kTrayLeftButtonUp:
      if (OnClick) RunGuarded([this] { OnClick(this); });
      break;
    case platform::kTrayLeftButtonDoubleClick:
      if (OnDblClick) RunGuarded([this] { OnDblClick(this); });
      break;
    case platform::kTrayRightButtonUp: {
      int x = 0, y = 0;
      if (platform::ITray* tray = Tray()) tray->CursorPos(x, y);
      if (PopupMenu != nullptr) PopupMenu->Popup(x, y);
      if (OnRightClick) RunGuarded([&] { OnRightClick(this, TMouseButton::mbRight, 0, x, y); });
      break;
    }
    default: break;
  }
}

void TTrayIcon::AnimateTick() {
  TIcon frame;
  const int count = Images != nullptr ? Images->Count() : 0;
  currentFrame_ = currentFrame_ == count - 1 ? 0 : currentFrame_ + 1;
  // A list that lost pictures meanwhile: the frame shown is the last one left.
  if (count > 0 && currentFrame_ >= count) currentFrame_ = count - 1;
  if (Images != nullptr && Images->GetIcon(currentFrame_, frame)) SetIcon(frame);
}

}  // namespace qv
