// The presence watcher's reports on the main window: the found flag, the
// indicator and the status line, at every idle moment.
#include "AppFixture.h"
#include "desktop/TrayIcon.h"
#include "presence/WindowList.h"
#include "presence/onlyrun.h"

namespace qv::testing {
namespace {

class AppWatchTest : public AppFixture {};

TEST_F(AppWatchTest, ReportsFollowTheWatchedWindowAtEveryIdleMoment) {
  SeedString("WatchAppCaption", "DC++ 0.176");
  SeedInteger("AppMonitorActive", 1);
  TForm1& f = Start();
  EXPECT_FALSE(f.AppFound);
  EXPECT_FALSE(f.Image3->Visible());
  // Loading the caption the field already shows changes nothing: the design title stays.
  EXPECT_EQ(f.OnlyIfRunning1->AppTitles().Text(), "DC++\r\n");

  desktop.Open(1, "DC++ 0.176 - hub list");
  loop.Idle();
  EXPECT_TRUE(f.AppFound);
  EXPECT_TRUE(f.Image3->Visible());
  EXPECT_EQ(f.Label1->Caption(), "DC++ 0.176 up and running");

  desktop.windows.clear();
  loop.Idle();
  EXPECT_FALSE(f.AppFound);
  EXPECT_FALSE(f.Image3->Visible());
  EXPECT_EQ(f.Label1->Caption(),
            "DC++ 0.176 not active - trying to start: c:\\program files\\dcplus\\DCPlusPlus.exe");

  // Off: the state is still kept, only the line says so.
  f.AppMonitorActive->SetChecked(false);
  desktop.Open(2, "DC++ 0.176");
  loop.Idle();
  EXPECT_TRUE(f.AppFound);
  EXPECT_EQ(f.Label1->Caption(), "Application monitoring suspended");

  // Each keystroke in the caption field changes what is looked for.
  f.Edit2->SetText("Other");
  EXPECT_EQ(f.OnlyIfRunning1->AppTitles().Text(), "Other\r\n");
  loop.Idle();
  EXPECT_FALSE(f.AppFound);
  EXPECT_EQ(f.WindowList1->Count(), 0);  // the form's snapshot was taken at start-up
}

}  // namespace
}  // namespace qv::testing

