// The tray icon on a notification area the test holds: what reaches it, the
// mouse on it, the animation and the trip of the application into the tray.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../imaging/imaging_test_support.h"
#include "desktop/TrayIcon.h"
#include "imaging/Icon.h"
#include "imaging/ImgList.h"
#include "platform/Services.h"
#include "platform/fake/FakeTray.h"
#include "platform/fake/SimulatedLoop.h"
#include "toolkit/Application.h"
#include "toolkit/Forms.h"
#include "toolkit/Menus.h"

namespace qv {
namespace {

using imaging_test::SolidIcon;

std::unique_ptr<TIcon> Solid(std::uint32_t rgb, int side = 16) {
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromBytes(SolidIcon(rgb, side));
  return icon;
}

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    platform::Current() = platform::Services{};
    platform::Current().loop = &loop;
    platform::Current().tray = &tray;
    app = std::make_unique<TApplication>();
    app->Initialize();
    ApplicationIcon().Assign(nullptr);
  }
  ~TrayIconTest() override {
    app.reset();
    ApplicationIcon().Assign(nullptr);
    platform::Current() = platform::Services{};
  }
  // The user's mouse on the one icon shown.
  void Mouse(unsigned message) {
    ASSERT_EQ(tray.icons.size(), 1u);
    tray.Mouse(tray.icons.begin()->first, message);
  }
  std::vector<std::string> Actions() const {
    std::vector<std::string> out;
    for (const auto& call : tray.calls) out.push_back(call.action);
    return out;
  }

  platform::fake::SimulatedLoop loop;
  platform::fake::FakeTray tray;
  std::unique_ptr<TApplication> app;
};

TEST_F(TrayIconTest, AnIconWithoutPictureOrTipShowsTheApplicationsIconAndAnEmptyTip) {
  ApplicationIcon().Assign(Solid(0x00FF0000).get());
  TTrayIcon trayIcon(nullptr);
  trayIcon.SetActive(true);
  ASSERT_EQ(tray.icons.size(), 1u);
  const platform::TrayRecord& shown = tray.icons.begin()->second;
  EXPECT_EQ(shown.width, 16);
  EXPECT_EQ(shown.pixels[2], 0xFF);  // red, top-left pixel B, G, R
  // The picture is sent before the icon exists (that modify fails unseen), then the add.
  EXPECT_EQ(Actions(), (std::vector<std::string>{"modify", "add"}));
  loop.ProcessEvents();  // the posted tip reset: one modify with icon and empty tip
  ASSERT_EQ(Actions(), (std::vector<std::string>{"modify", "add", "modify"}));
  EXPECT_EQ(tray.calls[2].record.parts, platform::kTrayIcon | platform::kTrayTip);
  EXPECT_EQ(tray.calls[2].record.tip, "");

  trayIcon.SetToolTip(std::string(70, 't'));
  EXPECT_EQ(trayIcon.ToolTip().size(), 62u);
  EXPECT_EQ(tray.icons.begin()->second.tip, std::string(62, 't'));
  trayIcon.SetActive(true);  // unchanged: nothing
  trayIcon.SetActive(false);
  EXPECT_TRUE(tray.icons.empty());
  const std::size_t calls = tray.calls.size();
  trayIcon.SetToolTip("while hidden");  // kept, not sent
  EXPECT_EQ(tray.calls.size(), calls);
  EXPECT_EQ(trayIcon.ToolTip(), "while hidden");
}

TEST_F(TrayIconTest, SendingToTheTrayAndBack) {
  TForm form(nullptr);
  app->RegisterForm(&form);
  form.ShowForm();
  TTrayIcon trayIcon(nullptr);
  int hides = 0;
  form.OnHide = [&](TObject*) {
    ++hides;
    trayIcon.SendToTray();  // as the main window does: re-entered from its own hide
  };
  tray.refuse = true;  // no notification area: the window must stay reachable
  trayIcon.SendToTray();
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(trayIcon.Active());
  tray.refuse = false;
  trayIcon.SendToTray();
  trayIcon.SendToTray();
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(hides, 1);
  EXPECT_TRUE(trayIcon.Active());
  const auto actions = Actions();
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "add"), 1);

  // A double click: the release first fires OnClick, then the default
  // double-click handler brings the window back and removes the icon.
  int clicks = 0;
  trayIcon.OnClick = [&](TObject*) { ++clicks; };
  Mouse(platform::kTrayLeftButtonUp);
  Mouse(platform::kTrayLeftButtonDoubleClick);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(trayIcon.Active());
  EXPECT_TRUE(tray.icons.empty());
  const std::size_t calls = tray.calls.size();
  trayIcon.RestoreFromTray();  // not in the tray: nothing
  EXPECT_EQ(tray.calls.size(), calls);
  form.OnHide = nullptr;
}

