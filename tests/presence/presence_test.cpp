// The window list and the presence watcher on a desktop the test sets up.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/fake/FakeDesktopWindows.h"
#include "platform/fake/SimulatedLoop.h"
#include "presence/WindowList.h"
#include "presence/onlyrun.h"
#include "toolkit/Application.h"
#include "toolkit/SysUtils.h"

namespace qv {
namespace {

class PresenceTest : public ::testing::Test {
 protected:
  PresenceTest() {
    platform::Current() = platform::Services{};
    platform::Current().loop = &loop;
    platform::Current().desktop = &desktop;
    app = std::make_unique<TApplication>();
    app->Initialize();
  }
  ~PresenceTest() override {
    app.reset();
    platform::Current() = platform::Services{};
  }

  // A loaded watcher recording every report as "found:<title>" or "missing".
  std::unique_ptr<TOnlyIfRunning> Watcher(const std::string& titles) {
    auto watcher = std::make_unique<TOnlyIfRunning>(nullptr);
    watcher->AppTitles().SetText(titles);
    watcher->OnApplicationFound = [this](TObject* sender, const std::string& app) {
      EXPECT_NE(sender, nullptr);
      reports.push_back("found:" + app);
    };
    watcher->OnApplicationNotFound = [this](TObject*, const std::string& app) {
      reports.push_back("missing" + app);
    };
    watcher->BeginLoading();
    watcher->EndLoading();
    return watcher;
  }
  void Idle() { loop.Idle(); }

  platform::fake::SimulatedLoop loop;
  platform::fake::FakeDesktopWindows desktop;
  std::unique_ptr<TApplication> app;
  std::vector<std::string> reports;
};

TEST_F(PresenceTest, ListIsASnapshotInStackingOrder) {
  desktop.Open(1, "bottom");
  desktop.Open(2, std::string(300, 'c'));
  desktop.windows.push_back({});  // a window that went away: all zero
  TWindowList list(nullptr);
  ASSERT_EQ(list.Count(), 3);  // no Refresh needed for the first snapshot
  EXPECT_EQ(list.WindowAt(0).Caption, std::string(254, 'c'));
  EXPECT_EQ(list.WindowAt(1).Caption, "bottom");
  EXPECT_TRUE(list.WindowAt(1).Visible);
  EXPECT_EQ(list.WindowAt(2).Rect, TRect{});
  const TWindowObject kept = list.WindowAt(1);

  desktop.windows.erase(desktop.windows.begin() + 1);
  desktop.Open(3, "new on top");
  EXPECT_EQ(list.Count(), 3);  // not kept up to date in between
  list.Refresh();
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.WindowAt(0).Handle, 3u);
  EXPECT_EQ(list.WindowAt(1).Handle, 2u);
  EXPECT_EQ(kept.Caption, "bottom");  // copies outlive the snapshot
  try {
    list.WindowAt(list.Count());
    FAIL();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds");
  }

  desktop.windows.clear();
  list.Refresh();
  EXPECT_THROW(list.WindowAt(0), EListError);
  CloseWindowByHandle(7);
  EXPECT_EQ(desktop.closeRequests, std::vector<platform::WindowHandle>{7});
}

TEST_F(PresenceTest, ADesignedFormsListTakesNoSnapshot) {
  desktop.Open(1, "x");
  TComponent form(nullptr);
  form.SetDesigning(true);
  auto* list = new TWindowList(&form);
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(desktop.enumerations, 0);
}

TEST_F(PresenceTest, CaptionsMatchWhenTheyBeginWithATitle) {
  desktop.Open(1, "dc++ 0.176");
  desktop.Open(2, "DC++ 0.176");
  auto watcher = Watcher("DC++");
  Idle();
  Idle();  // every check reports, changed or not
  EXPECT_EQ(reports, (std::vector<std::string>{"found:DC++", "found:DC++"}));

  reports.clear();
  watcher->AppTitles().SetText("DC++ 0.176 beta");  // longer than every caption
  Idle();
  desktop.windows.erase(desktop.windows.begin());
  watcher->AppTitles().SetText("DC++");
  Idle();  // letter case counts
  EXPECT_EQ(reports, (std::vector<std::string>{"missing", "missing"}));
}

TEST_F(PresenceTest, TheFirstMatchingWindowReportsItsLastMatchingTitle) {
  desktop.Open(1, "Zeta");
  desktop.Open(2, "ABC");
  desktop.Open(3, "");  // no caption: skipped, even by an empty title
  auto watcher = Watcher("A\r\nZ\r\nAB");
  Idle();
  EXPECT_EQ(reports.back(), "found:AB");
  EXPECT_EQ(desktop.enumerations, 1);

  watcher->AppTitles().Clear();
  watcher->AppTitles().Add("nothing");
  watcher->AppTitles().Add("");  // an empty line matches any caption
  Idle();
  EXPECT_EQ(reports.back(), "found:");
  desktop.windows = {desktop.windows.front()};
  Idle();
  EXPECT_EQ(reports.back(), "missing");
  watcher->AppTitles().Clear();
  desktop.Open(4, "anything");
  Idle();
  EXPECT_EQ(reports.back(), "missing");
}

TEST_F(PresenceTest, TheIdleChainRunsOnAndIsRestored) {
  std::vector<std::pair<TObject*, bool>> earlier;
  Application->OnIdle = [&](TObject* sender, bool& done) { earlier.emplace_back(sender, done); };
  desktop.Open(1, "app");
  {
    auto watcher = Watcher("app");
    Idle();
    ASSERT_EQ(earlier.size(), 1u);
    EXPECT_EQ(earlier[0].first, Application);
    EXPECT_EQ(reports, std::vector<std::string>{"found:app"});
    TStringList titles;
    titles.SetText("other");
    watcher->SetAppTitles(titles);
    EXPECT_EQ(watcher->AppTitles().Text(), "other\r\n");
  }
  Idle();  // the watcher is gone: only the earlier handler runs
  EXPECT_EQ(earlier.size(), 2u);
  EXPECT_EQ(reports.size(), 1u);

  TOnlyIfRunning unloaded(nullptr);  // hooks nothing until loaded
  unloaded.OnApplicationNotFound = [this](TObject*, const std::string&) { reports.push_back("x"); };
  Idle();
  EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
}  // namespace qv
