#include "platform/qt/QtTray.h"
#include "platform/qt/QtText.h"

#include <algorithm>

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace qv::platform::qt {

namespace {

QIcon IconOf(const TrayRecord& record) {
  if (record.width <= 0 || record.height <= 0 ||
      record.pixels.size() <
          static_cast<std::size_t>(record.width) * static_cast<std::size_t>(record.height) * 4) {
    // An icon without a picture still needs one to be shown at all.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
  }
  // B, G, R, coverage is ARGB32 in memory on a little-endian machine; the copy
  // lets the record go.
  const QImage image(record.pixels.data(), record.width, record.height, record.width * 4,
                     QImage::Format_ARGB32);
  return QIcon(QPixmap::fromImage(image.copy()));
}

void Apply(QSystemTrayIcon& icon, const TrayRecord& record) {
  if (record.parts & kTrayIcon) icon.setIcon(IconOf(record));
  if (record.parts & kTrayTip) icon.setToolTip(TextToQt(record.tip.c_str()));
}

}  // namespace

QtTray::QtTray() = default;

QtTray::~QtTray() {
  for (const QPointer<QSystemTrayIcon>& icon : retired_) delete icon.data();
}

bool QtTray::Available() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTray::Add(ITrayEvents* owner, const TrayRecord& record) {
  if (owner == nullptr || icons_.count(owner) != 0 || !Available()) return false;
  auto icon = std::make_unique<QSystemTrayIcon>();
  TrayRecord whole = record;
  whole.parts |= kTrayIcon;  // never shown without a picture
  Apply(*icon, whole);
  if (record.parts & kTrayMessage) {
    QObject::connect(icon.get(), &QSystemTrayIcon::activated, [owner](QSystemTrayIcon::ActivationReason why) {
      switch (why) {
        case QSystemTrayIcon::Trigger: owner->TrayMouse(kTrayLeftButtonUp); break;
        case QSystemTrayIcon::DoubleClick: owner->TrayMouse(kTrayLeftButtonDoubleClick); break;
        case QSystemTrayIcon::Context: owner->TrayMouse(kTrayRightButtonUp); break;
        default: break;
      }
    });
  }
  icon->show();
  icons_.emplace(owner, std::move(icon));
  return true;
}

bool QtTray::Modify(ITrayEvents* owner, const TrayRecord& record) {
  const auto found = icons_.find(owner);
  if (found == icons_.end()) return false;
  Apply(*found->second, record);
  return true;
}

bool QtTray::Remove(ITrayEvents* owner) {
  const auto found = icons_.find(owner);
  if (found == icons_.end()) return false;
  // The owner often removes its icon from inside the icon's own activation
  // signal (a double click restores the window): the icon is hidden and cut
  // off from its owner at once, and deleted once that signal has returned.
  QSystemTrayIcon* icon = found->second.release();
  icons_.erase(found);
  icon->hide();
  QObject::disconnect(icon, nullptr, nullptr, nullptr);
  icon->deleteLater();
  retired_.erase(std::remove_if(retired_.begin(), retired_.end(), [](const auto& p) { return p.isNull(); }),
                 retired_.end());
  retired_.emplace_back(icon);
  return true;
}

void QtTray::CursorPos(int& x, int& y) {
  const QPoint at = QCursor::pos();
  x = at.x();
  y = at.y();
}

}  // namespace qv::platform::qt
