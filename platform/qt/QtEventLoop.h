// The GUI thread's message loop on the Qt event loop.
//
// Timers are precise QTimers, posted work goes through one ordered queue that
// any thread may feed, and the idle handler hangs on the event dispatcher's
// "about to block" notification, so it runs once each time the loop has
// nothing left to do and is about to sleep.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/EventLoop.h"

class QObject;
class QTimer;

namespace qv::platform::qt {

// Runs `work` and reports an escaping exception on stderr: an exception must
// never unwind through Qt's event dispatching, which cannot survive it.
void RunShielded(const std::function<void()>& work) noexcept;

class QtEventLoop final : public IEventLoop {
 public:
  // Needs the application object; construct and use it on the application's thread.
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  // Timers live on the loop thread; from any other thread this returns 0.
  TimerId StartTimer(unsigned intervalMs, std::function<void()> onTick) override;
  void StopTimer(TimerId id) override;
  void Post(std::function<void()> work) override;
  void SetIdleHandler(std::function<void()> onIdle) override;
  int Run() override;
  // From another thread the request is posted. Before Run it is kept, and the
  // next Run returns the code at once, as a quit message waiting in the queue would.
  void Quit(int exitCode) override;
  void ProcessEvents() override;
  bool IsLoopThread() const override;
  std::int64_t NowMs() const override;

  int ActiveTimers() const { return static_cast<int>(timers_.size()); }

 private:
  struct Timer {
    QTimer* timer = nullptr;
    // Shared so a handler that stops its own timer does not destroy itself mid-call.
    std::shared_ptr<std::function<void()>> onTick;
  };
  struct PostedWork {
    std::uint64_t sequence = 0;
    std::function<void()> work;
  };

  void DrainPosts();
  void AboutToBlock();

  std::thread::id owner_;
  std::unique_ptr<QObject> context_;  // receiver of timers, wake-ups and the dispatcher signal
  TimerId nextTimerId_ = 1;
  std::map<TimerId, Timer> timers_;

  std::mutex postMutex_;
  std::deque<PostedWork> posts_;
  std::uint64_t nextSequence_ = 0;
  bool wakePending_ = false;

  std::shared_ptr<std::function<void()>> onIdle_;
  bool inIdle_ = false;
  int runLevel_ = 0;  // the thread's loop level inside our Run, 0 outside
  bool quitPending_ = false;
  int pendingExitCode_ = 0;
};

}  // namespace qv::platform::qt