namespace qv::testing {
namespace {

class WatchTimerTest : public AppFixture {
 protected:
  TForm1& StartWatching() {
    SeedString("WatchAppCaption", "Watched App");
    SeedString("Execute", "c:\\x\\app.exe");
    SeedString("Sound", "restart.wav");
    SeedString("logsound", "log.wav");
    SeedString("log", dir.File("watched.log"));
    SeedInteger("AppMonitorActive", 1);
    SeedInteger("interval", 15);
    return Start();
  }
  void Tick() { form->Timer1Timer(form->Timer1); }
};

TEST_F(WatchTimerTest, AMissingProgramIsStartedAtEveryTickAndAPresentOneIsLeftAlone) {
  TForm1& f = StartWatching();
  f.ShowForm();
  loop.Idle();  // the presence check: nothing found
  f.systemtray->SendToTray();
  ASSERT_FALSE(f.Visible());
  Tick();  // the window comes back from the tray before the start
  EXPECT_TRUE(f.Visible());
  EXPECT_TRUE(tray.icons.empty());
  Tick();  // no waiting state after a start
  EXPECT_EQ(launcher.commands, (std::vector<std::string>{"c:\\x\\app.exe", "c:\\x\\app.exe"}));
  EXPECT_EQ(Count("Automatic restart of c:\\x\\app.exesuccessfull"), 2);
  EXPECT_EQ(sounds.Played(), (std::vector<std::string>{"restart.wav", "restart.wav"}));
  EXPECT_EQ(f.Timer1->Interval(), 15000u);

  launcher.result = platform::kLaunchFileNotFound;
  Tick();
  EXPECT_EQ(f.Label1->Caption(), "Watched App start failed - check your settings");
  EXPECT_EQ(Count("Automatic restart of c:\\x\\app.exesuccessfull"), 2);  // no line for a refused start

  desktop.Open(9, "Watched App 2.0");
  loop.Idle();
  Tick();
  EXPECT_EQ(f.Label1->Caption(), "Watched App is up and running");
  EXPECT_EQ(launcher.commands.size(), 3u);

  // Off: nothing is checked or started, whatever the desktop shows.
  f.AppMonitorActive->SetChecked(false);
  desktop.windows.clear();
  loop.Idle();
  Tick();
  EXPECT_EQ(launcher.commands.size(), 3u);
  EXPECT_EQ(f.Label1->Caption(), "Application monitoring suspended");

  // The manual start runs whatever the monitoring does.
  launcher.result = platform::kLaunchStarted;
  f.Label4DblClick(f.Label4);
  EXPECT_EQ(Count("Manual start of c:\\x\\app.exe"), 1);
  EXPECT_EQ(launcher.commands.size(), 4u);
  launcher.result = platform::kLaunchPathNotFound;
  f.Panel2->OnClick(f.Panel2);
  EXPECT_EQ(f.Label1->Caption(), "Watched App start failed - check your settings");
}

TEST_F(WatchTimerTest, AnUnreadableWindowListIsNoMissingProgram) {
  TForm1& f = StartWatching();
  desktop.Open(9, "Watched App");
  loop.Idle();
  ASSERT_TRUE(f.AppFound);
  desktop.problem = "no connection to the X server";
  loop.Idle();
  EXPECT_TRUE(f.AppFound);  // nothing was learnt about the program
  EXPECT_EQ(f.Label1->Caption(),
            "Window list unreadable (no connection to the X server) - nothing is started");
  f.AppFound = false;  // even as if it had been missing before: no start while the list is unreadable
  Tick();
  Tick();
  EXPECT_TRUE(launcher.commands.empty());
  EXPECT_EQ(f.Label1->Caption(),
            "Window list unreadable (no connection to the X server) - nothing is started");
  desktop.problem.clear();  // back: the reports and the starts resume
  desktop.windows.clear();
  loop.Idle();
  Tick();
  EXPECT_EQ(launcher.commands.size(), 1u);
}

TEST_F(WatchTimerTest, AChangedLogFileIsReportedWithItsNewestLine) {
  dir.WriteFile("watched.log", "first\r\nsecond\r\n");
  TForm1& f = StartWatching();
  desktop.Open(9, "Watched App");
  loop.Idle();
  const std::string path = dir.File("watched.log");
  EXPECT_EQ(f.WatchedLogSize, 15);
  Tick();
  EXPECT_EQ(Count("$$$ The monitored application has written new content to the monitor file"), 0);

  dir.WriteFile("watched.log", "first\r\nsecond\r\nthird");  // grows
  Tick();
  EXPECT_EQ(Count("$$$ ==> third"), 1);
  EXPECT_EQ(f.WatchedLogSize, 20);
  EXPECT_EQ(sounds.Played(), std::vector<std::string>{"log.wav"});
  Tick();  // unchanged: nothing
  EXPECT_EQ(Count("$$$ The monitored application has written new content to the monitor file"), 1);

  dir.WriteFile("watched.log",
                "one\rtwo\r\n\x1A"
                "after the end");  // shrinks; Ctrl-Z ends the text
  Tick();
  EXPECT_EQ(Count("$$$ ==> two"), 1);
  dir.WriteFile("watched.log", "");  // emptied: the newest line read so far is repeated
  Tick();
  EXPECT_EQ(Count("$$$ ==> two"), 2);
  EXPECT_EQ(f.WatchedLogSize, 0);
  dir.WriteFile("watched.log", "unix\nlines\n");
  Tick();
  EXPECT_EQ(Count("$$$ ==> lines"), 1);

  std::remove(path.c_str());
  Tick();
  EXPECT_EQ(Count("File to monitor not found " + path), 1);
  EXPECT_EQ(f.WatchedLogSize, 11);
  EXPECT_EQ(launcher.commands.size(), 0u);  // the application half ran: found, nothing started
  EXPECT_EQ(f.Label1->Caption(), "Watched App is up and running");
}

TEST_F(WatchTimerTest, AFileWithoutLinesFailsUntilItHasOne) {
  dir.WriteFile("watched.log", "");
  TForm1& f = StartWatching();
  const std::string path = dir.File("watched.log");
  dir.WriteFile("watched.log",
                "\x1A"
                "hidden");
  Tick();
  Tick();  // not stored: reported again
  EXPECT_EQ(Count("$$$ The monitored application has written new content to the monitor file"), 2);
  EXPECT_EQ(Count("File to monitor not found " + path), 2);
  EXPECT_EQ(f.WatchedLogSize, 0);

  // Switched off, changes are not compared; the first tick after reports them.
  f.AppMonitorActive->SetChecked(false);
  dir.WriteFile("watched.log", "a line\r\n");
  Tick();
  EXPECT_EQ(Count("$$$ ==> a line"), 0);
  f.AppMonitorActive->SetChecked(true);
  Tick();
  EXPECT_EQ(Count("$$$ ==> a line"), 1);
}

TEST_F(WatchTimerTest, SelectingALogFileMeasuresIt) {
  dir.WriteFile("other.log", "12345");
  TForm1& f = StartWatching();
  dialogs.files.push_back(dir.File("other.log"));
  f.Panel9Click(f.Panel9);
  EXPECT_EQ(f.logfile->Text(), dir.File("other.log"));
  EXPECT_EQ(f.WatchedLogSize, 5);
  EXPECT_EQ(Count("Monitoring file " + dir.File("other.log") + ", Size=5b"), 1);
  EXPECT_EQ(f.FormStyle(), TFormStyle::fsStayOnTop);
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);

  dialogs.files.push_back("");  // cancelled: the dialog's earlier choice stays
  f.Panel9Click(f.Panel9);
  EXPECT_EQ(Count("Monitoring file " + dir.File("other.log") + ", Size=5b"), 2);
}

}  // namespace
}  // namespace qv::testing