TEST_F(TrayIconTest, RightClickMenuFirstAndTheMinimiseChain) {
  std::vector<std::string> order;
  TPopupMenu menu(nullptr);
  menu.OnPopup = [&](TObject*) { order.push_back("menu"); };
  TTrayIcon trayIcon(nullptr);
  trayIcon.PopupMenu = &menu;
  trayIcon.OnRightClick = [&](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
    EXPECT_EQ(button, TMouseButton::mbRight);
    EXPECT_EQ(shift, 0u);
    order.push_back("right " + std::to_string(x) + "," + std::to_string(y));
  };
  trayIcon.SetActive(true);
  tray.cursorX = 640;
  tray.cursorY = 1010;
  Mouse(platform::kTrayRightButtonUp);
  Mouse(0x0200);  // a move: ignored
  EXPECT_EQ(order, (std::vector<std::string>{"menu", "right 640,1010"}));

  // Minimising calls the handler that was there before; MinimizeApp adds the trip.
  trayIcon.SetActive(false);
  int minimised = 0;
  {
    app->OnMinimize = [&](TObject*) { ++minimised; };
    TTrayIcon second(nullptr);
    app->Minimize();
    EXPECT_EQ(minimised, 1);
    EXPECT_FALSE(second.Active());
    second.MinimizeApp = true;
    app->Minimize();
    EXPECT_EQ(minimised, 2);
    EXPECT_TRUE(second.Active());
  }  // gone: the icon is removed and the earlier handler is back
  EXPECT_TRUE(tray.icons.empty());
  app->Minimize();
  EXPECT_EQ(minimised, 3);
}

TEST_F(TrayIconTest, AnimationCyclesThroughTheImageListAndPutsTheIconBack) {
  TComponent owner(nullptr);
  auto* images = new TImageList(&owner);
  auto* trayIcon = new TTrayIcon(&owner);
  trayIcon->SetIcon(*Solid(0x000000FF));
  trayIcon->SetAnimate(true);  // refused: no list, not shown
  trayIcon->Images = images;
  trayIcon->SetActive(true);
  trayIcon->SetAnimate(true);  // refused: the list is empty
  EXPECT_FALSE(trayIcon->Animate());
  for (std::uint32_t rgb : {0x00110000u, 0x00220000u, 0x00330000u}) images->AddIcon(*Solid(rgb));
  trayIcon->SetAnimateInterval(0);  // ignored
  EXPECT_EQ(trayIcon->AnimateInterval(), 100);
  trayIcon->SetAnimate(true);
  ASSERT_TRUE(trayIcon->Animate());
  std::vector<int> frames;
  std::vector<std::uint8_t> reds;
  for (int i = 0; i < 4; ++i) {
    loop.Advance(100);
    frames.push_back(trayIcon->CurrentFrame());
    reds.push_back(tray.icons.begin()->second.pixels[2]);
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(reds, (std::vector<std::uint8_t>{0x22, 0x33, 0x11, 0x22}));
  trayIcon->SetAnimate(false);  // the icon from before the animation
  EXPECT_EQ(tray.icons.begin()->second.pixels[0], 0xFF);

  images->Clear();
  images->AddIcon(*Solid(0x00440000));
  trayIcon->SetAnimate(true);
  loop.Advance(200);
  EXPECT_EQ(trayIcon->CurrentFrame(), 0);  // one picture: always picture 0
  delete images;                           // the list goes: the animation stops
  EXPECT_FALSE(trayIcon->Animate());
  EXPECT_EQ(trayIcon->Images, nullptr);
}

}  // namespace
}  // namespace qv
