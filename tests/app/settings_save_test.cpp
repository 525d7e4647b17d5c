// Saving: "Watch" and the confirmed shutdown write every setting; a failing
// store shows one message and loses nothing.
#include "AppFixture.h"
#include "presence/onlyrun.h"
#include "widgets/Spin.h"

namespace qv::testing {
namespace {

using ::testing::ElementsAre;

class SaveTest : public AppFixture {};

TEST_F(SaveTest, WatchHidesThePanelAndWritesEverySetting) {
  TForm1& f = Start();
  f.colorsbutton->Click();
  EXPECT_TRUE(f.opts->Visible());
  f.Edit2->SetText("Transmission");
  f.pingintervaltime->SetValue(7);
  f.SpinEdit1->SetValue(45);
  f.PingActive->SetChecked(true);
  f.pongsound->SetChecked(true);
  f.ExplorerButton4->Click();
  EXPECT_FALSE(f.opts->Visible());
  EXPECT_EQ(StoredString("WatchAppCaption"), "Transmission");
  EXPECT_EQ(StoredString("URL"), defaults::kPingHost);
  EXPECT_EQ(StoredString("log"), "c:\\program files\\dcplus\\logs\\downloads.log");
  EXPECT_EQ(StoredInteger("pingintervaltime"), 7);
  EXPECT_EQ(StoredInteger("interval"), 45);
  EXPECT_EQ(StoredInteger("PingActive"), 1);
  EXPECT_EQ(StoredInteger("pongsound"), 1);
  EXPECT_EQ(StoredInteger("pingsound"), 0);
  EXPECT_THAT(f.OnlyIfRunning1->AppTitles().Lines(), ElementsAre("Transmission"));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SaveTest, ASecondStartLoadsWhatWasSaved) {
  {
    TForm1& f = Start();
    f.Edit1->SetText("/usr/bin/xterm");
    f.pingintervaltime->SetValue(9);
    f.AppMonitorActive->SetChecked(true);
    f.ExplorerButton4->Click();
    form.reset();
  }
  TForm1& again = Start();
  EXPECT_EQ(again.Edit1->Text(), "/usr/bin/xterm");
  EXPECT_EQ(again.pingintervaltime->Value(), 9);
  EXPECT_TRUE(again.AppMonitorActive->Checked());
  EXPECT_EQ(Messages().front(), "Changed Ping Timer to 9000");
}

TEST_F(SaveTest, FailingStoreShowsTheRegistryMessageOnce) {
  SeedString("Execute", "/usr/bin/keep-me");
  TForm1& f = Start();
  f.Edit1->SetText("/usr/bin/other");
  registry.SetWriteFailure(platform::kErrorAccessDenied);
  f.ExplorerButton4->Click();
  ASSERT_EQ(dialogs.Texts().size(), 1u);
  EXPECT_EQ(dialogs.Texts()[0], "IRG0001 Code=0  Final Write access to registry failed");
  EXPECT_TRUE(f.TessalyReg1->Opened());
  registry.SetWriteFailure(platform::kErrorSuccess);
  EXPECT_EQ(StoredString("Execute"), "/usr/bin/keep-me");
}

TEST_F(SaveTest, CancelledShutdownSavesNothingAndRestoresTheWindow) {
  TForm1& f = Start();
  f.pingintervaltime->SetValue(6);
  dialogs.answers.push_back(platform::kIdCancel);
  f.ExplorerButton1->Click();
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "Sure you want to stop monitoring ?");
  EXPECT_EQ(dialogs.shown[0].caption, "Confirm Monitoring Shutdown");
  EXPECT_EQ(dialogs.shown[0].flags, platform::kMbOkCancel);
  EXPECT_FALSE(StoredInteger("pingintervaltime").has_value());
  EXPECT_FALSE(loop.QuitRequested());
  EXPECT_EQ(f.FormStyle(), TFormStyle::fsStayOnTop);
  EXPECT_FALSE(f.Shape().empty());
  EXPECT_EQ(f.Timer3->Interval(), 6000u);
}

TEST_F(SaveTest, ConfirmedShutdownSavesAndQuits) {
  TForm1& f = Start();
  f.Edit3->SetText("/usr/share/sounds/restart.wav");
  dialogs.answers.push_back(platform::kIdOk);
  f.ExplorerButton1->Click();
  EXPECT_EQ(StoredString("Sound"), "/usr/share/sounds/restart.wav");
  EXPECT_TRUE(loop.QuitRequested());
  EXPECT_EQ(loop.ExitCode(), 0);
  EXPECT_EQ(f.FormStyle(), TFormStyle::fsStayOnTop);
}

}  // namespace
}  // namespace qv::testing
