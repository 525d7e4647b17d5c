// The skinned push button: its looks pixel by pixel, where picture and caption
// go, and how presses, groups, menus and accelerators drive it.
#include "widgets/explbtn.h"

#include <gtest/gtest.h>

#include <sstream>

#include "WidgetHost.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/Menus.h"

namespace qv::testing {
namespace {

constexpr TColor kGround = clTeal;
constexpr TColor kKey = clFuchsia;
constexpr TColor kFontColor = clBlue;
constexpr TColor kIdleColor = clYellow;
const TColor kLight = ColorToRGB(clBtnHighlight);
const TColor kShadow = ColorToRGB(clBtnShadow);

// A 4 x 4 picture: key colour in the corners, red rim, black middle.
void MakePicture(TBitmap& b) {
  FillBitmap(b, 4, 4, clRed);
  for (int c : {0, 3})
    for (int r : {0, 3}) b.SetPixel(c, r, kKey);
  for (int y = 1; y < 3; ++y)
    for (int x = 1; x < 3; ++x) b.SetPixel(x, y, clBlack);
}

// Reaches the peer events of a form, as its native window would.
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
  void Move(int x, int y) { Mouse(platform::MouseAction::Move, x, y); }
  void Down(int x, int y) { Mouse(platform::MouseAction::Down, x, y); }
  void Up(int x, int y) { Mouse(platform::MouseAction::Up, x, y); }
  void RightClick(int x, int y) {
    Mouse(platform::MouseAction::Down, x, y, platform::MouseButton::Right);
    Mouse(platform::MouseAction::Up, x, y, platform::MouseButton::Right);
    PeerContextMenu(x, y);
  }
  bool Type(char c, unsigned shift) { return PeerKey(0, c, shift); }
};

// A form with buttons on it, its peer made by the counting window system.
class ButtonTest : public ::testing::Test {
 protected:
  ButtonTest() {
    form.SetBounds(0, 0, 200, 100);
    form.HandleNeeded();
    form.SetVisible(true);
  }
  TExplorerButton* AddButton(int left, int top, int width, int height) {
    auto* b = new TExplorerButton(&form);
    b->SetParent(&form);
    b->SetBounds(left, top, width, height);
    b->OnClick = [this](TObject*) { ++clicks; };
    return b;
  }

  WidgetHost env;
  FormProbe form{nullptr};
  int clicks = 0;
};

// --- Looks ---------------------------------------------------------------------------------

// A 20 x 22 button at (2, 2) with the test picture above the caption "A".
class LookTest : public ::testing::Test {
 protected:
  LookTest() {
    button.SetBounds(2, 2, 20, 22);
    MakePicture(picture);
    button.SetBitmap(&picture);
    button.SetCaption("A");
    button.Font().SetColor(kFontColor);
    button.SetUnselectedFontColor(kIdleColor);
    button.SetOptions({boShowBevel});
  }
  TBitmap& Paint() {
    FillBitmap(surface, 24, 26, kGround);
    PaintAsParent(button, surface);
    return surface;
  }
  // Colour counts inside the button, edges left out.
  int Count(TColor c) {
    int n = 0;
    for (int y = 3; y < 23; ++y)
      for (int x = 3; x < 21; ++x) n += surface.GetPixel(x, y) == c;
    return n;
  }
  // The picture's rows where the layout puts it: (BX, BY) = (8, 3) + shift.
  std::vector<std::string> PictureRows(int shift) {
    return Letters(surface, Rect(10 + shift, 5 + shift, 14 + shift, 9 + shift), "RBHSg",
                   {clRed, clBlack, kLight, kShadow, kGround});
  }
  void ExpectBevel(TColor a, TColor b) {
    const TRect r = Rect(2, 2, 22, 24);
    for (int y = r.Top; y < r.Bottom; ++y) {
      EXPECT_EQ(surface.GetPixel(r.Left, y), a) << "left edge y=" << y;
      EXPECT_EQ(surface.GetPixel(r.Right - 1, y), b) << "right edge y=" << y;
    }
    for (int x = r.Left; x < r.Right; ++x) {
      EXPECT_EQ(surface.GetPixel(x, r.Top), x == r.Right - 1 ? b : a) << "top edge x=" << x;
      EXPECT_EQ(surface.GetPixel(x, r.Bottom - 1), x == r.Left ? a : b) << "bottom edge x=" << x;
    }
  }
  void ExpectNoBevel() {
    for (int y = 2; y < 24; ++y) EXPECT_EQ(surface.GetPixel(2, y), kGround);
    for (int x = 2; x < 22; ++x) EXPECT_EQ(surface.GetPixel(x, 2), kGround);
  }

