// Controls as models: change and click events fire exactly when a value
// changes, the mouse reaches the windowless control under it, lists refuse
// lines beyond their capacity.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Services.h"
#include "platform/WindowSystem.h"
#include "platform/fake/NullWindowPeer.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace qv {
namespace {

TEST(EditTest, OnChangeFiresExactlyWhenTheTextDiffers) {
  TEdit edit(nullptr);
  int changes = 0;
  edit.OnChange = [&](TObject*) { ++changes; };
  edit.SetText("abc");
  edit.SetText("abc");
  edit.SetText("");
  EXPECT_EQ(changes, 2);
}

TEST(CheckBoxTest, OnClickFiresExactlyWhenTheStateChanges) {
  TCheckBox box(nullptr);
  int clicks = 0;
  box.OnClick = [&](TObject*) { ++clicks; };
  box.SetChecked(false);
  box.SetChecked(true);
  box.SetChecked(true);
  box.SetChecked(false);
  EXPECT_EQ(clicks, 2);
}

TEST(ListBoxTest, RefusesLinesBeyondItsCapacity) {
  TListBox list(nullptr);
  list.SetCapacity(2);
  list.Items().Add("a");
  list.Items().Add("b");
  EXPECT_THROW(list.Items().Add("c"), EOutOfResources);
  EXPECT_EQ(list.Items().Count(), 2);
  list.SetItemIndex(1);
  EXPECT_EQ(list.ItemIndex(), 1);
  list.Items().Clear();
  EXPECT_EQ(list.ItemIndex(), -1);
}

class Recorder : public TGraphicControl {
 public:
  explicit Recorder(TComponent* owner) : TGraphicControl(owner) {}
  std::vector<std::string> events;
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    events.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    TGraphicControl::MouseDown(b, s, x, y);
  }
  void Click() override { events.push_back("click"); }
  void DblClick() override { events.push_back("dblclick"); }
};

// Reaches the peer events of a windowed control, as a native window would.
class FormProbe : public TForm {
 public:
  using TForm::TForm;
  void Mouse(platform::MouseAction action, int x, int y,
             platform::MouseButton b = platform::MouseButton::Left) {
    platform::MouseEvent e;
    e.action = action;
    e.button = b;
    e.x = x;
    e.y = y;
    PeerMouse(e);
  }
};

TEST(MouseTest, WindowlessChildGetsTheMouseInItsOwnCoordinates) {
  FormProbe form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* button = new Recorder(&form);
  button->SetParent(&form);
  button->SetBounds(50, 20, 30, 30);
  form.Mouse(platform::MouseAction::Down, 55, 25);
  form.Mouse(platform::MouseAction::Up, 56, 26);
  EXPECT_THAT(button->events, ::testing::ElementsAre("down 5,5", "click"));
  // A release outside the control is no click; the press captured the mouse.
  button->events.clear();
  form.Mouse(platform::MouseAction::Down, 55, 25);
  form.Mouse(platform::MouseAction::Up, 150, 80);
  EXPECT_THAT(button->events, ::testing::ElementsAre("down 5,5"));
  // The right button presses but never clicks.
  button->events.clear();
  form.Mouse(platform::MouseAction::Down, 55, 25, platform::MouseButton::Right);
  form.Mouse(platform::MouseAction::Up, 55, 25, platform::MouseButton::Right);
  EXPECT_THAT(button->events, ::testing::ElementsAre("down 5,5"));
  // Outside every child the form itself gets the mouse.
  int formDowns = 0;
  form.OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++formDowns; };
  form.Mouse(platform::MouseAction::Down, 5, 5);
  EXPECT_EQ(formDowns, 1);
}

TEST(MouseTest, DoubleClickComesBetweenTheSecondPressAndItsRelease) {
  FormProbe form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* target = new Recorder(&form);
  target->SetParent(&form);
  target->SetBounds(0, 0, 100, 100);
  form.Mouse(platform::MouseAction::Down, 10, 10);
  form.Mouse(platform::MouseAction::Up, 10, 10);
  form.Mouse(platform::MouseAction::DoubleClick, 10, 10);
  form.Mouse(platform::MouseAction::Up, 10, 10);
  EXPECT_THAT(target->events,
              ::testing::ElementsAre("down 10,10", "click", "down 10,10", "dblclick", "click"));
}

