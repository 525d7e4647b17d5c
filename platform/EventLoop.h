// The GUI thread's message loop: timers, posted work, idle notification.
#pragma once

#include <cstdint>
#include <functional>

namespace qv::platform {

class IEventLoop {
 public:
  using TimerId = int;  // 0 means "no timer"

  virtual ~IEventLoop() = default;

  // A periodic timer on the GUI thread. Returns 0 when the system refuses one.
  virtual TimerId StartTimer(unsigned intervalMs, std::function<void()> onTick) = 0;
  virtual void StopTimer(TimerId id) = 0;

  // Queue `work` to run on the GUI thread. Safe from any thread; runs in posting order.
  virtual void Post(std::function<void()> work) = 0;

  // Called once each time the loop has drained its queue and is about to wait.
  virtual void SetIdleHandler(std::function<void()> onIdle) = 0;

  // Runs until Quit; returns the exit code given to Quit.
  virtual int Run() = 0;
  virtual void Quit(int exitCode) = 0;
  // Handle everything that is pending now, then return (no waiting).
  virtual void ProcessEvents() = 0;

  // True on the thread that runs the loop.
  virtual bool IsLoopThread() const = 0;
  // Milliseconds on a monotonic clock (the virtual clock in tests).
  virtual std::int64_t NowMs() const = 0;
};

}  // namespace qv::platform