  WidgetHost env;
  TExplorerButton button{nullptr};
  TBitmap picture, surface;
};

TEST_F(LookTest, IdleShowsPictureAndIdleCaptionWithoutBevel) {
  Paint();
  ExpectNoBevel();
  EXPECT_EQ(PictureRows(0), (std::vector<std::string>{"gRRg", "RBBR", "RBBR", "gRRg"}));
  EXPECT_GT(Count(kIdleColor), 0);
  EXPECT_EQ(Count(kFontColor), 0);
  EXPECT_EQ(Count(kKey), 0);
}

TEST_F(LookTest, HoverRaisesTheBevelWithLightOnBothLeftCorners) {
  button.MouseEnter();
  Paint();
  ExpectBevel(kLight, kShadow);
  EXPECT_GT(Count(kFontColor), 0);
  EXPECT_EQ(Count(kIdleColor), 0);
  // The panel's 3-D frame paints the bottom-left corner in the second colour; ours does not.
  TBitmap frame;
  FillBitmap(frame, 24, 26, kGround);
  TRect r = Rect(2, 2, 22, 24);
  Frame3D(frame.Canvas(), r, kLight, kShadow, 1);
  EXPECT_EQ(frame.GetPixel(2, 23), kShadow);
  EXPECT_EQ(surface.GetPixel(2, 23), kLight);
}

TEST_F(LookTest, PressedSinksTheBevelAndMovesPictureAndCaption) {
  button.MouseEnter();
  Paint();
  TBitmap hover;
  hover.Assign(&surface);
  button.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  Paint();
  ExpectBevel(kShadow, kLight);
  EXPECT_EQ(PictureRows(1), (std::vector<std::string>{"gRRg", "RBBR", "RBBR", "gRRg"}));
  // Everything inside the bevel is the hover look moved by one pixel.
  for (int y = 3; y < 22; ++y)
    for (int x = 3; x < 20; ++x)
      ASSERT_EQ(surface.GetPixel(x + 1, y + 1), hover.GetPixel(x, y)) << x << "," << y;
  // With the lowered style the caption stays where it was; the picture still moves.
  button.SetBevelStyle(TBevelStyle::bsLowered);
  Paint();
  ExpectBevel(kLight, kShadow);
  EXPECT_EQ(PictureRows(1)[1], "RBBR");
}

TEST_F(LookTest, PressedWithThePointerOutsideLooksIdle) {
  Paint();
  TBitmap idle;
  idle.Assign(&surface);
  button.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  button.MouseLeave();
  EXPECT_TRUE(button.Pressed());
  Paint();
  for (int y = 0; y < 26; ++y)
    for (int x = 0; x < 24; ++x) ASSERT_EQ(surface.GetPixel(x, y), idle.GetPixel(x, y)) << x << "," << y;
}

TEST_F(LookTest, DisabledEngravesTheBlackPixelsAndTheCaption) {
  button.SetEnabled(false);
  Paint();
  ExpectNoBevel();
  // Black turns into shadow, with the highlight one pixel down and right; the rest is left out.
  EXPECT_EQ(Letters(surface, Rect(10, 5, 15, 10), "HSg", {kLight, kShadow, kGround}),
            (std::vector<std::string>{"ggggg", "gSSgg", "gSSHg", "ggHHg", "ggggg"}));
  EXPECT_GT(Count(kLight), 3);
  EXPECT_EQ(Count(kIdleColor) + Count(kFontColor) + Count(clRed), 0);
  // Its own disabled picture, when it has one, takes the place of the engraving.
  TBitmap own;
  FillBitmap(own, 4, 4, clLime);
  own.SetPixel(0, 0, kKey);
  button.SetDisabledBitmap(&own);
  Paint();
  EXPECT_EQ(Letters(surface, Rect(10, 5, 14, 9), "Lg", {clLime, kGround})[0], "gLLL");
}

TEST_F(LookTest, MonoDisplayShowsTheNoFocusPictureOrTheGreyOneUntilHovered) {
  button.SetOptions({boMonoDisplay, boShowBevel});
  TBitmap grey;
  FillBitmap(grey, 4, 4, clWhite);
  grey.SetPixel(0, 0, clGreen);
  button.IBitmap().Assign(&grey);
  Paint();
  EXPECT_EQ(PictureRows(0)[1], "HHHH");         // white, the highlight colour here
  EXPECT_EQ(surface.GetPixel(10, 5), kGround);  // the grey picture's own key colour is left out
  EXPECT_EQ(surface.GetPixel(11, 5), clWhite);
  TBitmap noFocus;
  FillBitmap(noFocus, 4, 4, clNavy);
  noFocus.SetPixel(0, 0, kKey);
  button.SetNoFocusBitmap(&noFocus);
  Paint();
  EXPECT_EQ(surface.GetPixel(11, 5), clNavy);
  button.MouseEnter();
  Paint();
  EXPECT_EQ(PictureRows(0)[1], "RBBR");
}

TEST_F(LookTest, DownFillsWithTheCheckerAndStaysPressedWhateverThePointer) {
  button.SetGroupIndex(1);
  button.SetDown(true);
  button.MouseLeave();
  Paint();
  ExpectBevel(kShadow, kLight);
  const TColor face = ColorToRGB(clBtnFace);
  // The checker runs on the parent's pixel grid: highlight where x and y are both even or both odd.
  for (int y = 3; y < 5; ++y)
    for (int x = 3; x < 8; ++x) EXPECT_EQ(surface.GetPixel(x, y), (x % 2) == (y % 2) ? kLight : face);
  EXPECT_EQ(PictureRows(1)[1], "RBBR");
  button.SetShowDownPattern(false);
  Paint();
  EXPECT_EQ(surface.GetPixel(4, 4), kGround);
}

TEST(ButtonLook, EmptyButtonDrawsOnlyItsBevelAndOnlyWhenHovered) {
  WidgetHost env;
  TExplorerButton button(nullptr);
  button.SetBounds(0, 0, 10, 8);
  TBitmap surface;
  FillBitmap(surface, 10, 8, kGround);
  PaintAsParent(button, surface);
  EXPECT_EQ(Letters(surface, Rect(0, 0, 10, 8), "g", {kGround}), std::vector<std::string>(8, "gggggggggg"));
  button.MouseEnter();
  PaintAsParent(button, surface);
  const auto rows = Letters(surface, Rect(0, 0, 10, 8), "HSg", {kLight, kShadow, kGround});
  EXPECT_EQ(rows.front(), "HHHHHHHHHS");
  EXPECT_EQ(rows[3], "HggggggggS");
  EXPECT_EQ(rows.back(), "HSSSSSSSSS");
}

// --- Layout -------------------------------------------------------------------------------------

struct PlaceCase {
  TExplorerButtonLayout layout;
  TAlignment alignment;
  int BX, BY, TX, TY;
};

TEST(ButtonLayout, FourLayoutsByThreeAlignments) {
  using L = TExplorerButtonLayout;
  using A = TAlignment;
  // 40 x 30 button, 8 x 6 picture, caption "AB" of the test font: 12 x 9, 2 apart.
  const PlaceCase cases[] = {
      {L::blBitmapTop, A::taLeftJustify, 3, 6, 3, 14},
      {L::blBitmapTop, A::taRightJustify, 29, 6, 25, 14},
      {L::blBitmapTop, A::taCenter, 16, 6, 14, 14},
      {L::blBitmapBottom, A::taLeftJustify, 3, 17, 3, 6},
      {L::blBitmapBottom, A::taRightJustify, 29, 17, 25, 6},
      {L::blBitmapBottom, A::taCenter, 16, 17, 14, 6},
      {L::blBitmapLeft, A::taLeftJustify, 3, 12, 13, 10},
      {L::blBitmapLeft, A::taRightJustify, 15, 12, 25, 10},
      {L::blBitmapLeft, A::taCenter, 9, 12, 19, 10},
      {L::blBitmapRight, A::taLeftJustify, 17, 12, 3, 10},
      {L::blBitmapRight, A::taRightJustify, 29, 12, 15, 10},
      {L::blBitmapRight, A::taCenter, 23, 12, 9, 10},
  };
  WidgetHost env;
  TBitmap scratch;
  TBitmap picture;
  FillBitmap(picture, 8, 6, clRed);
  for (const PlaceCase& c : cases) {
    TExplorerButton button(nullptr);
    button.SetBounds(0, 0, 40, 30);
    button.SetBitmap(&picture);
    button.SetCaption("AB");
    button.SetLayout(c.layout);
    button.SetAlignment(c.alignment);
    const TExplorerButtonPlacement p = button.Place(scratch.Canvas());
    SCOPED_TRACE(::testing::Message() << "layout " << static_cast<int>(c.layout) << " alignment "
                                      << static_cast<int>(c.alignment));
    EXPECT_EQ(p.BX, c.BX);
    EXPECT_EQ(p.BY, c.BY);
    EXPECT_EQ(p.TX, c.TX);
    EXPECT_EQ(p.TY, c.TY);
    EXPECT_EQ(p.TR, Rect(c.TX, c.TY, c.TX + 12, c.TY + 9));
  }
}

TEST(ButtonLayout, SideBySideCutsTheCaptionToTheRoomLeft) {
  WidgetHost env;
  TBitmap scratch, picture;
  FillBitmap(picture, 8, 6, clRed);
  TExplorerButton button(nullptr);
  button.SetBounds(0, 0, 30, 20);
  button.SetBitmap(&picture);
  button.SetCaption("ABCD");  // 24 wide: 8 + 2 + 24 > 30 - 4
  button.SetLayout(TExplorerButtonLayout::blBitmapLeft);
  const TExplorerButtonPlacement p = button.Place(scratch.Canvas());
  EXPECT_EQ(p.TW, 16);
  EXPECT_EQ(p.TR, Rect(12, 5, 28, 14));
}

TEST(ButtonLayout, WrappedCaptionBreaksAtBlanksAndEndsFivePixelsBeforeTheEdge) {
  WidgetHost env;
  TBitmap scratch;
  TExplorerButton button(nullptr);
  button.SetBounds(0, 0, 30, 30);
  button.SetCaption("AAAA BBBB");
  button.SetWordWrap(true);
  const TExplorerButtonPlacement p = button.Place(scratch.Canvas());
  EXPECT_EQ(p.TH, 18);  // two lines
  EXPECT_EQ(p.TR, Rect(3, 6, 25, 24));
  // Drawn, each line is cut with an ellipsis inside its rectangle.
  button.Font().SetColor(kFontColor);
  button.SetUnselectedFontColor(kFontColor);
  TBitmap surface;
  FillBitmap(surface, 30, 30, kGround);
  PaintAsParent(button, surface);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x)
      if (surface.GetPixel(x, y) == kFontColor) {
        EXPECT_TRUE(p.TR.Contains(x, y)) << x << "," << y;
      }
  // Without wrapping the caption stays one line.
  button.SetWordWrap(false);
  EXPECT_EQ(button.Place(scratch.Canvas()).TH, 9);
}

