// The main window's connection history: what the watches record, the hint of
// the scope and the lamp, the report from the menu, and a history that cannot
// be used.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "AppFixture.h"
#include "history/Recorder.h"
#include "platform/Services.h"
#include "platform/fake/MemoryHistoryStore.h"

namespace qv::testing {
namespace {

using platform::HistoryKind;
using platform::IcmpEchoReply;

class HistoryTest : public AppFixture {
 protected:
  // The window and its recorder go before the clock and the store they use.
  ~HistoryTest() override { form.reset(); }
  TForm1& StartRecording(bool withHistory = true) {
    platform::Current().clock = &clock;
    if (withHistory) platform::Current().history = &store;
    SeedString("URL", "127.0.0.1");
    SeedInteger("PingActive", 1);
    SeedString("Execute", "/usr/bin/app --x");
    SeedString("log", dir.File("watched.log"));
    return Start();
  }
  void Cycle(bool reply, std::uint32_t ms = 7) {
    icmp.respond = [reply, ms](const platform::fake::EchoCall&) {
      IcmpEchoReply r;
      r.replies = reply ? 1 : 0;
      r.roundTripMs = reply ? ms : 0;
      r.status = reply ? 0 : platform::kIpReqTimedOut;
      return r;
    };
    form->Timer3Timer(form->Timer3);
    FinishCycle();
    clock.Advance(1000);
  }
  std::vector<std::string> MenuCaptions() const {
    std::vector<std::string> out;
    for (int i = 0; i < form->PopupMenu2->Count(); ++i) out.push_back(form->PopupMenu2->Items(i)->Caption());
    return out;
  }

  platform::fake::ManualClock clock;
  platform::fake::MemoryHistoryStore store;
};

TEST_F(HistoryTest, TheWatchesRecordOnOneTimelineAndTheirLinesStayAsTheyWere) {
  dir.WriteFile("watched.log", "one\n");
  TForm1& f = StartRecording();
  Cycle(true, 12);
  Cycle(false);
  Cycle(true, 15);
  f.Label4DblClick(&f);  // manual start
  f.AppMonitorActive->SetChecked(true);
  launcher.result = platform::kLaunchFileNotFound;
  dir.WriteFile("watched.log", "one\ntwo\n");
  f.Timer1Timer(f.Timer1);  // the log grew and the program is missing
  f.History->Flush();

  const auto records = store.Records();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0].kind, HistoryKind::kEcho);
  EXPECT_EQ(records[0].roundTripMs, 12);
  EXPECT_EQ(records[0].subject, "127.0.0.1");
  EXPECT_EQ(records[1].status, static_cast<std::int32_t>(platform::kIpReqTimedOut));
  EXPECT_EQ(records[1].roundTripMs, -1);
  EXPECT_EQ(records[3].kind, HistoryKind::kManualStart);
  EXPECT_EQ(records[3].status, static_cast<std::int32_t>(platform::kLaunchStarted));
  EXPECT_EQ(records[4].kind, HistoryKind::kLogChange);
  EXPECT_EQ(records[4].subject, dir.File("watched.log"));
  EXPECT_EQ(records[5].kind, HistoryKind::kAutoStart);
  EXPECT_EQ(records[5].subject, "/usr/bin/app --x");
  EXPECT_EQ(records[5].status, static_cast<std::int32_t>(platform::kLaunchFileNotFound));
  EXPECT_EQ(Count("\xA9\xAE Connection to the INTERNET detected"), 2);
  EXPECT_EQ(Count("Connection to the INTERNET lost"), 1);
  EXPECT_EQ(Count("Manual start of /usr/bin/app --x"), 1);
  EXPECT_EQ(SysLog().find("history"), std::string::npos);

  // The hint of the scope and the lamp picks up the recorder's figures.
  loop.Advance(5000);
  FinishCycle();  // the ping timer ticked too
  EXPECT_NE(f.Scope1->Hint().find("Last hour: 3 cycles, loss 33.33 %"), std::string::npos)
      << f.Scope1->Hint();
  EXPECT_EQ(f.GraphicLight1->Hint(), f.Scope1->Hint());
  EXPECT_TRUE(f.Scope1->ShowHint());
}

TEST_F(HistoryTest, TheMenuWritesTheChartAndTheRowsOfTheLastDayAndOpensTheFolder) {
  TForm1& f = StartRecording();
  EXPECT_EQ(MenuCaptions(), (std::vector<std::string>{"Restore", "Send to Tray", "-", "More Bonus", "-",
                                                      "Exit", "-", "Connection report..."}));
  Cycle(true);
  Cycle(false);
  f.History->Flush();
  dialogs.folders.push_back("");  // cancelled: nothing happens
  f.ConnectionReport1Click(&f);
  EXPECT_TRUE(launcher.commands.empty());
  mkdir(dir.File("out \"q\"").c_str(), 0700);
  dialogs.folders.push_back(dir.File("out \"q\""));
  f.ConnectionReport1Click(&f);
  ASSERT_EQ(launcher.commands.size(), 1u);
  EXPECT_EQ(launcher.commands[0], "xdg-open \"" + dir.Path() + "/out \\\"q\\\"\"");
  EXPECT_EQ(platform::SplitCommandLine(launcher.commands[0]).words[1], dir.File("out \"q\""));
  // The names carry the time of the report.
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("out \"q\"")))
    written.push_back(entry.path().extension().string() + " " + std::to_string(entry.file_size() > 100));
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{".csv 1", ".png 1"}));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(HistoryTest, ADamagedHistoryIsToldOnceAndTheWatchesGoOn) {
  store.openError = "History /h cannot be opened: file is not a database";
  TForm1& f = StartRecording();
  Cycle(false);
  Cycle(true);
  f.History->Flush();
  loop.ProcessEvents();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("file is not a database"), std::string::npos);
  EXPECT_EQ(Count("Connection to the INTERNET lost"), 1);
  EXPECT_EQ(Count("\xA9\xAE Connection to the INTERNET detected"), 1);
  EXPECT_EQ(f.History->Recent().size(), 2u);  // kept for the hint and the menu
}

TEST_F(HistoryTest, SwitchedOffNothingIsRecordedAndTheMenuSaysSo) {
  TForm1& f = StartRecording(false);
  EXPECT_FALSE(f.History);
  Cycle(true);
  f.ConnectionReport1Click(&f);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("QUORVANE_HISTORY=off"), std::string::npos);
  EXPECT_TRUE(dialogs.folderTitles.empty());
}

}  // namespace
}  // namespace qv::testing
