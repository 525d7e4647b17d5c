// The settings panel: its "Select" choosers, "Test" sounds, the manual start,
// the window diagnostic, and typed intervals that must not stop the timers.
#include "AppFixture.h"
#include "presence/WindowList.h"
#include "widgets/Spin.h"

namespace qv::testing {
namespace {

class PanelTest : public AppFixture {
 protected:
  TForm1& StartPanel() {
    TForm1& f = Start();
    f.colorsbutton->Click();
    return f;
  }
};

struct SelectRow {
  TPanel* TForm1::*select;
  TOpenDialog* TForm1::*dialog;
  TEdit* TForm1::*field;
  const char* setting;
};

constexpr SelectRow kSelects[] = {
    {&TForm1::Panel6, &TForm1::OpenDialog1, &TForm1::Edit1, "Execute"},
    {&TForm1::Panel7, &TForm1::OpenDialog2, &TForm1::Edit3, "Sound"},
    {&TForm1::Panel10, &TForm1::OpenDialog2, &TForm1::Edit4, "logsound"},
    {&TForm1::Panel20, &TForm1::OpenDialog2, &TForm1::pingfile, "pingfile"},
    {&TForm1::Panel22, &TForm1::OpenDialog2, &TForm1::pongfile, "pongfile"},
    {&TForm1::Panel23, &TForm1::OpenDialog2, &TForm1::ipalarm, "ipalarm"},
    {&TForm1::reconsnd, &TForm1::OpenDialog2, &TForm1::reconsound, "reconsound"},
    {&TForm1::Panel9, &TForm1::OpenDialog3, &TForm1::logfile, "log"},
};

TEST_F(PanelTest, EverySelectFillsItsFieldWithTheWindowShapedAndOnTopAroundTheDialog) {
  TForm1& f = StartPanel();
  const std::vector<TRect> outline = f.Shape();
  ASSERT_FALSE(outline.empty());
  std::vector<TFormStyle> stylesWhileOpen;
  dialogs.whileFileDialogOpen = [&](const platform::FileDialogRequest&) {
    stylesWhileOpen.push_back(f.FormStyle());
    EXPECT_EQ(f.Shape(), outline) << "the ordinary window lost its outline";
  };
  int n = 0;
  for (const SelectRow& row : kSelects) {
    SCOPED_TRACE(row.setting);
    TEdit& field = *(f.*row.field);
    const std::string before = field.Text();
    const std::string chosen = dir.File("chosen" + std::to_string(n++));
    dialogs.files.push_back(chosen);
    (f.*row.select)->Click();
    EXPECT_EQ(field.Text(), chosen);
    EXPECT_EQ(f.FormStyle(), TFormStyle::fsStayOnTop);
    EXPECT_EQ(f.Shape(), outline);
    // The dialog opened on the field's own file, with the dialog's filter and folder.
    ASSERT_EQ(dialogs.fileRequests.size(), static_cast<size_t>(n));
    const platform::FileDialogRequest& request = dialogs.fileRequests.back();
    EXPECT_EQ(request.fileName, before);
    EXPECT_EQ(request.filter, (f.*row.dialog)->Filter());
    EXPECT_EQ(request.initialDirectory, (f.*row.dialog)->InitialDir());
    EXPECT_FALSE(StoredString(row.setting).has_value()) << "saved before \"Watch\"";
  }
  EXPECT_EQ(stylesWhileOpen, std::vector<TFormStyle>(std::size(kSelects), TFormStyle::fsNormal));
  // The log file is measured after its choice (it does not exist).
  EXPECT_EQ(Count("File to monitor not found (" + dir.File("chosen7") + ")"), 1);

  f.ExplorerButton4->Click();
  n = 0;
  for (const SelectRow& row : kSelects)
    EXPECT_EQ(StoredString(row.setting), dir.File("chosen" + std::to_string(n++)));
}

TEST_F(PanelTest, TheDialogsOfferAllFilesAndLinuxFoldersBesideTheirOwnFilters) {
  TForm1& f = Start();
  EXPECT_EQ(f.OpenDialog1->Filter(), "Program Files|*.exe|All files (*)|*");
  EXPECT_EQ(f.OpenDialog2->Filter(), "Sound files|*.wav;*.oga;*.ogg|All files (*)|*");
  EXPECT_EQ(f.OpenDialog3->Filter(), "Log files|*.log|All files (*)|*");
  EXPECT_EQ(f.OpenDialog1->InitialDir(), "/usr/bin");
  EXPECT_EQ(f.OpenDialog2->InitialDir(), "/usr/share/sounds");
  EXPECT_EQ(f.OpenDialog3->InitialDir(), "/var/log");
}

// One dialog serves six sound fields: a cancel must not hand one field the
// file chosen for another.
TEST_F(PanelTest, ACancelledSelectLeavesItsFieldAsItWas) {
  TForm1& f = StartPanel();
  const std::string echo = f.pongfile->Text();
  dialogs.files.push_back("/sounds/ping.oga");
  f.Panel20->Click();
  ASSERT_EQ(f.pingfile->Text(), "/sounds/ping.oga");

  int changes = 0;
  f.pongfile->OnChange = [&](TObject*) { ++changes; };
  dialogs.files.push_back("");  // cancelled
  f.Panel22->Click();
  EXPECT_EQ(f.pongfile->Text(), echo);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(dialogs.fileRequests.back().fileName, echo);
  EXPECT_EQ(f.FormStyle(), TFormStyle::fsStayOnTop);
  EXPECT_FALSE(f.Shape().empty());

  // The same for a field the user typed into after an earlier choice.
  dialogs.files.push_back(dir.File("first.log"));
  f.Panel9->Click();
  f.logfile->SetText(dir.File("typed.log"));
  dialogs.files.push_back("");
  f.Panel9->Click();
  EXPECT_EQ(f.logfile->Text(), dir.File("typed.log"));
  EXPECT_EQ(Count("File to monitor not found (" + dir.File("typed.log") + ")"), 1);
}

TEST_F(PanelTest, TestPlaysItsSoundAlwaysOrOnlyWhileItsBoxIsTicked) {
  TForm1& f = StartPanel();
  f.Edit3->SetText("/s/restart.wav");
  f.Edit4->SetText("/s/missing-log.wav");
  f.pingfile->SetText("/s/ping.wav");
  f.pingsound->SetChecked(false);
  f.Panel8->Click();
  f.Panel11->Click();  // a missing file is still handed on: the player plays the default sound
  f.Panel19->Click();
  EXPECT_EQ(sounds.Played(), (std::vector<std::string>{"/s/restart.wav", "/s/missing-log.wav"}));
  f.pingsound->SetChecked(true);
  f.Panel19->Click();
  EXPECT_EQ(sounds.Played().back(), "/s/ping.wav");
}

TEST_F(PanelTest, ExecPgmStartsTheProgramJustLikeADoubleClickOnTheLabel) {
  TForm1& f = StartPanel();
  f.Edit1->SetText("/usr/bin/watched --flag");
  f.Edit3->SetText("/s/restart.wav");
  const size_t lines = Messages().size();
  f.Label4->DblClick();
  const std::vector<std::string> afterLabel = Messages();
  const std::vector<std::string> byLabel(afterLabel.begin() + lines, afterLabel.end());
  f.Panel2->Click();
  const std::vector<std::string> all = Messages();
  const std::vector<std::string> byPanel(all.begin() + afterLabel.size(), all.end());
  EXPECT_EQ(byLabel, std::vector<std::string>{"Manual start of /usr/bin/watched --flag"});
  EXPECT_EQ(byPanel, byLabel);
  EXPECT_EQ(launcher.commands, (std::vector<std::string>(2, "/usr/bin/watched --flag")));
  EXPECT_EQ(sounds.Played(), (std::vector<std::string>(2, "/s/restart.wav")));
}

TEST_F(PanelTest, DiagnosticLogsEveryCaptionAndClosesTheWindowsThatContainTheWatchedOne) {
  TForm1& f = StartPanel();
  desktop.Open(1, "Editor - notes");
  desktop.Open(2, "");
  desktop.Open(3, "my dc++ 0.176 hub");
  desktop.Open(4,
               "\xC9"
               "cran DC++ 0.176");  // Latin-1 capital E acute
  desktop.Open(5, "DC++ 0.17");
  f.Edit2->SetText("dc++ 0.176");
  const size_t lines = Messages().size();
  f.Button1->Click();
  const std::vector<std::string> all = Messages();
  EXPECT_EQ(std::vector<std::string>(all.begin() + lines, all.end()),
            (std::vector<std::string>{"DC++ 0.17",
                                      "\xC9"
                                      "cran DC++ 0.176",
                                      "my dc++ 0.176 hub", "Editor - notes"}));
  EXPECT_EQ(desktop.closeRequests, (std::vector<platform::WindowHandle>{4, 3}));
  EXPECT_EQ(f.WindowList1->Count(), 5);

  // Case is ignored for Latin-1 letters too; an empty caption field closes nothing.
  f.Edit2->SetText(
      "\xE9"
      "cran");
  f.Button1->Click();
  EXPECT_EQ(desktop.closeRequests, (std::vector<platform::WindowHandle>{4, 3, 4}));
  f.Edit2->SetText("");
  f.Button1->Click();
  EXPECT_EQ(desktop.closeRequests.size(), 3u);
  EXPECT_EQ(Count("Editor - notes"), 3);
}

// A spin edit holds what is typed until it is left: a typed 0 once stopped the
// watch timer for good, and a negative or huge value wrapped around.
TEST_F(PanelTest, TypedIntervalsOutsideTheirRangeKeepBothTimersRunning) {
  SeedInteger("AppMonitorActive", 1);
  SeedInteger("interval", 15);
  TForm1& f = StartPanel();
  const struct {
    const char* typed;
    unsigned watchMs, pingMs;
  } cases[] = {{"0", 1000, 1000}, {"-5", 1000, 1000}, {"7", 7000, 7000}, {"99999999", 99999000, 15000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    f.SpinEdit1->SetText(c.typed);
    launcher.commands.clear();  // the watched program is missing: every tick starts it
    loop.Advance(f.Timer1->Interval());
    EXPECT_EQ(launcher.commands.size(), 1u);
    EXPECT_EQ(f.Timer1->Interval(), c.watchMs);
    EXPECT_TRUE(f.Timer1->Running());
    if (c.watchMs == 1000) {
      loop.Advance(1000);
      EXPECT_EQ(launcher.commands.size(), 2u) << "the watch timer stopped";
    }

    f.pingintervaltime->SetText(c.typed);
    EXPECT_EQ(f.Timer3->Interval(), c.pingMs);
    EXPECT_TRUE(f.Timer3->Running());
    EXPECT_EQ(Messages().back(), "Changed Ping Timer to " + std::to_string(c.pingMs));
  }
}

}  // namespace
}  // namespace qv::testing
