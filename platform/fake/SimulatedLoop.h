// A deterministic message loop for tests: a virtual clock drives the timers,
// posted work runs in order, and the idle handler runs once per drained queue.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "platform/EventLoop.h"

namespace qv::platform::fake {

class SimulatedLoop : public IEventLoop {
 public:
  SimulatedLoop();

  TimerId StartTimer(unsigned intervalMs, std::function<void()> onTick) override;
  void StopTimer(TimerId id) override;
  void Post(std::function<void()> work) override;
  void SetIdleHandler(std::function<void()> onIdle) override;
  int Run() override;
  void Quit(int exitCode) override;
  void ProcessEvents() override;
  bool IsLoopThread() const override;
  std::int64_t NowMs() const override { return now_; }

  // Drains posted work, then the loop's idle moment: what the real loop does
  // each time before it waits.
  void Idle();
  // Moves the virtual clock forward, firing every timer that falls due on the
  // way in time order and draining posted work after each tick.
  void Advance(std::int64_t ms);
  // Posted work queued from other threads: wait (in real time, bounded) until at
  // least one item arrives, then drain. Returns false on time-out.
  bool WaitForPosts(int realTimeoutMs);

  // Test controls.
  void RefuseTimers(bool refuse) { refuseTimers_ = refuse; }
  int ActiveTimers() const { return static_cast<int>(timers_.size()); }
  bool QuitRequested() const { return quit_; }
  int ExitCode() const { return exitCode_; }
  int IdleCount() const { return idleCount_; }
  unsigned TimerInterval(TimerId id) const;

 private:
  struct Timer {
    unsigned interval;
    std::int64_t due;
    std::function<void()> onTick;
  };
  bool DrainPosts();

  std::thread::id owner_;
  std::int64_t now_ = 0;
  TimerId nextId_ = 1;
  std::map<TimerId, Timer> timers_;
  mutable std::mutex postMutex_;
  std::deque<std::function<void()>> posts_;
  std::function<void()> onIdle_;
  bool refuseTimers_ = false;
  bool quit_ = false;
  int exitCode_ = 0;
  int idleCount_ = 0;
};

}  // namespace qv::platform::fake
