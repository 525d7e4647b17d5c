// What the tests on a real X server share: the display check, the
// application's arguments, and waiting while Qt's loop runs.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>
#include <cstdlib>
#include <functional>

namespace qv::platform::qt {

// False without a display (the tests then skip). With one, Qt is asked for its
// X11 plugin: shapes, the tray and the window list need X11, not Wayland.
inline bool PrepareDisplay() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  qputenv("QT_QPA_PLATFORM", "xcb");
  return true;
}

// Arguments for the application object; Qt keeps referring to them.
struct QtArguments {
  static inline int argc = 1;
  static inline char name[] = "qv_integration_tests";
  static inline char* argv[] = {name, nullptr};
};

// Processes events until `done` holds or `timeoutMs` passes; whether it held.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (done()) return true;
    QEventLoop wait;
    QTimer::singleShot(20, &wait, &QEventLoop::quit);
    wait.exec();
  }
  return done();
}

}  // namespace qv::platform::qt