TEST_F(ButtonTest, PopupMarkMakesRoomBesideTheCaption) {
  TPopupMenu menu(&form);
  TExplorerButton* b = AddButton(0, 0, 40, 30);
  b->SetCaption("AB");
  b->SetDropDownMenu(&menu);
  b->Font().SetColor(kFontColor);
  TBitmap scratch;
  const TExplorerButtonPlacement p = b->Place(scratch.Canvas());
  EXPECT_EQ(p.TX, 9);  // (40 - (12 + 10)) / 2
  EXPECT_EQ(p.TWd, 12);
  b->MouseEnter();
  TBitmap surface;
  FillBitmap(surface, 40, 30, kGround);
  PaintAsParent(*b, surface);
  EXPECT_EQ(Letters(surface, Rect(23, 13, 32, 17), "Mg", {kFontColor, kGround}),
            (std::vector<std::string>{"gMMMMMMMg", "ggMMMMMgg", "gggMMMggg", "ggggMgggg"}));
  // Without the option the mark is not drawn and takes no room.
  b->SetOptions({boShowBevel});
  EXPECT_EQ(b->Place(scratch.Canvas()).TX, 14);
}

// --- Input ----------------------------------------------------------------------------------------

TEST_F(ButtonTest, ClickNeedsTheReleaseOverTheButton) {
  TExplorerButton* b = AddButton(50, 20, 30, 30);
  form.Move(60, 30);
  EXPECT_TRUE(b->MouseInside());
  form.Down(60, 30);
  EXPECT_TRUE(b->Pressed());
  form.Up(61, 31);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(b->MouseInside());
  // Pressed, dragged out (the capture keeps the events coming), released outside.
  form.Down(60, 30);
  form.Move(150, 80);
  EXPECT_TRUE(b->Pressed());
  EXPECT_FALSE(b->MouseInside());
  form.Up(150, 80);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->Pressed());
  // Dragging back in before the release still clicks.
  form.Move(60, 30);
  form.Down(60, 30);
  form.Move(150, 80);
  form.Move(60, 30);
  form.Up(60, 30);
  EXPECT_EQ(clicks, 2);
}

