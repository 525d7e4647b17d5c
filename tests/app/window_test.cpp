// The borderless window as a user handles it: dragging by the picture with
// any button, the small, bonus and full views with the delayed return to the
// saved place, minimising, the tray, the menus and the web link. The mouse
// comes through the native window, in window coordinates of the moment.
#include "AppFixture.h"
#include "desktop/GoToWeb.h"
#include "desktop/KZTransImg.h"
#include "desktop/TrayIcon.h"
#include "platform/Services.h"
#include "platform/fake/FakeWindowSystem.h"

namespace qv::testing {
namespace {

using platform::MouseAction;
using platform::MouseButton;
using platform::fake::FakePeer;
using platform::fake::FakeWindowSystem;

class WindowTest : public AppFixture {
 protected:
  WindowTest() { platform::Current().windows = &windows; }
  ~WindowTest() override { form.reset(); }

  TForm1& StartShown() {
    TForm1& f = Start();
    f.ShowForm();
    return f;
  }
  FakePeer& Peer() { return *FakeWindowSystem::Of(form->Peer()); }
  TPoint Place() const { return Point(form->Left(), form->Top()); }

  // The user presses at a screen point, moves the pointer and lets go; every
  // event is in coordinates of the window where it is at that moment.
  void Drag(TPoint from, TPoint to, MouseButton button = MouseButton::Left, int steps = 4) {
    auto at = [&](MouseAction action, TPoint screen) {
      Peer().Mouse(action, button, screen.X - form->Left(), screen.Y - form->Top());
    };
    at(MouseAction::Down, from);
    for (int i = 1; i <= steps; ++i)
      at(MouseAction::Move,
         Point(from.X + (to.X - from.X) * i / steps, from.Y + (to.Y - from.Y) * i / steps));
    at(MouseAction::Up, to);
    if (button == MouseButton::Right)
      Peer().Events()->PeerContextMenu(to.X - form->Left(), to.Y - form->Top());
  }
  // A double click on the picture at a window point, ending with its release.
  void DoubleClickPicture(int x, int y) { Peer().DoubleClick(x, y); }

