// Saving: "Watch" and the confirmed shutdown write every setting; a failing
// store shows one message and loses nothing.
#include "AppFixture.h"
#include "platform/Services.h"
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
  EXPECT_TRUE(f.HasShape());
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

namespace qv::testing {
namespace {

// Passes every call to the fixture's store, records the names written and can
// refuse writes from the n-th one on.
class RecordingStore final : public platform::IRegistryStore {
 public:
  explicit RecordingStore(platform::IRegistryStore& inner) : inner_(inner) {}
  platform::RegStatus OpenKey(platform::HKey p, const std::string& k, platform::HKey* r) override {
    return inner_.OpenKey(p, k, r);
  }
  platform::RegStatus CreateKey(platform::HKey p, const std::string& k, platform::HKey* r) override {
    return inner_.CreateKey(p, k, r);
  }
  platform::RegStatus CloseKey(platform::HKey k) override { return inner_.CloseKey(k); }
  platform::RegStatus QueryValue(platform::HKey k, const std::string& n, platform::RegValue* v) override {
    return inner_.QueryValue(k, n, v);
  }
  platform::RegStatus SetValue(platform::HKey k, const std::string& n, platform::RegType t,
                               const std::vector<std::uint8_t>& d) override {
    if (failFrom >= 0 && static_cast<int>(written.size()) >= failFrom) return platform::kErrorAccessDenied;
    written.push_back(n);
    return inner_.SetValue(k, n, t, d);
  }
  bool KeyExists(platform::HKey p, const std::string& k) override { return inner_.KeyExists(p, k); }

  std::vector<std::string> written;
  int failFrom = -1;

 private:
  platform::IRegistryStore& inner_;
};

class SaveOrderTest : public AppFixture {
 protected:
  SaveOrderTest() : recording(registry) { platform::Current().registry = &recording; }
  // The window may still hold the store open: it goes before the store does.
  ~SaveOrderTest() override { form.reset(); }
  RecordingStore recording;
};

TEST_F(SaveOrderTest, TextsFirstThenNumbersInTheirOrder) {
  TForm1& f = Start();
  f.ExplorerButton4->Click();
  EXPECT_THAT(recording.written,
              ElementsAre("logsound", "reconsound", "WatchAppCaption", "URL", "Execute", "Sound", "log",
                          "pingfile", "pongfile", "ipalarm", "testurl", "interval", "pingintervaltime",
                          "PingActive", "AppMonitorActive", "pingsound", "pongsound", "ipalarmsound"));
  EXPECT_FALSE(f.TessalyReg1->Opened());
}

TEST_F(SaveOrderTest, SettingsAfterTheFailingOneAreNotWrittenAndTheStoreStaysOpen) {
  TForm1& f = Start();
  recording.failFrom = 3;  // "URL" fails
  f.ExplorerButton4->Click();
  EXPECT_THAT(recording.written, ElementsAre("logsound", "reconsound", "WatchAppCaption"));
  EXPECT_EQ(dialogs.Texts(),
            std::vector<std::string>{"IRG0001 Code=0  Final Write access to registry failed"});
  EXPECT_TRUE(f.TessalyReg1->Opened());
  EXPECT_FALSE(StoredString("Execute").has_value());
}

}  // namespace
}  // namespace qv::testing
