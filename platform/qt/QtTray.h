// The notification area through Qt (StatusNotifierItem or the X11 tray,
// whichever the desktop offers). Clicks, double clicks and the context click
// reach the icon's owner as the mouse messages of platform/Tray.h.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QPointer>

#include "platform/Tray.h"

class QSystemTrayIcon;

namespace qv::platform::qt {

class QtTray final : public ITray {
 public:
  QtTray();
  ~QtTray() override;

  bool Available() const override;
  bool Add(ITrayEvents* owner, const TrayRecord& record) override;
  bool Modify(ITrayEvents* owner, const TrayRecord& record) override;
  bool Remove(ITrayEvents* owner) override;
  void CursorPos(int& x, int& y) override;

 private:
  std::map<ITrayEvents*, std::unique_ptr<QSystemTrayIcon>> icons_;
  // Removed icons whose deletion waits for the event loop (see Remove).
  std::vector<QPointer<QSystemTrayIcon>> retired_;
};

}  // namespace qv::platform::qt
