// Controls as models: change and click events fire exactly when a value
// changes, the mouse reaches the windowless control under it, lists refuse
// lines beyond their capacity.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qv