TEST_F(ButtonTest, DraggedOntoAnotherButtonThatOneHoversOnlyAfterTheRelease) {
  TExplorerButton* a = AddButton(10, 10, 30, 30);
  TExplorerButton* b = AddButton(50, 10, 30, 30);
  int bEnters = 0;
  b->OnEnter = [&](TObject*) { ++bEnters; };
  form.Move(20, 20);
  form.Down(20, 20);
  form.Move(60, 20);
  EXPECT_FALSE(a->MouseInside());
  EXPECT_FALSE(b->MouseInside());  // the capture keeps it out of the picture
  form.Up(60, 20);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(b->MouseInside());
  form.Move(61, 21);
  EXPECT_EQ(bEnters, 1);
}

TEST_F(ButtonTest, LeftAndTopEdgeCountAsOutsideForThePointerTest) {
  TExplorerButton* b = AddButton(50, 20, 30, 30);
  // The edge pixel is over the button for entering, so the release still clicks;
  // the pointer test that follows finds it outside.
  form.Move(50, 30);
  form.Down(50, 30);
  form.Up(50, 30);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->MouseInside());
  form.Move(60, 20);
  form.Move(60, 20);
  form.Down(60, 20);
  form.Up(60, 20);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(b->MouseInside());
  form.Down(51, 21);
  form.Up(51, 21);
  EXPECT_TRUE(b->MouseInside());
}

