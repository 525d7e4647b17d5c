// The event log: line formats, the heartbeat, trimming, the full list and
// lines from another thread.
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "AppFixture.h"

namespace qv::testing {
namespace {

class EventLogTest : public AppFixture {};

TEST_F(EventLogTest, TwentyFourHourLocaleWithLeadingZeros) {
  locale.SetFormats(platform::fake::FakeLocale::German());
  locale.SetNow({2026, 3, 4, 9, 5, 7});
  TForm1& f = Start();
  f.LogEvent("");
  EXPECT_EQ(ListLines().back(), "09:05:07   ");
  const std::string log = SysLog();
  EXPECT_NE(log.find("04.03.2026 09:05:07   \r\n"), std::string::npos) << log;
}

TEST_F(EventLogTest, HeartbeatEveryThreeMinutes) {
  Start();
  const size_t before = Messages().size();
  loop.Advance(179999);
  EXPECT_EQ(Messages().size(), before);
  loop.Advance(1);
  ASSERT_EQ(Messages().size(), before + 1);
  EXPECT_EQ(Messages().back(), "System is alive");
  loop.Advance(180000);
  EXPECT_EQ(Messages().back(), "System is alive");
  EXPECT_EQ(Messages().size(), before + 2);
}

TEST_F(EventLogTest, WatchTimerEmptiesTheListOnlyAboveOneThousandLines) {
  TForm1& f = Start();
  f.AppMonitorActive->SetChecked(true);
  while (f.ListBox1->Items().Count() < 1000) f.LogEvent("filler");
  f.Timer1Timer(f.Timer1);  // 1000 are kept; the tick adds its own lines
  EXPECT_GT(f.ListBox1->Items().Count(), 1000);
  // The log half runs first, then the application half.
  const auto lines = Messages();
  EXPECT_EQ(lines[lines.size() - 2],
            "File to monitor not found c:\\program files\\dcplus\\logs\\downloads.log");
  EXPECT_EQ(lines.back(), "Automatic restart of c:\\program files\\dcplus\\DCPlusPlus.exesuccessfull");
  f.Timer1Timer(f.Timer1);  // emptied first: only this tick's lines remain
  const auto left = Messages();
  EXPECT_LT(left.size(), 10u);
  EXPECT_EQ(std::count(left.begin(), left.end(), "filler"), 0);
}

TEST_F(EventLogTest, WatchTimerDoesNotTrimWithMonitoringOff) {
  TForm1& f = Start();
  while (f.ListBox1->Items().Count() < 1001) f.LogEvent("filler");
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.ListBox1->Items().Count(), 1001);
}

TEST_F(EventLogTest, FullListIsEmptiedAndTheNoticeTakesTheRefusedLinesPlace) {
  TForm1& f = Start();
  f.ListBox1->SetCapacity(5);
  f.LogEvent("four");
  f.LogEvent("five");
  f.LogEvent("refused");
  EXPECT_EQ(Messages(), std::vector<std::string>{
                            "GETLOG* short on memory, log flush forced, log still complete on file "});
  const std::string log = SysLog();
  EXPECT_NE(log.find("five\r\n"), std::string::npos);
  EXPECT_EQ(log.find("refused"), std::string::npos);
  EXPECT_NE(log.find("log still complete on file \r\n"), std::string::npos);
}

TEST_F(EventLogTest, ReadOnlySysLogReportsEveryEventAndKeepsTheLines) {
  TForm1& f = Start();
  ::chmod(dir.File("quorvane.log").c_str(), 0444);
  f.LogEvent("first");
  f.LogEvent("second");
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Error during write Log", "Error during write Log"}));
  EXPECT_EQ(Messages().back(), "second");
}

TEST_F(EventLogTest, DeletedSysLogIsNotCreatedAgain) {
  TForm1& f = Start();
  ::unlink(dir.File("quorvane.log").c_str());
  f.LogEvent("after delete");
  EXPECT_EQ(dialogs.Texts().size(), 1u);
  struct stat st {};
  EXPECT_NE(::stat(dir.File("quorvane.log").c_str(), &st), 0);
}

TEST_F(EventLogTest, LinesFromTwoThreadsKeepTheOrderOfTheCalls) {
  TForm1& f = Start();
  constexpr int kLines = 200;
  std::thread worker([&] {
    for (int i = 0; i < kLines; ++i) f.LogEvent("worker " + std::to_string(i));
  });
  for (int i = 0; i < kLines; ++i) f.LogEvent("gui " + std::to_string(i));
  worker.join();
  loop.ProcessEvents();
  int nextWorker = 0, nextGui = 0;
  for (const std::string& m : Messages()) {
    if (m.rfind("worker ", 0) == 0) {
      EXPECT_EQ(m, "worker " + std::to_string(nextWorker++));
    } else if (m.rfind("gui ", 0) == 0) {
      EXPECT_EQ(m, "gui " + std::to_string(nextGui++));
    }
  }
  EXPECT_EQ(nextWorker, kLines);
  EXPECT_EQ(nextGui, kLines);
  // The file holds the same lines in the same order as the list.
  std::string expected;
  for (const std::string& l : ListLines()) expected += "12/8/26 " + l + "\r\n";
  EXPECT_EQ(SysLog(), expected);
}

}  // namespace
}  // namespace qv::testing
