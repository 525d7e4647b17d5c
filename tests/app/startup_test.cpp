// Start-up: the settings loaded with their defaults, the first event log lines,
// and the failures that must not cost the user's settings.
#include <sys/stat.h>

#include "AppFixture.h"
#include "presence/onlyrun.h"
#include "widgets/Spin.h"

namespace qv::testing {
namespace {

using ::testing::ElementsAre;

class StartupTest : public AppFixture {};

TEST_F(StartupTest, EmptyStoreShowsTheDefaultsAndLogsTheFirstLinesInOrder) {
  TForm1& f = Start();
  EXPECT_EQ(f.pingintervaltime->Value(), 1);
  EXPECT_EQ(f.SpinEdit1->Value(), 1);
  EXPECT_EQ(f.Timer3->Interval(), 1000u);
  EXPECT_EQ(f.Timer1->Interval(), 1000u);
  for (TCheckBox* box : {f.ipalarmsound, f.pongsound, f.pingsound, f.AppMonitorActive, f.PingActive})
    EXPECT_FALSE(box->Checked()) << box->Name();
  EXPECT_EQ(f.Edit2->Text(), "DC++ ");
  EXPECT_EQ(f.reconsound->Text(), "c:\\winnt\\media\\ringout.wav");
  EXPECT_EQ(f.testurl->Text(), defaults::kTestHost);
  EXPECT_EQ(f.edIpAddr->Text(), defaults::kPingHost);
  EXPECT_EQ(f.Edit1->Text(), "c:\\program files\\dcplus\\DCPlusPlus.exe");
  EXPECT_EQ(f.logfile->Text(), "c:\\program files\\dcplus\\logs\\downloads.log");
  EXPECT_EQ(f.pingfile->Text(), "c:\\winnt\\media\\ping.wav");
  EXPECT_EQ(f.pongfile->Text(), "c:\\winnt\\media\\pong.wav");
  EXPECT_EQ(f.Edit4->Text(), "c:\\winnt\\media\\ringout.wav");
  EXPECT_THAT(Messages(),
              ElementsAre("Changed Ping Timer to 1000", "Quorvane Rel. 3.6 started",
                          "File to monitor not found (c:\\program files\\dcplus\\logs\\downloads.log)"));
  // The empty default caption replaces the watcher's design list at once.
  EXPECT_THAT(f.OnlyIfRunning1->AppTitles().Lines(), ElementsAre("DC++ "));
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_FALSE(f.Image3->Visible());
  EXPECT_FALSE(f.opts->Visible());
  EXPECT_EQ(f.opts->Left(), 122);
  EXPECT_EQ(f.opts->Top(), 154);
  EXPECT_EQ(f.Width(), 764);
  EXPECT_EQ(f.Height(), 581);
  EXPECT_EQ(f.SavedLeft, 144);
  EXPECT_EQ(f.SavedTop, 60);
}

TEST_F(StartupTest, SysLogHoldsTheSameLinesWithDatesAndCrLf) {
  dir.WriteFile("quorvane.log", "old content of an earlier run\r\n");
  TForm1& f = Start();
  const std::vector<std::string> lines = ListLines();
  std::string expected;
  for (const std::string& l : lines) expected += "12/8/26 " + l + "\r\n";
  EXPECT_EQ(SysLog(), expected);
  EXPECT_EQ(lines.front(), "1:53:08 PM   Changed Ping Timer to 1000");
  EXPECT_EQ(f.ListBox1->ItemIndex(), 2);
}

TEST_F(StartupTest, StoredValuesAreBroughtIntoRangeAndOnlyOneMeansOn) {
  SeedInteger("pingintervaltime", 20);
  SeedInteger("interval", 0);
  SeedInteger("pingsound", 2);
  SeedInteger("pongsound", 1);
  TForm1& f = Start();
  EXPECT_EQ(f.pingintervaltime->Value(), 15);
  EXPECT_EQ(f.Timer3->Interval(), 15000u);
  EXPECT_EQ(f.SpinEdit1->Value(), 1);
  EXPECT_FALSE(f.pingsound->Checked());
  EXPECT_TRUE(f.pongsound->Checked());
  EXPECT_EQ(Messages().front(), "Changed Ping Timer to 15000");
}

TEST_F(StartupTest, StoredDesignIntervalLogsNoChange) {
  SeedInteger("pingintervaltime", 4);
  TForm1& f = Start();
  EXPECT_EQ(f.Timer3->Interval(), 4000u);
  EXPECT_EQ(Messages().front(), "Quorvane Rel. 3.6 started");
}

TEST_F(StartupTest, CaptionEqualToTheDesignTextKeepsTheWatcherList) {
  SeedString("WatchAppCaption", "DC++ 0.176");
  TForm1& f = Start();
  EXPECT_THAT(f.OnlyIfRunning1->AppTitles().Lines(), ElementsAre("DC++"));
}

TEST_F(StartupTest, OtherCaptionReplacesTheWatcherList) {
  SeedString("WatchAppCaption", "Transmission");
  TForm1& f = Start();
  EXPECT_THAT(f.OnlyIfRunning1->AppTitles().Lines(), ElementsAre("Transmission"));
}

TEST_F(StartupTest, StoredPingActiveRunsTheClickHandler) {
  SeedInteger("PingActive", 1);
  TForm1& f = Start();
  EXPECT_TRUE(f.PingActive->Checked());
  EXPECT_NE(f.icmpinfo->Caption(), "Ping not active");
}

TEST_F(StartupTest, WatchedLogIsMeasured) {
  const std::string path = dir.WriteFile("downloads.log", std::string(2048, 'x'));
  SeedString("log", path);
  TForm1& f = Start();
  EXPECT_EQ(f.WatchedLogSize, 2048);
  EXPECT_EQ(Messages().back(), "Monitoring file " + path + ", Size=2048b");
}

TEST_F(StartupTest, SysLogLiesBesideTheExecutable) {
  TForm1& f = Start();
  EXPECT_EQ(f.ProgramDir, dir.Path() + "/");
  EXPECT_EQ(f.SysLogPath, dir.Path() + "/quorvane.log");
  EXPECT_EQ(ProgramDirOf("/quorvane"), "/");
  EXPECT_EQ(ProgramDirOf("/opt/q/quorvane"), "/opt/q/");
  EXPECT_EQ(ProgramDirOf("quorvane"), "/");
}

// A setting whose key holds no value raises; the report is shown and the rest
// of the settings still load, so nothing the user stored is lost at the next save.
TEST_F(StartupTest, UnreadableSettingIsReportedAndTheRestStillLoads) {
  SeedEmptyKey("pongsound");
  SeedString("Execute", "/usr/bin/transmission-gtk");
  SeedInteger("interval", 60);
  TForm1& f = Start();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "Failed to get data for 'pongsound'.");
  EXPECT_FALSE(f.pongsound->Checked());
  EXPECT_EQ(f.Edit1->Text(), "/usr/bin/transmission-gtk");
  EXPECT_EQ(f.SpinEdit1->Value(), 60);
  EXPECT_EQ(f.Timer1->Interval(), 60000u);
  EXPECT_EQ(Messages()[1], "Quorvane Rel. 3.6 started");
}

TEST_F(StartupTest, SysLogThatCannotBeCreatedIsReportedAndStartUpGoesOn) {
  // The executable's directory cannot hold the log: its path names a directory.
  ::mkdir(dir.File("quorvane.log").c_str(), 0755);
  SeedInteger("interval", 30);
  TForm1& f = Start();
  ASSERT_GE(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].text, "Error during open SYSLOG");
  EXPECT_NE(dialogs.shown[1].text.find("quorvane.log"), std::string::npos);
  EXPECT_EQ(dialogs.shown[1].text.back(), '.');
  // Every later line still reaches the list, each with its own write error.
  EXPECT_EQ(Messages()[0], "Changed Ping Timer to 1000");
  EXPECT_EQ(Messages()[1], "Quorvane Rel. 3.6 started");
  EXPECT_EQ(dialogs.shown[2].text, "Error during write Log");
  EXPECT_EQ(f.SpinEdit1->Value(), 30);
}

}  // namespace
}  // namespace qv::testing
