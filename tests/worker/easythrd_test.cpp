// The event thread component: one run per start, completion on the GUI thread,
// and a component that may be destroyed while its worker still runs.
#include <gtest/gtest.h>

#include <atomic>

#include "tests/worker/WorkerFixture.h"
#include "worker/easythrd.h"

namespace qv {
namespace {

using testing::Gate;
using testing::RecordingThreads;

class EasyThreadTest : public testing::WorkerFixture {
 protected:
  // Waits until the run's end has been handled on the GUI thread.
  bool RunEnded() {
    return PumpUntil([&] { return !component_->Active(); });
  }

  std::unique_ptr<TNorvikEasyThread> component_ = std::make_unique<TNorvikEasyThread>(nullptr);
};

TEST_F(EasyThreadTest, StartsIdleWithItsDesignTimeTexts) {
  EXPECT_FALSE(component_->Active());
  EXPECT_EQ(component_->Thread(), nullptr);
  EXPECT_EQ(component_->Priority(), tpIdle);
  EXPECT_EQ(component_->Version(), "beta .1");
  EXPECT_FALSE(component_->OtherGreatStuff().empty());
  const TStringList& help = component_->Help();
  ASSERT_GT(help.Count(), 1);
  EXPECT_EQ(help[help.Count() - 1], "SCROLL TO TOP TO SEE START OF HELP");

  component_->SetVersion("2.0");
  component_->SetOtherGreatStuff("elsewhere");
  component_->SetHelp(TStringList{"replaced"});
  EXPECT_EQ(component_->Version(), "beta .1");
  EXPECT_NE(component_->OtherGreatStuff(), "elsewhere");
  EXPECT_EQ(component_->Help().Count(), help.Count());
}

TEST_F(EasyThreadTest, StartWithoutAnExecHandlerRaisesAndStaysIdle) {
  int begun = 0;
  component_->ThreadBegin = [&](TObject*) { ++begun; };
  try {
    component_->start();
    FAIL() << "no exception";
  } catch (const EEasyTheadException& e) {
    EXPECT_STREQ(e.what(), "Exec event not defined.");
  }
  EXPECT_FALSE(component_->Active());
  EXPECT_EQ(component_->Thread(), nullptr);
  EXPECT_EQ(begun, 0);
}

TEST_F(EasyThreadTest, RunsTheHandlerOnAWorkerWithTheComponentAndTheThread) {
  TObject* sender = nullptr;
  TEasyThreadThread* thread = nullptr;
  std::thread::id ranOn;
  component_->Exec = [&](TObject* s, TEasyThreadThread* t) {
    sender = s;
    thread = t;
    ranOn = std::this_thread::get_id();
  };
  component_->start();
  TEasyThreadThread* started = component_->Thread();
  EXPECT_NE(started, nullptr);
  EXPECT_TRUE(component_->Active());
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(sender, component_.get());
  EXPECT_EQ(thread, started);
  EXPECT_NE(ranOn, gui_);
  EXPECT_EQ(component_->Thread(), nullptr);
}

TEST_F(EasyThreadTest, AStartWhileARunIsInProgressDoesNothing) {
  Gate release;
  std::atomic<int> runs{0};
  int begun = 0;
  component_->Exec = [&](TObject*, TEasyThreadThread*) {
    ++runs;
    release.Wait();
  };
  component_->ThreadBegin = [&](TObject* sender) {
    EXPECT_EQ(sender, component_.get());
    EXPECT_TRUE(component_->Active());  // fired after the thread was resumed
    ++begun;
  };
  component_->start();
  TEasyThreadThread* first = component_->Thread();
  component_->start();
  component_->start();
  EXPECT_EQ(component_->Thread(), first);
  EXPECT_EQ(begun, 1);
  release.Open();
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(runs, 1);
}

TEST_F(EasyThreadTest, ARunStaysInProgressUntilTheGuiThreadHandlesItsEnd) {
  std::atomic<bool> returned{false};
  std::atomic<int> runs{0};
  component_->Exec = [&](TObject*, TEasyThreadThread*) {
    ++runs;
    returned = true;
  };
  component_->start();
  while (!returned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The handler is done but the loop has not run the completion yet.
  component_->start();
  EXPECT_TRUE(component_->Active());
  ASSERT_TRUE(RunEnded());
  component_->start();
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(runs, 2);
}

TEST_F(EasyThreadTest, AnExceptionOfTheHandlerIsSwallowedAndTheNextStartRuns) {
  std::atomic<int> runs{0};
  component_->Exec = [&](TObject*, TEasyThreadThread*) {
    ++runs;
    throw Exception("echo cycle failed");
  };
  component_->start();
  ASSERT_TRUE(RunEnded());
  component_->Exec = [&](TObject*, TEasyThreadThread*) {
    ++runs;
    throw 42;  // not even an exception class
  };
  component_->start();
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(runs, 2);
}

TEST_F(EasyThreadTest, TheEndOfARunIsHandledOnTheGuiThread) {
  std::thread::id endedOn;
  bool activeAtEnd = true;
  component_->Exec = [](TObject*, TEasyThreadThread*) {};
  component_->ThreadEnd = [&](TObject* sender) {
    EXPECT_EQ(sender, component_.get());
    endedOn = std::this_thread::get_id();
    activeAtEnd = component_->Active();
  };
  component_->start();
  ASSERT_TRUE(RunEnded());
  EXPECT_EQ(endedOn, gui_);
  EXPECT_FALSE(activeAtEnd);
}

TEST_F(EasyThreadTest, EachWorkerGetsThePriorityOfTheComponent) {
  RecordingThreads threads;
  platform::Current().threads = &threads;
  component_->Exec = [](TObject*, TEasyThreadThread*) {};
  component_->start();
  ASSERT_TRUE(RunEnded());
  component_->SetPriority(tpHigher);
  component_->start();
  ASSERT_TRUE(RunEnded());
  const auto calls = threads.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].priority, -15);
  EXPECT_EQ(calls[1].priority, 1);
  EXPECT_NE(calls[0].thread, gui_);
}

TEST_F(EasyThreadTest, StopRaisesTheTerminatedFlagOfTheRun) {
  std::atomic<bool> sawTerminated{false};
  Gate started;
  component_->Exec = [&](TObject*, TEasyThreadThread* thread) {
    started.Open();
    while (!thread->Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawTerminated = true;
  };
  component_->start();
  started.Wait();
  component_->stop();
  ASSERT_TRUE(RunEnded());
  EXPECT_TRUE(sawTerminated);
}

// The worker outlives the component: its completion must find nothing to touch
// (run under ASan and TSan).
TEST_F(EasyThreadTest, DestroyingTheComponentDuringARunLeavesTheLaterCompletionHarmless) {
  Gate running;
  Gate release;
  std::atomic<bool> terminatedSeen{false};
  auto sentinel = std::make_shared<int>(0);
  std::weak_ptr<int> workerGone = sentinel;
  bool ended = false;
  component_->Exec = [&, sentinel](TObject*, TEasyThreadThread* thread) {
    running.Open();
    release.Wait();
    terminatedSeen = thread->Terminated();
  };
  component_->ThreadEnd = [&](TObject*) { ended = true; };
  sentinel.reset();
  component_->start();
  running.Wait();
  component_.reset();
  release.Open();
  // The worker's copy of the handler holds the sentinel until it frees itself.
  ASSERT_TRUE(PumpUntil([&] { return workerGone.expired(); }));
  EXPECT_TRUE(terminatedSeen);
  EXPECT_FALSE(ended);
}

}  // namespace
}  // namespace qv