  FakeWindowSystem windows;
};

TEST_F(WindowTest, DraggingWithAnyButtonKeepsThePressedPointUnderThePointer) {
  TForm1& f = StartShown();
  const TPoint start = Place();
  Peer().Update();
  const int paints = Peer().paints;
  // Left button on the picture, clear of every control.
  Drag(Point(start.X + 500, start.Y + 150), Point(start.X + 450, start.Y + 250));
  EXPECT_EQ(Place(), Point(start.X - 50, start.Y + 100));
  Peer().Update();
  EXPECT_EQ(Peer().paints, paints) << "a window that only moves keeps its pixels";
  EXPECT_FALSE(f.Dragging);
  // The right button drags too, and its release opens the picture's menu.
  const TPoint before = Place();
  Drag(Point(before.X + 500, before.Y + 150), Point(before.X + 510, before.Y + 140), MouseButton::Right);
  EXPECT_EQ(Place(), Point(before.X + 10, before.Y - 10));
  ASSERT_EQ(windows.menus.size(), 1u);
  std::vector<std::string> captions;
  for (const auto& entry : windows.menus[0].entries) captions.push_back(entry.caption);
  // The described items, then the connection report after a separator.
  EXPECT_EQ(captions, (std::vector<std::string>{"Restore", "Send to Tray", "-", "More Bonus", "-", "Exit",
                                                "-", "Connection report..."}));
}

TEST_F(WindowTest, TheFullViewReturnsToItsSavedPlaceAtTheNextRelease) {
  TForm1& f = StartShown();
  // Without any earlier swap the saved place is the design position.
  DoubleClickPicture(500, 150);
  EXPECT_EQ(Place(), Point(144, 60));
  EXPECT_FALSE(f.RestorePending);
  EXPECT_EQ(f.Width(), 764);
  EXPECT_TRUE(f.HasShape());
}

TEST_F(WindowTest, TheSmallViewSitsLowLeftAndRestoringIgnoresWhereItWasDragged) {
  TForm1& f = StartShown();
  const TPoint full = Place();
  f.ExplorerButton3->Click();
  EXPECT_EQ(f.Width(), 98);
  EXPECT_EQ(f.Height(), 125);
  EXPECT_EQ(Place(), Point(0, windows.screenHeight - 125 - 32));
  EXPECT_TRUE(Peer().shape.has_value());
  EXPECT_FALSE(f.ExplorerButton5->Visible());
  EXPECT_FALSE(f.Label15->Visible());
  // Only the picture is left to click on: every control of the full view lies outside.
  for (int y = 0; y < f.Height(); ++y)
    for (int x = 0; x < f.Width(); ++x) ASSERT_EQ(ControlAtPoint(&f, x, y), f.KZTransImage1) << x << "," << y;

  Drag(Point(40, Place().Y + 40), Point(400, 300));
  EXPECT_NE(Place(), full);
  DoubleClickPicture(40, 40);
  EXPECT_EQ(f.Width(), 764);
  EXPECT_EQ(Place(), full);
  EXPECT_TRUE(f.ExplorerButton5->Visible());
  EXPECT_TRUE(f.Label15->Visible());
}

TEST_F(WindowTest, TheBonusViewGivesWayToTheSmallOneUnlessRestoredFirst) {
  TForm1& f = StartShown();
  const TPoint full = Place();
  f.colorsbutton->Click();  // the settings panel is open
  f.Image2->Click();
  EXPECT_EQ(f.Width(), 151);
  EXPECT_EQ(f.Height(), 358);
  // The buttons and the panel of the full view would lie on this picture:
  // nothing of them shows or can be reached.
  for (int y = 0; y < f.Height(); ++y)
    for (int x = 0; x < f.Width(); ++x) ASSERT_EQ(ControlAtPoint(&f, x, y), f.KZTransImage1) << x << "," << y;
  EXPECT_FALSE(f.opts->Showing());
  EXPECT_EQ(f.Timer2->Interval(), 10000u);
  loop.Advance(5000);
  DoubleClickPicture(30, 30);  // restored within the ten seconds
  EXPECT_EQ(Place(), full);
  EXPECT_TRUE(f.opts->Showing()) << "the full view comes back as it was";
  EXPECT_TRUE(f.colorsbutton->Visible());
  loop.Advance(10000);
  EXPECT_EQ(f.Width(), 764) << "the dropped bonus timer shows no small view";

  // Left alone, the bonus view turns into the small one, which saves the bonus
  // picture's place: restoring then comes back to that corner.
  f.Image2->Click();
  const TPoint bonusPlace = Place();
  loop.Advance(10000);
  EXPECT_EQ(f.Width(), 98);
  EXPECT_EQ(f.Timer2->Interval(), 0u);
  DoubleClickPicture(30, 30);
  EXPECT_EQ(Place(), bonusPlace);
  EXPECT_EQ(bonusPlace, Point(0, windows.screenHeight - 358 - 32));
}

TEST_F(WindowTest, MenuItemsRunTheirHandlersAndTheMenuRestoresInPlaceUntilTheNextClick) {
  TForm1& f = StartShown();
  f.PopupMenu2->Find("More Bonus")->Click();
  EXPECT_EQ(f.Width(), 151);
  const TPoint corner = Place();
  f.PopupMenu2->Find("Restore")->Click();
  EXPECT_EQ(f.Width(), 764);
  EXPECT_EQ(Place(), corner) << "a menu choice ends with no release over the picture";
  Peer().Click(500, 150);
  EXPECT_NE(Place(), corner);
  f.PopupMenu1->Find("Restore")->Click();
  EXPECT_TRUE(f.RestorePending);
  f.PopupMenu2->Find("Send to Tray")->Click();
  EXPECT_TRUE(f.systemtray->Active());
}

TEST_F(WindowTest, MinimisingAndTheTrayKeepTheWatchesRunning) {
  TForm1& f = StartShown();
  f.ExplorerButton2->Click();
  EXPECT_TRUE(Peer().minimized);
  const int beats = Count("System is alive");
  loop.Advance(180000);
  EXPECT_EQ(Count("System is alive"), beats + 1);

  // To the tray from the minimised window, and back by a click on the icon:
  // the window comes back shown, not minimised.
  f.OfficeButton2->Click();
  EXPECT_FALSE(Peer().visible);
  ASSERT_EQ(tray.icons.size(), 1u);
  loop.Advance(180000);
  EXPECT_EQ(Count("System is alive"), beats + 2);
  tray.Mouse(tray.icons.begin()->first, platform::kTrayLeftButtonDoubleClick);
  EXPECT_TRUE(Peer().visible);
  EXPECT_FALSE(Peer().minimized);
  EXPECT_TRUE(tray.icons.empty());
  // Hiding the window any other way sends it to the tray as well.
  f.HideForm();
  EXPECT_EQ(tray.icons.size(), 1u);
  tray.Mouse(tray.icons.begin()->first, platform::kTrayLeftButtonUp);
  EXPECT_TRUE(Peer().visible) << "a single click restores too";

  // Another start of the program brings the window back from the tray and
  // from the taskbar.
  f.OfficeButton2->Click();
  f.ShowOnSecondStart();
  EXPECT_TRUE(Peer().visible);
  EXPECT_TRUE(tray.icons.empty());
  f.ExplorerButton2->Click();
  f.ShowOnSecondStart();
  EXPECT_FALSE(Peer().minimized);
  EXPECT_TRUE(Peer().visible);
}

TEST_F(WindowTest, TheWebLinkOpensThePageInTheRegisteredBrowser) {
  const std::string command = "\"/usr/bin/web-browser\" %1";
  registry.Plant(platform::kHkeyClassesRoot, ".htm", "", platform::kRegSz, {'h', 't', 'm', 0});
  registry.Plant(platform::kHkeyClassesRoot, ".htm\\shell\\open\\command", "", platform::kRegSz,
                 std::vector<std::uint8_t>(command.begin(), command.end()));
  TForm1& f = StartShown();
  f.Label3->Click();
  ASSERT_EQ(launcher.commands.size(), 1u);
  EXPECT_NE(launcher.commands[0].find(defaults::kWebUrl), std::string::npos);
  EXPECT_EQ(launcher.commands[0].rfind("\"/usr/bin/web-browser\"", 0), 0u);
}

}  // namespace
}  // namespace qv::testing
