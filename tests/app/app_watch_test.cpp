// The presence watcher's reports on the main window: the found flag, the
// indicator and the status line, at every idle moment.
#include "AppFixture.h"
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
  loop.ProcessEvents();
  EXPECT_TRUE(f.AppFound);
  EXPECT_TRUE(f.Image3->Visible());
  EXPECT_EQ(f.Label1->Caption(), "DC++ 0.176 up and running");

  desktop.windows.clear();
  loop.ProcessEvents();
  EXPECT_FALSE(f.AppFound);
  EXPECT_FALSE(f.Image3->Visible());
  EXPECT_EQ(f.Label1->Caption(),
            "DC++ 0.176 not active - trying to start: c:\\program files\\dcplus\\DCPlusPlus.exe");

  // Off: the state is still kept, only the line says so.
  f.AppMonitorActive->SetChecked(false);
  desktop.Open(2, "DC++ 0.176");
  loop.ProcessEvents();
  EXPECT_TRUE(f.AppFound);
  EXPECT_EQ(f.Label1->Caption(), "Application monitoring suspended");

  // Each keystroke in the caption field changes what is looked for.
  f.Edit2->SetText("Other");
  EXPECT_EQ(f.OnlyIfRunning1->AppTitles().Text(), "Other\r\n");
  loop.ProcessEvents();
  EXPECT_FALSE(f.AppFound);
  EXPECT_EQ(f.WindowList1->Count(), 0);  // the form's snapshot was taken at start-up
}

}  // namespace
}  // namespace qv::testing