TEST_F(ButtonTest, EnterAndExitEventsAndSynchronousRepaints) {
  TExplorerButton* b = AddButton(50, 20, 30, 30);
  int enters = 0, exits = 0;
  b->OnEnter = [&](TObject*) { ++enters; };
  b->OnExit = [&](TObject*) { ++exits; };
  int before = env.windows.paints;
  form.Move(60, 30);
  EXPECT_EQ(env.windows.paints, before + 1);
  form.Move(5, 5);
  EXPECT_EQ(env.windows.paints, before + 2);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(exits, 1);
  // Setters repaint at once; Alignment even when it stays the same, Layout only when it changes.
  before = env.windows.paints;
  b->SetAlignment(TAlignment::taCenter);
  b->SetLayout(TExplorerButtonLayout::blBitmapTop);
  EXPECT_EQ(env.windows.paints, before + 1);
  b->SetLayout(TExplorerButtonLayout::blBitmapLeft);
  EXPECT_EQ(env.windows.paints, before + 2);
}

TEST_F(ButtonTest, DisablingDropsTheHoverAtOnceAndReenablingWaitsForThePointer) {
  TExplorerButton* b = AddButton(50, 20, 30, 30);
  form.Move(60, 30);
  form.Down(60, 30);
  b->SetEnabled(false);
  EXPECT_FALSE(b->MouseInside());
  EXPECT_FALSE(b->Pressed());
  form.Up(60, 30);
  EXPECT_EQ(clicks, 0);
  // Over a disabled button the pointer still comes and goes, without a repaint.
  int exits = 0;
  b->OnExit = [&](TObject*) { ++exits; };
  form.Move(5, 5);
  form.Move(60, 30);
  EXPECT_EQ(exits, 1);
  EXPECT_TRUE(b->MouseInside());
  b->SetEnabled(true);
  EXPECT_FALSE(b->MouseInside());
  form.Move(61, 31);
  EXPECT_FALSE(b->MouseInside());  // idle until the pointer comes over it again
  form.Move(5, 5);
  form.Move(60, 30);
  EXPECT_TRUE(b->MouseInside());
}

