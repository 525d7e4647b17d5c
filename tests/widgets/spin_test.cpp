// The spin edit, its arrow block and the repeating arrows, on peers that record
// what the model asks of them, in virtual time.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "WidgetHost.h"
#include "platform/Services.h"
#include "platform/fake/FakeLocale.h"
#include "platform/fake/ScriptedDialogs.h"
#include "toolkit/Application.h"
#include "widgets/Spin.h"

namespace qv::testing {
namespace {

using platform::MouseAction;
constexpr int kVkUp = 0x26, kVkDown = 0x28, kVkSpace = 0x20;

class RecordingPeer : public platform::IWindowPeer {
 public:
  RecordingPeer(platform::IPeerEvents* events, RecordingPeer** focus) : events(events), focus_(focus) {}
  ~RecordingPeer() override {
    if (*focus_ == this) *focus_ = nullptr;
  }
  void SetBounds(int, int, int, int) override {}
  void SetVisible(bool) override {}
  void SetEnabled(bool) override {}
  void Invalidate(const platform::PeerRect&) override {}
  void Update() override {}
  // One control has the focus at a time, and hears of it at once.
  void SetFocus() override {
    if (*focus_ == this) return;
    RecordingPeer* old = std::exchange(*focus_, this);
    if (old != nullptr) old->events->PeerFocus(false);
    events->PeerFocus(true);
  }
  bool Focused() const override { return *focus_ == this; }
  void SetFont(const platform::FontSpec&) override {}
  void SetColors(std::uint32_t, std::uint32_t) override {}
  void SetHint(const std::string&) override {}
  void SetText(const std::string&) override {}
  void BringToFront() override {}
  void SetTextMargins(int l, int t, int r, int b) override { margins = {l, t, r, b}; }
  void SelectAll() override { ++selectAlls; }
  bool FocusedByMouse() const override { return byMouse; }

  platform::IPeerEvents* events;
  std::array<int, 4> margins{};
  int selectAlls = 0;
  bool byMouse = false;

 private:
  RecordingPeer** focus_;
};

class RecordingWindows : public CountingWindowSystem {
 public:
  std::unique_ptr<platform::IWindowPeer> CreatePeer(platform::PeerKind, platform::IWindowPeer*,
                                                    platform::IPeerEvents* events) override {
    return std::make_unique<RecordingPeer>(events, &focus);
  }
  RecordingPeer* focus = nullptr;
};

class SpinTest : public ::testing::Test {
 protected:
  SpinTest() {
    platform::Services& s = platform::Current();
    s.windows = &windows;
    s.dialogs = &dialogs;
    s.locale = &locale;
    form = std::make_unique<TWinControl>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    form->HandleNeeded();
    edit = std::make_unique<TSpinEdit>(nullptr);
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 54, 22);
    edit->OnChange = [this](TObject*) { ++changes; };
  }
  ~SpinTest() override {
    edit.reset();
    form.reset();
  }

  static RecordingPeer& PeerOf(const TWinControl& c) { return *static_cast<RecordingPeer*>(c.Peer()); }
  void Range(int min, int max, const char* text) {
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetText(text);
    changes = 0;
  }
  // A left-button action on the arrow block, in its own coordinates: the up
  // arrow lies at (7, 3), the down arrow at (7, 12), (7, 40) is off both.
  void Mouse(MouseAction action, int x, int y) {
    platform::MouseEvent e;
    e.action = action;
    e.x = x;
    e.y = y;
    PeerOf(*edit->Button()).events->PeerMouse(e);
  }
  bool Key(int vk, char typed = 0) { return PeerOf(*edit).events->PeerKey(vk, typed, 0); }
  std::vector<std::string> Errors() { return dialogs.Texts(); }

