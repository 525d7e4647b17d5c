// Components, the loading bracket, string lists, timers and the application's
// standard error report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Services.h"
#include "platform/fake/ScriptedDialogs.h"
#include "platform/fake/SimulatedLoop.h"
#include "toolkit/Application.h"
#include "toolkit/Classes.h"
#include "toolkit/Timer.h"

namespace qv {
namespace {

using ::testing::ElementsAre;

// Records destruction and Loaded() calls into a shared journal.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::vector<std::string>& journal, std::string name)
      : TComponent(owner), journal_(journal) {
    SetName(std::move(name));
  }
  ~Probe() override { journal_.push_back("free " + Name()); }
  bool loadingSeenInLoaded = false;

 protected:
  void Loaded() override {
    loadingSeenInLoaded = IsLoading();
    TComponent::Loaded();
    journal_.push_back("loaded " + Name());
  }

 private:
  std::vector<std::string>& journal_;
};

TEST(ComponentTest, OwnerFreesItsComponentsNewestFirst) {
  std::vector<std::string> journal;
  {
    auto owner = std::make_unique<Probe>(nullptr, journal, "owner");
    new Probe(owner.get(), journal, "a");
    auto* b = new Probe(owner.get(), journal, "b");
    new Probe(b, journal, "b1");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("b"), b);
  }
  EXPECT_THAT(journal, ElementsAre("free owner", "free b", "free b1", "free a"));
}

TEST(ComponentTest, DeletingAComponentRemovesItFromItsOwner) {
  std::vector<std::string> journal;
  Probe owner(nullptr, journal, "owner");
  auto* a = new Probe(&owner, journal, "a");
  delete a;
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(ComponentTest, LoadingBracketCallsLoadedOnceOnEveryComponent) {
  std::vector<std::string> journal;
  Probe owner(nullptr, journal, "owner");
  auto* a = new Probe(&owner, journal, "a");
  owner.BeginLoading();
  EXPECT_TRUE(a->IsLoading());
  auto* b = new Probe(&owner, journal, "b");  // made while loading, as the layout code does
  EXPECT_TRUE(b->IsLoading());
  owner.EndLoading();
  EXPECT_FALSE(a->IsLoading());
  EXPECT_FALSE(owner.IsLoading());
  EXPECT_TRUE(a->loadingSeenInLoaded);
  EXPECT_THAT(journal, ElementsAre("loaded a", "loaded b", "loaded owner"));
}

TEST(StringListTest, TextSplitsAtEveryLineEndAndJoinsWithCrLf) {
  TStringList list;
  list.SetText("one\r\ntwo\nthree\rfour");
  EXPECT_THAT(list.Lines(), ElementsAre("one", "two", "three", "four"));
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.Strings(0), EListError);
  list.Add("");
  EXPECT_EQ(list.Count(), 1);  // an empty line is a line
}

TEST(SysUtilsTest, WholeNumbersAndFormatting) {
  EXPECT_EQ(StrToIntDef(" -42", 7), -42);
  EXPECT_EQ(StrToIntDef("42 ", 7), 7);
  EXPECT_EQ(StrToIntDef("2147483648", 7), 7);
  EXPECT_EQ(StrToIntDef("-2147483648", 7), INT32_MIN);
  EXPECT_EQ(Format("Failed to get data for '%s'", "x"), "Failed to get data for 'x'");
  EXPECT_EQ(LowerCase("DC++ \xC4"), "dc++ \xE4");
}

class LoopTest : public ::testing::Test {
 protected:
  LoopTest() {
    platform::Current() = {};
    platform::Current().loop = &loop;
    platform::Current().dialogs = &dialogs;
    app.Initialize();
    app.SetTitle("Quorvane");
  }
  ~LoopTest() override { platform::Current() = {}; }
  platform::fake::SimulatedLoop loop;
  platform::fake::ScriptedDialogs dialogs;
  TApplication app;
};

TEST_F(LoopTest, TimerTicksAtItsIntervalAndZeroStopsIt) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(250);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  loop.Advance(1000);
  EXPECT_EQ(ticks, 4);
  timer.SetInterval(0);
  loop.Advance(1000);
  EXPECT_EQ(ticks, 4);
  timer.SetInterval(500);
  timer.SetEnabled(false);
  loop.Advance(1000);
  EXPECT_EQ(ticks, 4);
  timer.SetEnabled(true);
  loop.Advance(500);
  EXPECT_EQ(ticks, 5);
}

TEST_F(LoopTest, SettingTheSameIntervalDoesNotRestartThePeriod) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(1000);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  loop.Advance(600);
  timer.SetInterval(1000);
  loop.Advance(400);
  EXPECT_EQ(ticks, 1);
  timer.SetInterval(2000);  // a new interval starts its period now
  loop.Advance(1999);
  EXPECT_EQ(ticks, 1);
  loop.Advance(1);
  EXPECT_EQ(ticks, 2);
}

TEST_F(LoopTest, RefusedTimerRaisesOutOfResources) {
  TTimer timer(nullptr);
  loop.RefuseTimers(true);
  try {
    timer.SetOnTimer([](TObject*) {});
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Not enough timers available");
  }
}

TEST_F(LoopTest, ErrorEscapingATickGoesToTheStandardErrorReport) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  timer.SetOnTimer([](TObject*) { throw EInvalidOperation("Registry not opened"); });
  loop.Advance(10);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "Registry not opened.");
  EXPECT_EQ(dialogs.shown[0].caption, "Quorvane");
  timer.SetOnTimer([](TObject*) { throw Exception("Ends with a period."); });
  loop.Advance(10);
  EXPECT_EQ(dialogs.shown[1].text, "Ends with a period.");
}

TEST_F(LoopTest, IdleRunsOncePerDrainedQueueAndPostsKeepTheirOrder) {
  int idles = 0;
  app.OnIdle = [&](TObject*, bool&) { ++idles; };
  std::vector<int> order;
  std::thread other([&] {
    for (int i = 0; i < 50; ++i) loop.Post([&order, i] { order.push_back(i); });
  });
  other.join();
  app.ProcessMessages();
  EXPECT_EQ(order.size(), 50u);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(idles, 0);  // handling what is pending is no idle moment
  loop.Idle();
  EXPECT_EQ(idles, 1);
}

TEST_F(LoopTest, TerminateEndsTheLoop) {
  TTimer timer(nullptr);
  timer.SetInterval(100);
  int ticks = 0;
  timer.SetOnTimer([&](TObject*) {
    if (++ticks == 3) app.Terminate(0);
  });
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(loop.NowMs(), 300);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST_F(LoopTest, AbortIsNeverReported) {
  RunGuarded([] { throw EAbort("Operation aborted"); });
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace qv
