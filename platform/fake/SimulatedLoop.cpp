#include "platform/fake/SimulatedLoop.h"

#include <chrono>

namespace qv::platform::fake {

SimulatedLoop::SimulatedLoop() : owner_(std::this_thread::get_id()) {}

IEventLoop::TimerId SimulatedLoop::StartTimer(unsigned intervalMs, std::function<void()> onTick) {
  if (refuseTimers_) return 0;
  const TimerId id = nextId_++;
  timers_[id] = Timer{intervalMs, now_ + static_cast<std::int64_t>(intervalMs), std::move(onTick)};
  return id;
}

void SimulatedLoop::StopTimer(TimerId id) {
  timers_.erase(id);
}

unsigned SimulatedLoop::TimerInterval(TimerId id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? 0 : it->second.interval;
}

void SimulatedLoop::Post(std::function<void()> work) {
  std::lock_guard<std::mutex> lock(postMutex_);
  posts_.push_back(std::move(work));
}

void SimulatedLoop::SetIdleHandler(std::function<void()> onIdle) {
  onIdle_ = std::move(onIdle);
}

bool SimulatedLoop::DrainPosts() {
  bool ran = false;
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> lock(postMutex_);
      if (posts_.empty()) break;
      work = std::move(posts_.front());
      posts_.pop_front();
    }
    work();
    ran = true;
  }
  return ran;
}

void SimulatedLoop::ProcessEvents() {
  // As the real loop: what is pending runs, and no idle moment comes of it.
  DrainPosts();
}

void SimulatedLoop::Idle() {
  DrainPosts();
  ++idleCount_;
  if (onIdle_) onIdle_();
}

void SimulatedLoop::Advance(std::int64_t ms) {
  const std::int64_t end = now_ + ms;
  Idle();
  for (;;) {
    // The earliest due timer; ties go to the older timer.
    TimerId next = 0;
    std::int64_t due = end + 1;
    for (const auto& [id, t] : timers_)
      if (t.due < due) {
        due = t.due;
        next = id;
      }
    if (next == 0 || due > end) break;
    now_ = due;
    Timer& t = timers_.at(next);
    // A zero interval would fire forever at one instant; the real loop treats it
    // as "as soon as possible", so advance it by one millisecond.
    t.due = due + (t.interval == 0 ? 1 : t.interval);
    auto tick = t.onTick;  // the handler may stop or restart its own timer
    tick();
    Idle();
    if (quit_) break;
  }
  if (!quit_) now_ = end;
}

bool SimulatedLoop::WaitForPosts(int realTimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(postMutex_);
      if (!posts_.empty()) break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Idle();
  return true;
}

int SimulatedLoop::Run() {
  quit_ = false;
  while (!quit_) {
    Idle();
    if (quit_) break;
    if (timers_.empty()) break;  // nothing could ever happen again
    std::int64_t due = INT64_MAX;
    for (const auto& [id, t] : timers_) due = std::min(due, t.due);
    Advance(due - now_);
  }
  return exitCode_;
}

void SimulatedLoop::Quit(int exitCode) {
  quit_ = true;
  exitCode_ = exitCode;
}

bool SimulatedLoop::IsLoopThread() const {
  return std::this_thread::get_id() == owner_;
}

}  // namespace qv::platform::fake