  WidgetHost env;  // loop and fonts
  RecordingWindows windows;
  platform::fake::ScriptedDialogs dialogs;
  platform::fake::FakeLocale locale;
  TApplication app;
  std::unique_ptr<TWinControl> form;
  std::unique_ptr<TSpinEdit> edit;
  int changes = 0;
};

TEST(SpinValue, ParsesSignedDecimalAndDollarHexOnly) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {
      {"12", true, 12},
      {"  +7", true, 7},
      {"-7", true, -7},
      {"$ff", true, 255},
      {"$7FFFFFFF", true, INT32_MAX},
      {"$FFFFFFFF", true, -1},
      {"2147483647", true, INT32_MAX},
      {"-2147483647", true, -INT32_MAX},
      {"007", true, 7},
      {"", false, 0},
      {"   ", false, 0},
      {"+", false, 0},
      {"-", false, 0},
      {"12 ", false, 0},
      {"1.5", false, 0},
      {"1,5", false, 0},
      {"$", false, 0},
      {"$123456789", false, 0},
      {"$fg", false, 0},
      {"-$10", false, 0},
      {"0x10", false, 0},
      {"2147483648", false, 0},
      {"-2147483648", false, 0},
      {"\t1", false, 0},
  };
  for (const Case& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(ParseSpinValue(c.text, v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST_F(SpinTest, ValuesClampChangeOnceAndUnreadableTextReadsAsMinimum) {
  EXPECT_EQ(edit->Text(), "0");
  Range(1, 15, "15");
  EXPECT_FALSE(Key(kVkUp)) << "the key goes on to the edit";
  EXPECT_EQ(edit->Text(), "15");
  EXPECT_EQ(changes, 0) << "15 + 1 clamps to the same text";
  Key(kVkDown);
  EXPECT_EQ(edit->Text(), "14");
  EXPECT_EQ(changes, 1);

  edit->SetText("");  // emptied and left: stays empty, reads 1, steps to 2
  edit->SetFocus();
  PeerOf(*form).SetFocus();
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(edit->Value(), 1);
  edit->StepUp();
  EXPECT_EQ(edit->Text(), "2");

  edit->SetText("20");  // typed beyond the range: rewritten only on leaving
  edit->SetFocus();
  EXPECT_EQ(edit->Text(), "20");
  PeerOf(*form).SetFocus();
  EXPECT_EQ(edit->Text(), "15");

  Range(0, 0, "-123456");  // no bounds at all
  edit->SetFocus();
  PeerOf(*form).SetFocus();
  EXPECT_EQ(edit->Text(), "-123456");
  edit->SetValue(INT32_MAX);
  edit->StepUp();
  EXPECT_EQ(edit->Value(), INT32_MAX) << "stepping stops at the largest number";
}

TEST_F(SpinTest, TypedCharactersAreFilteredWithABeep) {
  locale.SetDecimalSeparator(',');
  EXPECT_TRUE(edit->AcceptsChar(','));
  EXPECT_FALSE(edit->AcceptsChar('.'));
  for (char c : {'0', '9', '+', '-', '\b', '\x16'}) EXPECT_TRUE(edit->AcceptsChar(c)) << int(c);
  EXPECT_TRUE(Key('A', 'a')) << "a letter is swallowed";
  EXPECT_TRUE(Key(0x0D, '\r'));
  EXPECT_EQ(dialogs.beeps, 2);
  EXPECT_FALSE(Key('5', '5'));

  edit->SetEditorEnabled(false);
  for (char c : {'5', '-', ',', '\b'}) EXPECT_FALSE(edit->AcceptsChar(c)) << int(c);
  EXPECT_TRUE(edit->AcceptsChar('\x16')) << "other control characters still pass";
  Range(1, 15, "3");
  Mouse(MouseAction::Down, 7, 3);
  Mouse(MouseAction::Up, 7, 3);
  EXPECT_EQ(edit->Text(), "4") << "the arrows still work";

  auto* events = PeerOf(*edit).events;
  EXPECT_FALSE(events->PeerClipboardCommand(platform::ClipboardCommand::Paste));
  edit->SetEditorEnabled(true);
  EXPECT_TRUE(events->PeerClipboardCommand(platform::ClipboardCommand::Cut));
  edit->SetReadOnly(true);
  EXPECT_FALSE(events->PeerClipboardCommand(platform::ClipboardCommand::Cut));

  int keyDowns = 0;
  edit->OnKeyDown = [&](TObject*, int& key, TShiftState) { keyDowns += key == kVkUp; };
  const int beeps = dialogs.beeps;
  Key(kVkUp);
  Mouse(MouseAction::Down, 7, 12);
  Mouse(MouseAction::Up, 7, 12);
  EXPECT_EQ(dialogs.beeps, beeps + 2) << "read-only: the arrows and keys beep";
  EXPECT_EQ(edit->Text(), "4");
  EXPECT_EQ(keyDowns, 1);
}

TEST_F(SpinTest, AutoSelectOnEntryByKeyboardOnly) {
  RecordingPeer& peer = PeerOf(*edit);
  edit->SetFocus();
  EXPECT_EQ(peer.selectAlls, 1);
  PeerOf(*form).SetFocus();
  peer.byMouse = true;
  edit->SetFocus();
  EXPECT_EQ(peer.selectAlls, 1);
  PeerOf(*form).SetFocus();
  peer.byMouse = false;
  edit->SetAutoSelect(false);
  edit->SetFocus();
  EXPECT_EQ(peer.selectAlls, 1);
}

TEST_F(SpinTest, HoldingAnArrowRepeatsAfter400ThenEvery100Milliseconds) {
  Range(0, 0, "0");
  Mouse(MouseAction::Down, 7, 3);
  env.loop.Advance(1000);
  Mouse(MouseAction::Up, 7, 3);
  EXPECT_EQ(edit->Value(), 8) << "7 repeats in one second and one on release";
  EXPECT_FALSE(edit->Button()->UpArrow()->RepeatTimer()->Running());

  Mouse(MouseAction::Down, 7, 3);
  Mouse(MouseAction::Up, 7, 3);
  EXPECT_EQ(edit->Value(), 9) << "a short press steps once";

  Mouse(MouseAction::Down, 7, 12);
  env.loop.Advance(450);  // 400: one step
  Mouse(MouseAction::Move, 7, 40);
  EXPECT_EQ(edit->Button()->DownArrow()->State(), TButtonState::bsUp);
  env.loop.Advance(300);  // off the arrow: paused
  Mouse(MouseAction::Move, 7, 12);
  env.loop.Advance(200);  // back on: 800 and 900
  Mouse(MouseAction::Move, 7, 40);
  Mouse(MouseAction::Up, 7, 40);  // released off the arrow: no step
  EXPECT_EQ(edit->Value(), 6);
}

TEST_F(SpinTest, RepeatStopsOnAnErrorAndAPressFailsWithoutTimers) {
  Range(0, 0, "0");
  edit->OnChange = [](TObject*) { throw EConvertError("bad step"); };
  const TTimer* timer = nullptr;
  Mouse(MouseAction::Down, 7, 3);
  timer = edit->Button()->UpArrow()->RepeatTimer();
  env.loop.Advance(1000);
  EXPECT_EQ(Errors(), std::vector<std::string>{"bad step."}) << "reported once; the repeating stopped";
  EXPECT_FALSE(timer->Running());
  Mouse(MouseAction::Up, 7, 3);  // the release still steps (and fails)
  Mouse(MouseAction::Down, 7, 3);
  ASSERT_TRUE(timer->Running());
  Mouse(MouseAction::Up, 7, 3);
  EXPECT_FALSE(timer->Running()) << "a failing release click stops the repeat all the same";
  EXPECT_EQ(edit->Text(), "3");

  edit->OnChange = nullptr;
  env.loop.RefuseTimers(true);
  Mouse(MouseAction::Down, 7, 12);
  EXPECT_EQ(Errors().back(), "Not enough timers available.");
  EXPECT_EQ(Errors().size(), 4u);
  Mouse(MouseAction::Up, 7, 12);
  EXPECT_EQ(edit->Text(), "2");
}

TEST_F(SpinTest, BlockSitsInsideTheRightEdgeAndTheFieldKeepsItsMinimumHeight) {
  TSpinButton& block = *edit->Button();
  EXPECT_EQ(block.BoundsRect(), Bounds(54 - 15 - 5, 0, 15, 17));
  EXPECT_EQ(block.UpArrow()->BoundsRect(), Bounds(0, 0, 15, 8));
  EXPECT_EQ(block.DownArrow()->BoundsRect(), Bounds(0, 7, 15, 10)) << "the arrows share a row";
  EXPECT_EQ(edit->FormattingRect(), Rect(0, 0, 50 - 15 - 2, 18 + 1));
  EXPECT_EQ(PeerOf(*edit).margins, (std::array<int, 4>{0, 0, 17, -1}));

  EXPECT_EQ(edit->MinHeight(), 9 + 9 / 4 + 4 + 2);  // the test font is 9 pixels high
  edit->SetHeight(5);
  EXPECT_EQ(edit->Height(), 17);
  EXPECT_EQ(block.BoundsRect(), Bounds(34, 0, 15, 12));
}

TEST_F(SpinTest, LoneSpinButtonLaysOutFocusesAndAnswersKeys) {
  TSpinButton button(nullptr);
  button.BeginLoading();
  button.SetBounds(0, 0, 8, 30);
  EXPECT_EQ(button.Width(), 8) << "no layout while loading";
  button.EndLoading();
  EXPECT_EQ(button.Width(), TSpinButton::kMinWidth);
  EXPECT_EQ(button.DownArrow()->BoundsRect(), Bounds(0, 14, 15, 16));

  std::vector<char> clicks;
  button.OnUpClick = [&](TObject* s) { clicks.push_back(s == &button ? 'u' : '?'); };
  button.OnDownClick = [&](TObject* s) { clicks.push_back(s == &button ? 'd' : '?'); };
  button.SetParent(form.get());
  auto press = [&](int y) {
    platform::MouseEvent e;
    e.action = MouseAction::Down;
    e.x = 5;
    e.y = y;
    PeerOf(button).events->PeerMouse(e);
    e.action = MouseAction::Up;
    PeerOf(button).events->PeerMouse(e);
  };
  press(20);  // not a tab stop: the active arrow stays, nothing takes the focus
  EXPECT_EQ(button.ActiveArrow(), button.UpArrow());
  EXPECT_FALSE(button.Focused());

  button.SetTabStop(true);
  press(20);
  EXPECT_EQ(button.ActiveArrow(), button.DownArrow());
  EXPECT_TRUE(button.Focused());
  EXPECT_EQ(button.DownArrow()->Options() & TTimerSpeedButton::FocusFrame, TTimerSpeedButton::FocusFrame);
  EXPECT_EQ(button.UpArrow()->Options() & TTimerSpeedButton::FocusFrame, 0u);

  for (int key : {kVkSpace, kVkUp, kVkSpace}) PeerOf(button).events->PeerKey(key, 0, 0);
  EXPECT_EQ(std::string(clicks.begin(), clicks.end()), "ddduu");
  PeerOf(*form).SetFocus();
  EXPECT_EQ(button.UpArrow()->Options() & TTimerSpeedButton::FocusFrame, 0u);

  button.SetFocusControl(edit.get());
  press(3);
  EXPECT_TRUE(edit->Focused()) << "the focus control takes the focus";
}

TEST_F(SpinTest, ArrowsDrawTheirGlyphOnTheFaceAndTheFocusFrameInside) {
  const TBitmap* up = FindSpinGlyph("SPINUP");
  ASSERT_NE(up, nullptr);
  EXPECT_EQ(up, FindSpinGlyph("SpinUp"));
  EXPECT_EQ(FindSpinGlyph("Spin"), nullptr);
  EXPECT_EQ(up->PixelFormat(), pf4bit);
  EXPECT_EQ(Letters(*up, Rect(0, 0, 9, 6), "o#", {clOlive, clBlack}),
            (std::vector<std::string>{"ooooooooo", "oooo#oooo", "ooo###ooo", "oo#####oo", "o#######o",
                                      "ooooooooo"}));
  EXPECT_EQ(Letters(*FindSpinGlyph("spindown"), Rect(0, 1, 9, 2), "o#", {clOlive, clBlack})[0], "o#######o");

  TTimerSpeedButton arrow(nullptr);
  arrow.SetBounds(0, 0, 15, 10);
  arrow.SetGlyph(up);
  arrow.SetOptions(TTimerSpeedButton::FocusFrame);
  TBitmap image;
  FillBitmap(image, 15, 10, clYellow);
  PaintAsParent(arrow, image);
  // W highlight, K dark shadow and arrow, s shadow, l light, . face; F the
  // focus frame's inverted dots (the apex and the arrow's base turn white).
  EXPECT_EQ(
      Letters(image, Rect(0, 0, 15, 10), "WKsl.F",
              {clWhite, clBlack, clGray, RGB(223, 223, 223), clSilver, RGB(63, 63, 63)}),
      (std::vector<std::string>{"WWWWWWWWWWWWWWK", "WllllllllllllsK", "Wl...........sK", "Wl.F.F.W.F.F.sK",
                                "Wl....KKK....sK", "Wl.F.KKKKK.F.sK", "Wl..WKWKWKW..sK", "Wl...........sK",
                                "WsssssssssssssK", "KKKKKKKKKKKKKKK"}));
}

}  // namespace
}  // namespace qv::testing
