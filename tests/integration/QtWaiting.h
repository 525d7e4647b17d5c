// Waiting for something to happen on the X server while Qt's loop runs.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace qv::platform::qt {

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
