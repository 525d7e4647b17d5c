#include "platform/qt/QtBackend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "platform/Services.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTray.h"
#include "platform/qt/QtWindowSystem.h"

namespace qv::platform::qt {

QtBackend::QtBackend(int& argc, char** argv) : app_(std::make_unique<QApplication>(argc, argv)) {
  // The program ends when it says so: its form hides to the tray, and a
  // message box closed while the form is hidden must not end it.
  QApplication::setQuitOnLastWindowClosed(false);
  loop_ = std::make_unique<QtEventLoop>();
  windows_ = std::make_unique<QtWindowSystem>();
  dialogs_ = std::make_unique<QtDialogs>();
  clipboard_ = std::make_unique<QtClipboard>();
  tray_ = std::make_unique<QtTray>();
}

QtBackend::~QtBackend() {
  tray_.reset();
  clipboard_.reset();
  dialogs_.reset();
  windows_.reset();
  loop_.reset();
  // Widgets of peers destroyed inside handlers wait for a deferred delete.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  app_.reset();
}

IEventLoop& QtBackend::Loop() {
  return *loop_;
}
IWindowSystem& QtBackend::Windows() {
  return *windows_;
}
IDialogs& QtBackend::Dialogs() {
  return *dialogs_;
}
IClipboard& QtBackend::Clipboard() {
  return *clipboard_;
}
ITray& QtBackend::Tray() {
  return *tray_;
}

void QtBackend::SetProgramIdentity(const std::string& applicationId, int width, int height,
                                   const std::vector<std::uint32_t>& argb) {
  const QString id = QString::fromStdString(applicationId);
  QGuiApplication::setDesktopFileName(id);
  QIcon fallback;
  if (width > 0 && height > 0 &&
      argb.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    const QImage art(reinterpret_cast<const uchar*>(argb.data()), width, height, width * 4,
                     QImage::Format_ARGB32);
    fallback = QIcon(QPixmap::fromImage(art.copy()));
  }
  QApplication::setWindowIcon(QIcon::fromTheme(id, fallback));
}

void QtBackend::Install(Services& services) {
  services.loop = loop_.get();
  services.windows = windows_.get();
  services.dialogs = dialogs_.get();
  services.clipboard = clipboard_.get();
  services.tray = tray_.get();
}

}  // namespace qv::platform::qt