TEST_F(ButtonTest, GroupMembersLatchDownInTurn) {
  TExplorerButton* a = AddButton(0, 0, 30, 30);
  TExplorerButton* b = AddButton(40, 0, 30, 30);
  TExplorerButton* loose = AddButton(80, 0, 30, 30);
  loose->SetDown(true);  // not grouped: ignored
  EXPECT_FALSE(loose->Down());
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  a->SetDown(true);
  const auto click = [&](int x) {
    form.Move(x, 10);
    form.Down(x, 10);
    form.Up(x, 10);
  };
  click(50);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(clicks, 1);
  click(50);  // a down button stays down without AllowAllUp
  EXPECT_TRUE(b->Down());
  a->SetAllowAllUp(true);  // copied to the whole group
  EXPECT_TRUE(b->AllowAllUp());
  click(50);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(clicks, 3);
  // Leaving the group lets go of the latch.
  a->SetDown(true);
  a->SetGroupIndex(0);
  EXPECT_FALSE(a->Down());
}

TEST_F(ButtonTest, DropDownMenuOpensBelowTheButtonInsteadOfClicking) {
  auto* menu = new TPopupMenu(&form);
  auto* item = new TMenuItem(&form);
  int chosen = 0;
  item->OnClick = [&](TObject*) { ++chosen; };
  menu->Add(item);
  TExplorerButton* b = AddButton(50, 20, 30, 25);
  b->SetDropDownMenu(menu);
  bool pressedWhileOpen = false;
  env.windows.onMenu = [&] {
    pressedWhileOpen = b->Pressed();
    return 0;
  };
  form.Move(60, 30);
  form.Down(60, 30);
  ASSERT_EQ(env.windows.menus.size(), 1u);
  EXPECT_EQ(env.windows.menus[0].owner, form.Peer());
  EXPECT_EQ(env.windows.menus[0].x, 50);
  EXPECT_EQ(env.windows.menus[0].y, 45);
  EXPECT_TRUE(pressedWhileOpen);
  EXPECT_EQ(chosen, 1);
  EXPECT_EQ(env.windows.discards, 1);
  EXPECT_FALSE(b->Pressed());
  EXPECT_TRUE(b->MouseInside());  // the pointer was last seen over it
  form.Up(60, 30);
  EXPECT_EQ(clicks, 0);
  // The menu going away clears the reference; the button clicks again.
  delete menu;
  EXPECT_EQ(b->DropDownMenu(), nullptr);
  form.Down(60, 30);
  form.Up(60, 30);
  EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, MenuChoiceThatRemovesTheButtonEndsThePressThere) {
  auto* menu = new TPopupMenu(&form);
  auto* item = new TMenuItem(&form);
  menu->Add(item);
  TExplorerButton* b = AddButton(50, 20, 30, 25);
  b->SetDropDownMenu(menu);
  item->OnClick = [&](TObject*) { delete b; };
  env.windows.onMenu = [] { return 0; };
  form.Move(60, 30);
  form.Down(60, 30);
  form.Up(60, 30);
  EXPECT_EQ(form.ControlCount(), 0);
  EXPECT_EQ(env.windows.discards, 0);
}

TEST_F(ButtonTest, PressBringsAnInactiveFormToTheFront) {
  AddButton(50, 20, 30, 30);
  form.Down(60, 30);
  form.Up(60, 30);
  EXPECT_EQ(env.windows.raised, 0);
  env.windows.activeWindows = false;
  form.Down(60, 30);
  EXPECT_EQ(env.windows.raised, 1);
}

TEST_F(ButtonTest, RightClickWithAMenuEndsThePressAndTestsThePointer) {
  TPopupMenu menu(&form);
  menu.Add(new TMenuItem(&form));
  TExplorerButton* b = AddButton(50, 20, 30, 30);
  b->SetPopupMenu(&menu);
  form.Move(60, 30);
  env.windows.pointerKnown = true;
  env.windows.pointerX = 150;  // the menu closed with the pointer elsewhere
  env.windows.pointerY = 90;
  form.RightClick(60, 30);
  EXPECT_EQ(env.windows.menus.size(), 1u);
  EXPECT_EQ(env.windows.discards, 1);
  EXPECT_FALSE(b->MouseInside());
  EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonTest, AcceleratorClicksOnceWhateverItsCase) {
  TExplorerButton* b = AddButton(50, 20, 30, 30);
  b->SetCaption("&Save");
  EXPECT_TRUE(form.Type('s', ssAlt));
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->Pressed());
  EXPECT_FALSE(b->MouseInside());  // the pointer is elsewhere
  EXPECT_TRUE(form.Type('S', 0));
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(form.Type('x', ssAlt));
  b->SetEnabled(false);
  EXPECT_FALSE(form.Type('s', ssAlt));
  b->SetEnabled(true);
  b->SetVisible(false);
  EXPECT_FALSE(form.Type('s', ssAlt));
  EXPECT_EQ(clicks, 2);
}