TEST(PaintTest, ParentPaintsItsWindowlessChildrenClippedToTheirBounds) {
  TPanel panel(nullptr);
  panel.SetBevelOuter(TPanelBevel::bvNone);
  panel.SetBounds(0, 0, 20, 10);
  panel.SetColor(clBlack);
  auto* label = new TLabel(&panel);
  label->SetParent(&panel);
  label->SetAutoSize(false);
  label->SetBounds(5, 2, 4, 3);
  label->SetColor(clWhite);
  TBitmap& back = panel.PaintToBackBuffer();
  EXPECT_EQ(back.GetPixel(5, 2), clWhite);
  EXPECT_EQ(back.GetPixel(8, 4), clWhite);
  EXPECT_EQ(back.GetPixel(9, 4), clBlack);
  EXPECT_EQ(back.GetPixel(8, 5), clBlack);
  EXPECT_EQ(back.GetPixel(4, 2), clBlack);
}

TEST(AlignTest, TopAlignedChildTakesTheParentsWidth) {
  TPanel panel(nullptr);
  panel.SetBounds(0, 0, 624, 247);
  auto* image = new TImage(&panel);
  image->SetParent(&panel);
  image->SetBounds(0, 0, 10, 248);
  image->SetAlign(TAlign::alTop);
  EXPECT_EQ(image->Width(), 624);
  EXPECT_EQ(image->Height(), 248);
}

TEST(FormTest, StyleChangeDropsTheOutline) {
  TForm form(nullptr);
  form.SetShape({Rect(0, 0, 10, 10)});
  form.SetFormStyle(TFormStyle::fsStayOnTop);
  EXPECT_FALSE(form.HasShape());
}

// Peers that say when they go, and whether the peer they were made in was
// still there: a native child window dies with its parent's.
class LifetimeWindowSystem : public platform::IWindowSystem {
 public:
  class Peer : public platform::fake::NullWindowPeer {
   public:
    Peer(LifetimeWindowSystem& system, Peer* parent, std::string name)
        : system_(system), parent_(parent), name_(std::move(name)) {
      system_.alive_.push_back(this);
    }
    ~Peer() override {
      if (parent_ != nullptr && std::count(system_.alive_.begin(), system_.alive_.end(), parent_) == 0)
        system_.orphans.push_back(name_);
      std::erase(system_.alive_, this);
      system_.gone.push_back(name_);
    }

   private:
    LifetimeWindowSystem& system_;
    Peer* parent_;
    std::string name_;
  };

  // Peers are named from `names` in the order they are made.
  std::unique_ptr<platform::IWindowPeer> CreatePeer(platform::PeerKind, platform::IWindowPeer* parent,
                                                    platform::IPeerEvents*) override {
    return std::make_unique<Peer>(*this, static_cast<Peer*>(parent), names.at(made_++));
  }
  int ScreenWidth() const override { return 800; }
  int ScreenHeight() const override { return 600; }
  void SetApplicationTitle(const std::string&) override {}
  int PopupMenu(platform::IWindowPeer*, int, int, const std::vector<platform::MenuEntry>&) override {
    return -1;
  }

  std::vector<std::string> names;
  std::vector<std::string> gone;     // names of the peers, in the order they went
  std::vector<std::string> orphans;  // peers that went after the peer they were made in

 private:
  std::vector<Peer*> alive_;
  std::size_t made_ = 0;
};

TEST(WinControlTest, ChildrensNativeWindowsGoBeforeTheirParentsWhoeverOwnsThem) {
  LifetimeWindowSystem windows;
  // A form's peer comes first, then its children's, each with its own children.
  windows.names = {"form", "panel", "edit", "box"};
  platform::Current().windows = &windows;
  {
    // Owned by the form, so freed only after the form's own destructor ran.
    auto form = std::make_unique<TWinControl>(nullptr);
    auto* panel = new TPanel(form.get());
    panel->SetParent(form.get());
    auto* edit = new TEdit(form.get());
    edit->SetParent(panel);
    // Owned elsewhere, and outliving its parent.
    TCheckBox box(nullptr);
    box.SetParent(form.get());
    form->HandleNeeded();
    ASSERT_NE(edit->Peer(), nullptr);
    form.reset();
    EXPECT_EQ(box.Parent(), nullptr);
    EXPECT_EQ(box.Peer(), nullptr);
  }
  platform::Current().windows = nullptr;
  EXPECT_THAT(windows.orphans, ::testing::IsEmpty());
  EXPECT_THAT(windows.gone, ::testing::UnorderedElementsAre("form", "panel", "edit", "box"));
  EXPECT_EQ(windows.gone.back(), "form");
}

}  // namespace
}  // namespace qv
