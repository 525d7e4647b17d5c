// What the tests on a real X server share: the display check, the
// application's arguments, and waiting while Qt's loop runs.
#pragma once

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>
#include <cstdlib>
#include <functional>

#include "platform/qt/QtBackend.h"

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

// A test suite whose tests share one Qt backend; they skip without a display.
class QtBackendSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!PrepareDisplay()) return;
    // A desktop's theme would bring native dialogs no test can drive.
    qunsetenv("QT_QPA_PLATFORMTHEME");
    qunsetenv("XDG_CURRENT_DESKTOP");
    backend_ = new QtBackend(QtArguments::argc, QtArguments::argv);
  }
  static void TearDownTestSuite() {
    delete backend_;
    backend_ = nullptr;
  }
  void SetUp() override {
    if (backend_ == nullptr) GTEST_SKIP() << "no X display";
  }

  static inline QtBackend* backend_ = nullptr;
};

}  // namespace qv::platform::qt