TEST(ButtonCaption, StripAcceleratorsForTheHint) {
  EXPECT_EQ(StripAccelerators("&Open"), "Open");
  EXPECT_EQ(StripAccelerators("Save && Exit"), "Save & Exit");
  EXPECT_EQ(StripAccelerators("a&b&c"), "abc");
  EXPECT_EQ(StripAccelerators("Tail&"), "Tail&");  // the last character is never touched
  EXPECT_EQ(StripAccelerators("a&&"), "a&");
  EXPECT_EQ(StripAccelerators(""), "");
}

TEST(ButtonCaption, IconOnlyTurnsTheCaptionIntoTheHint) {
  WidgetHost env;
  TExplorerButton button(nullptr);
  button.SetCaption("&Open");
  button.SetOptions({boIconOnly, boShowBevel});
  EXPECT_EQ(button.Hint(), "Open");
  EXPECT_TRUE(button.ShowHint());
  button.SetCaption("Save && Exit");
  EXPECT_EQ(button.Hint(), "Save & Exit");
  button.SetOptions({boShowBevel});
  EXPECT_EQ(button.Hint(), "");
  EXPECT_FALSE(button.ShowHint());
  // No caption is drawn in icon-only mode.
  button.SetOptions({boIconOnly});
  TBitmap surface;
  FillBitmap(surface, 50, 40, kGround);
  PaintAsParent(button, surface);
  EXPECT_EQ(Letters(surface, Rect(0, 0, 50, 40), "g", {kGround}),
            std::vector<std::string>(40, std::string(50, 'g')));
}

// --- Pictures ------------------------------------------------------------------------------------

TEST(ButtonPictures, GreyRenditionFollowsTheShadingThresholds) {
  WidgetHost env;
  TBitmap source, grey;
  FillBitmap(source, 5, 1, kKey);
  // Brightness sums 600, 300, 210, 60 and the key colour.
  source.SetPixel(1, 0, RGB(200, 200, 200));
  source.SetPixel(2, 0, RGB(100, 100, 100));
  source.SetPixel(3, 0, RGB(70, 70, 70));
  source.SetPixel(4, 0, RGB(20, 20, 20));
  // The test scheme's highlight is white itself: give it another colour to tell them apart.
  const TColor light = RGB(230, 230, 230);
  SetSystemColor(20, light);  // button highlight
  const auto row = [&](TExplorerButtonShadingType s) {
    DeriveIBitmap(source, s, grey);
    return Letters(grey, Rect(0, 0, 5, 1), "KWHSB", {kKey, clWhite, light, kShadow, clBlack})[0];
  };
  EXPECT_EQ(row(TExplorerButtonShadingType::stLight), "KWWWB");
  EXPECT_EQ(row(TExplorerButtonShadingType::stMedium), "KWHSS");
  EXPECT_EQ(row(TExplorerButtonShadingType::stDark), "KWHSB");
  ResetSystemColors();
}

TEST(ButtonPictures, GreyPictureIsDerivedOnlyAtDesignTimeAndStoredAsBmp) {
  WidgetHost env;
  TBitmap picture;
  MakePicture(picture);
  TExplorerButton running(nullptr);
  running.SetBitmap(&picture);
  EXPECT_TRUE(running.IBitmap().Empty());
  TExplorerButton designed(nullptr);
  designed.SetDesigning(true);
  designed.SetBitmap(&picture);
  ASSERT_EQ(designed.IBitmap().Width(), 4);
  EXPECT_EQ(designed.IBitmap().GetPixel(1, 1), clBlack);
  std::stringstream stored;
  designed.WriteIBitmap(stored);
  EXPECT_EQ(stored.str().substr(0, 2), "BM");
  running.ReadIBitmap(stored);
  EXPECT_EQ(running.IBitmap().GetPixel(0, 1), designed.IBitmap().GetPixel(0, 1));
  std::stringstream empty;
  running.ReadIBitmap(empty);
  EXPECT_TRUE(running.IBitmap().Empty());
  running.WriteIBitmap(empty);
  EXPECT_TRUE(empty.str().empty());
}

}  // namespace
}  // namespace qv::testing
