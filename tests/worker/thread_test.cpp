// The class library's thread: start, completion, and running methods on the
// GUI thread while the worker waits.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#include <atomic>

#include "platform/linux/LinuxThreads.h"
#include "tests/worker/WorkerFixture.h"
#include "toolkit/Thread.h"

namespace qv {
namespace {

using testing::Gate;
using testing::RecordingThreads;

// A thread whose body is a function, for the tests.
class LambdaThread : public TThread {
 public:
  explicit LambdaThread(std::function<void(LambdaThread&)> body) : body_(std::move(body)) {}
  ~LambdaThread() override {
    // The body may still run; stop it while the derived part exists.
    if (!Suspended() && !FreeOnTerminate()) {
      Terminate();
      WaitFor();
    }
  }
  using TThread::SetReturnValue;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(LambdaThread&)> body_;
};

class ThreadTest : public testing::WorkerFixture {};

TEST_F(ThreadTest, SynchronizeRunsOnTheGuiThreadAndWaitsForIt) {
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  LambdaThread thread([&](LambdaThread& self) {
    self.Synchronize([&] { ranOn = std::this_thread::get_id(); });
    returned = true;
  });
  thread.Resume();
  // Nothing runs the method until the GUI thread drains its queue, so the
  // worker is still waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned);
  ASSERT_TRUE(PumpUntil([&] { return thread.Finished(); }));
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, gui_);
}

TEST_F(ThreadTest, AnExceptionOfTheSynchronizedMethodIsRaisedInTheWorker) {
  std::string caught;
  LambdaThread thread([&](LambdaThread& self) {
    try {
      self.Synchronize([] { throw EInvalidOperation("from the GUI thread"); });
    } catch (const EInvalidOperation& e) {
      caught = e.Message();
    }
  });
  thread.Resume();
  ASSERT_TRUE(PumpUntil([&] { return thread.Finished(); }));
  EXPECT_EQ(caught, "from the GUI thread");
}

TEST_F(ThreadTest, SynchronizeOnTheGuiThreadRunsAtOnce) {
  LambdaThread thread([](LambdaThread&) {});
  bool ran = false;
  thread.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST_F(ThreadTest, SynchronizeFailsInsteadOfWaitingWhileTheGuiThreadWaitsForTheThread) {
  Gate posted;
  std::atomic<bool> failed{false};
  std::atomic<bool> methodRan{false};
  LambdaThread thread([&](LambdaThread& self) {
    posted.Open();
    try {
      self.Synchronize([&] { methodRan = true; });
    } catch (const EThread&) {
      failed = true;
    }
  });
  thread.Resume();
  posted.Wait();
  thread.WaitFor();  // would never return if the worker kept waiting
  EXPECT_TRUE(failed);
  // The abandoned request may still be queued: it must not run any more.
  loop_.ProcessEvents();
  EXPECT_FALSE(methodRan);
}

TEST_F(ThreadTest, OnTerminateRunsOnTheGuiThreadAfterTheBody) {
  std::vector<std::string> order;
  std::thread::id terminateOn;
  LambdaThread thread([&](LambdaThread&) { order.push_back("body"); });
  thread.OnTerminate = [&](TObject* sender) {
    EXPECT_EQ(sender, &thread);
    order.push_back("terminate");
    terminateOn = std::this_thread::get_id();
  };
  thread.Resume();
  ASSERT_TRUE(PumpUntil([&] { return thread.Finished(); }));
  EXPECT_EQ(order, (std::vector<std::string>{"body", "terminate"}));
  EXPECT_EQ(terminateOn, gui_);
}

TEST_F(ThreadTest, TheBodysExceptionIsKeptAndTheRunStillEnds) {
  bool terminated = false;
  LambdaThread thread([](LambdaThread& self) {
    self.SetReturnValue(7);
    throw EInvalidOperation("body failed");
  });
  thread.OnTerminate = [&](TObject*) { terminated = true; };
  thread.Resume();
  ASSERT_TRUE(PumpUntil([&] { return thread.Finished(); }));
  EXPECT_TRUE(terminated);
  EXPECT_EQ(thread.WaitFor(), 7);
  ASSERT_TRUE(thread.FatalException());
  EXPECT_THROW(std::rethrow_exception(thread.FatalException()), EInvalidOperation);
}

TEST_F(ThreadTest, AThreadThatFreesItselfIsGoneAfterItsCompletion) {
  auto sentinel = std::make_shared<int>(0);
  std::weak_ptr<int> watch = sentinel;
  auto* thread = new LambdaThread([sentinel](LambdaThread&) {});
  sentinel.reset();
  thread->SetFreeOnTerminate(true);
  thread->OnTerminate = [](TObject*) {};
  thread->Resume();
  EXPECT_TRUE(PumpUntil([&] { return watch.expired(); }));
}

TEST_F(ThreadTest, ThePriorityIsSetOnTheWorkerThreadItself) {
  RecordingThreads threads;
  platform::Current().threads = &threads;
  std::thread::id worker;
  LambdaThread thread([&](LambdaThread&) { worker = std::this_thread::get_id(); });
  thread.SetPriority(tpIdle);
  thread.Resume();
  thread.WaitFor();
  const auto calls = threads.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].priority, -15);
  EXPECT_EQ(calls[0].thread, worker);
}

// The Linux scheduler really gets what was asked for, on the calling thread only.
TEST(LinuxThreads, IdleIsSchedIdleAndLowerPrioritiesAreHigherNiceValues) {
  platform::LinuxThreads threads;
  const int processNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
  int idlePolicy = -1;
  int lowestNice = 0;
  int lowerNice = 0;
  std::thread([&] {
    ASSERT_TRUE(threads.SetCurrentThreadPriority(-15));
    idlePolicy = ::sched_getscheduler(0);
  }).join();
  std::thread([&] {
    ASSERT_TRUE(threads.SetCurrentThreadPriority(-2));
    lowestNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    ASSERT_TRUE(threads.SetCurrentThreadPriority(-1));
    lowerNice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  }).join();
  EXPECT_EQ(idlePolicy, SCHED_IDLE);
  EXPECT_EQ(lowestNice, std::min(processNice + 10, 19));
  EXPECT_EQ(lowerNice, std::min(processNice + 5, 19));
  // The thread that asked was a helper: this one is untouched.
  EXPECT_EQ(::sched_getscheduler(0), SCHED_OTHER);
  EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())), processNice);
}

}  // namespace
}  // namespace qv
