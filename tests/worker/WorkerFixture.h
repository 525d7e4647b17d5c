// A GUI thread for worker tests: the simulated loop wired as the process's
// loop, pumped from the test thread until a condition holds.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Services.h"
#include "platform/Threads.h"
#include "platform/fake/SimulatedLoop.h"

namespace qv::testing {

class WorkerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::Current();
    platform::Current().loop = &loop_;
  }
  void TearDown() override { platform::Current() = saved_; }

  // Drains posted work until `done` holds; false after `ms` of real time.
  bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      loop_.WaitForPosts(10);
    }
    return true;
  }

  platform::fake::SimulatedLoop loop_;
  const std::thread::id gui_ = std::this_thread::get_id();

 private:
  platform::Services saved_;
};

// Remembers the priorities threads ask for, and on which thread.
class RecordingThreads final : public platform::IThreads {
 public:
  bool SetCurrentThreadPriority(int priority) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({priority, std::this_thread::get_id()});
    return true;
  }
  struct Call {
    int priority;
    std::thread::id thread;
  };
  std::vector<Call> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

// A one-shot gate a worker waits at until the test opens it.
class Gate {
 public:
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

}  // namespace qv::testing
