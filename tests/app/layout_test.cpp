// The main window as a user first sees it: every control at its place and
// size, with its design values, and every caption really painted. The window
// is rendered whole (all native children composed in) with the fixed test
// font, once with the settings panel hidden and once with it shown. Set
// QV_GALLERY_DIR to keep the two pictures as PNG files.
#include <cstdlib>
#include <map>

#include "AppFixture.h"
#include "desktop/KZTransImg.h"
#include "imaging/PngEncode.h"
#include "platform/Services.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/fake/FixedFontEngine.h"
#include "presence/onlyrun.h"
#include "widgets/Spin.h"
#include "widgets/explbtn.h"

namespace qv::testing {
namespace {

using platform::fake::FakeWindowSystem;

class LayoutTest : public AppFixture {
 protected:
  LayoutTest() {
    platform::Current().windows = &windows;
    platform::Current().fonts = &fonts;
  }
  ~LayoutTest() override { form.reset(); }  // before the window system goes

  TForm1& StartShown() {
    TForm1& f = Start();
    f.ShowForm();
    return f;
  }

  // The whole window: each windowed control's own pixels composed at its place,
  // parents first, only what is showing.
  static void Compose(TWinControl& control, TBitmap& screen, int x, int y) {
    if (!control.Visible()) return;
    TBitmap& own = control.PaintToBackBuffer();
    screen.Canvas().Draw(x, y, &own);
    for (int i = 0; i < control.ControlCount(); ++i)
      if (auto* child = dynamic_cast<TWinControl*>(control.Controls(i)))
        Compose(*child, screen, x + child->Left(), y + child->Top());
  }

  static void Render(TForm1& f, TBitmap& screen) {
    screen.SetPixelFormat(pf32bit);
    screen.SetSize(f.Width(), f.Height());
    Compose(f, screen, 0, 0);
  }

  // The control's box in window coordinates.
  static TRect WindowBox(TControl& c) {
    TRect r = c.BoundsRect();
    for (TWinControl* p = c.Parent(); p != nullptr && p->Parent() != nullptr; p = p->Parent())
      r = Rect(r.Left + p->Left(), r.Top + p->Top(), r.Right + p->Left(), r.Bottom + p->Top());
    return r;
  }

  static int CountColour(const TBitmap& bmp, const TRect& box, TColor colour) {
    int n = 0;
    const TColor rgb = ColorToRGB(colour);
    for (int y = std::max(0, box.Top); y < std::min(bmp.Height(), box.Bottom); ++y)
      for (int x = std::max(0, box.Left); x < std::min(bmp.Width(), box.Right); ++x)
        n += bmp.GetPixel(x, y) == rgb;
    return n;
  }

  // A caption is painted when hiding its control takes pixels of its text
  // colour away from its box.
  void ExpectCaptionPainted(TForm1& f, const TBitmap& shown, TControl& c, TColor textColour) {
    SCOPED_TRACE(c.Name() + " \"" + c.Caption() + "\"");
    ASSERT_FALSE(c.Caption().empty());
    const TRect box = WindowBox(c);
    c.Hide();
    TBitmap hidden;
    Render(f, hidden);
    c.Show();
    EXPECT_GT(CountColour(shown, box, textColour), CountColour(hidden, box, textColour) + 4);
  }

  void SaveToGallery(const TBitmap& bmp, const std::string& name) {
    const char* dir = std::getenv("QV_GALLERY_DIR");
    if (dir != nullptr) png::SaveToFile(bmp, std::string(dir) + "/" + name + ".png");
  }

  TControl& Find(TForm1& f, const std::string& name) {
    auto* c = dynamic_cast<TControl*>(f.FindComponent(name));
    if (c == nullptr) throw std::runtime_error("no control " + name);
    return *c;
  }

  FakeWindowSystem windows;
  platform::fake::FixedFontEngine fonts;
};

struct Place {
  const char* name;
  int left, top, width, height;  // width 0: sized by its text
};

// Places from the window's layout table, in client pixels.
constexpr Place kMainPlaces[] = {
    {"colorsbutton", 51, 218, 46, 46},    {"ExplorerButton4", 51, 274, 46, 46},
    {"ExplorerButton3", 588, 55, 36, 36}, {"OfficeButton2", 629, 55, 36, 36},
    {"ExplorerButton2", 671, 55, 36, 36}, {"ExplorerButton1", 712, 57, 36, 36},
    {"Label3", 137, 163, 0, 0},           {"Image2", 355, 170, 35, 17},
    {"Label14", 134, 412, 0, 0},          {"ListBox1", 134, 444, 349, 97},
    {"Image3", 59, 496, 32, 32},          {"Label1", 532, 538, 225, 29},
    {"Scope1", 228, 222, 233, 113},       {"icmpinfo", 226, 366, 287, 13},
    {"Panel12", 540, 240, 33, 65},        {"GraphicLight1", 620, 261, 16, 16},
    {"Label16", 682, 240, 41, 65},        {"PingActive", 636, 409, 0, 0},
    {"AppMonitorActive", 636, 483, 0, 0}, {"opts", 122, 154, 624, 247},
};

TEST_F(LayoutTest, TheFullWindowShowsEveryControlAtItsPlaceWithItsDesignValues) {
  TForm1& f = StartShown();
  EXPECT_EQ(f.ClientWidth(), 764);
  EXPECT_EQ(f.ClientHeight(), 581);
  EXPECT_EQ(f.BorderStyle(), TFormBorderStyle::bsNone);
  EXPECT_EQ(f.FormStyle(), TFormStyle::fsStayOnTop);
  EXPECT_TRUE(f.HasShape());
  EXPECT_TRUE(FakeWindowSystem::Of(f.Peer())->stayOnTop);
  EXPECT_EQ(f.Font().Name(), "MS Sans Serif");
  EXPECT_EQ(f.Font().Height(), -11);
  for (const Place& p : kMainPlaces) {
    SCOPED_TRACE(p.name);
    TControl& c = Find(f, p.name);
    EXPECT_EQ(c.Left(), p.left);
    EXPECT_EQ(c.Top(), p.top);
    if (p.width != 0) {
      EXPECT_EQ(c.Width(), p.width);
      EXPECT_EQ(c.Height(), p.height);
    } else {
      EXPECT_GT(c.Width(), 8) << "sized by its text";
      EXPECT_GT(c.Height(), 8);
    }
    EXPECT_LE(c.Left() + c.Width(), f.ClientWidth());
    EXPECT_LE(c.Top() + c.Height(), f.ClientHeight());
  }
  EXPECT_FALSE(f.opts->Visible());

  // Labels.
  EXPECT_EQ(f.Label3->Caption(), defaults::kWebAddress);
  EXPECT_EQ(f.Label3->Font().Name(), "Arial");
  EXPECT_EQ(f.Label3->Font().Color(), clAqua);
  EXPECT_TRUE(f.Label3->Font().Style() & fsUnderline);
  EXPECT_TRUE(f.Label3->Transparent());
  EXPECT_EQ(f.Label14->Caption(), "Message Log");
  EXPECT_EQ(f.Label14->Font().Name(), "Arial");
  EXPECT_TRUE(f.Label14->Font().Style() & fsBold);
  EXPECT_EQ(f.Label14->Font().Color(), RGB(68, 68, 68));
  EXPECT_TRUE(f.Label1->WordWrap());
  EXPECT_EQ(f.Label1->Font().Color(), RGB(214, 223, 239));
  EXPECT_EQ(f.Label16->Alignment(), TAlignment::taRightJustify);
  EXPECT_TRUE(f.Label16->WordWrap());
  EXPECT_EQ(f.icmpinfo->Color(), clBlack);
  EXPECT_FALSE(f.icmpinfo->Transparent());
  EXPECT_EQ(f.Image2->Hint(), "Click me for a bonus !");
  EXPECT_EQ(f.PingActive->Caption(), "Pinging");
  EXPECT_EQ(f.AppMonitorActive->Caption(), "App Monitoring");
  // The event log.
  EXPECT_EQ(f.ListBox1->Color(), RGB(74, 77, 74));
  EXPECT_EQ(f.ListBox1->Font().Color(), RGB(255, 0, 82));
  // The instruments.
  EXPECT_EQ(f.Scope1->Color(), clBlack);
  EXPECT_EQ(f.Scope1->Gridcolor(), clSilver);
  EXPECT_EQ(f.Scope1->Linecolor(), RGB(255, 0, 82));
  EXPECT_EQ(f.Scope1->Basecolor(), clBlack);
  EXPECT_EQ(f.Scope1->Baseline(), 50);
  EXPECT_EQ(f.Scope1->Gridsize(), 14);
  EXPECT_EQ(f.Scope1->Interval(), 50);
  EXPECT_EQ(f.Scope1->Position(), 100);
  EXPECT_FALSE(f.Scope1->Active());
  EXPECT_EQ(f.Panel12->BevelOuter(), TPanelBevel::bvLowered);
  EXPECT_EQ(f.Gauge1->Width(), 27);
  EXPECT_EQ(f.Gauge1->Height(), 59);
  EXPECT_EQ(f.Gauge1->Kind(), gkVerticalBar);
  EXPECT_FALSE(f.Gauge1->ShowText());
  EXPECT_EQ(f.Gauge1->BorderStyle(), TBorderStyle::bsNone);
  EXPECT_EQ(f.Gauge1->ForeColor(), RGB(255, 0, 82));
  EXPECT_EQ(f.Gauge1->BackColor(), RGB(214, 223, 239));
  EXPECT_EQ(f.Gauge1->Color(), RGB(214, 223, 239));
  EXPECT_EQ(f.Gauge1->Progress(), 50);
  EXPECT_EQ(f.Gauge1->MinValue(), 0);
  EXPECT_EQ(f.Gauge1->MaxValue(), 100);
  EXPECT_EQ(f.GraphicLight1->ActiveLight(), alGreen);
  EXPECT_FALSE(f.GraphicLight1->DarkLite());
  EXPECT_FALSE(f.GraphicLight1->HeavyLite());
  // The picture.
  EXPECT_EQ(f.KZTransImage1->TransColor(), clRed);
  EXPECT_TRUE(f.KZTransImage1->AdjustFormSize());
  EXPECT_EQ(f.KZTransImage1->PopupMenu(), f.PopupMenu2);

  TBitmap screen;
  Render(f, screen);
  SaveToGallery(screen, "window_full");
  // The gauge's well is half filled with the trace colour on the light ground.
  const TRect gauge = WindowBox(*f.Gauge1);
  EXPECT_GT(CountColour(screen, gauge, RGB(255, 0, 82)), 27 * 25);
  EXPECT_GT(CountColour(screen, gauge, RGB(214, 223, 239)), 27 * 25);
  // The lamp shows its large picture: a light grey ground around the bulb.
  EXPECT_GT(CountColour(screen, WindowBox(*f.GraphicLight1), clSilver), 0);
  for (TControl* c : std::initializer_list<TControl*>{f.Label3, f.Label14, f.Label1, f.icmpinfo, f.Label16,
                                                      f.PingActive, f.AppMonitorActive})
    ExpectCaptionPainted(f, screen, *c, c->Font().Color());
  // The buttons' captions show in their idle colour while the pointer is elsewhere.
  for (TExplorerButton* b :
       {f.colorsbutton, f.ExplorerButton4, f.OfficeButton2, f.ExplorerButton2, f.ExplorerButton1})
    ExpectCaptionPainted(f, screen, *b, b->UnselectedFontColor());
}

// The panel's rows, each left to right, as the panel table lists them.
const std::vector<std::vector<const char*>> kPanel15Rows = {
    {"Label2", "Edit2", "Label5", "SpinEdit1", "Label6"},
    {"Panel2", "Label4", "Edit1", "Panel6", "ExplorerButton5", "Label15", "testurl"},
    {"Label7", "Panel8", "Edit3", "Panel7", "Panel25"},
    {"ipalarmsound", "Panel14", "ipalarm", "Panel23", "Label8", "edIpAddr"},
    {"pingsound", "Panel19", "pingfile", "Panel20", "Label9", "pingintervaltime"},
    {"pongsound", "Panel21", "pongfile", "Panel22", "RandomTimer"},
};
const std::vector<std::vector<const char*>> kPanel18Rows = {
    {"Label10", "logfile", "Panel9"},
    {"Label11", "Panel11", "Edit4", "Panel10"},
    {"Label12", "Panel1", "reconsound", "reconsnd"},
};

TEST_F(LayoutTest, TheSettingsPanelShowsEveryFieldWithItsNameInRowsThatDoNotOverlap) {
  TForm1& f = StartShown();
  f.colorsbutton->Click();
  ASSERT_TRUE(f.opts->Showing());
  EXPECT_EQ(f.Image1->BoundsRect(), Rect(0, 0, 624, 248));
  EXPECT_EQ(f.Image1->Align(), TAlign::alTop);
  EXPECT_EQ(f.Panel15->BoundsRect(), Bounds(20, 38, 601, 144));
  EXPECT_EQ(f.Panel18->BoundsRect(), Bounds(20, 180, 399, 69));
  EXPECT_EQ(f.Panel15->Color(), RGB(214, 223, 239));
  EXPECT_EQ(f.Panel18->Color(), RGB(214, 223, 239));
  EXPECT_EQ(f.Edit2->Width(), 73);
  EXPECT_FALSE(f.ExplorerButton5->Enabled());
  EXPECT_EQ(f.SpinEdit1->MinValue(), 1);
  EXPECT_EQ(f.SpinEdit1->MaxValue(), 99999);
  EXPECT_EQ(f.pingintervaltime->MinValue(), 1);
  EXPECT_EQ(f.pingintervaltime->MaxValue(), 15);

  TBitmap screen;
  Render(f, screen);
  SaveToGallery(screen, "window_settings");
  auto checkRows = [&](TWinControl* panel, const std::vector<std::vector<const char*>>& rows) {
    int previousTop = -1;
    for (const auto& row : rows) {
      int previousRight = -1;
      const int top = Find(f, row[0]).Top();
      EXPECT_GT(top, previousTop) << row[0];
      previousTop = top;
      for (const char* name : row) {
        SCOPED_TRACE(name);
        TControl& c = Find(f, name);
        EXPECT_EQ(c.Parent(), panel);
        EXPECT_TRUE(c.Visible());
        EXPECT_GE(c.Left(), 0);
        EXPECT_LE(c.Left() + c.Width(), panel->Width()) << "inside the panel";
        EXPECT_LE(c.Top() + c.Height(), panel->Height());
        EXPECT_GE(c.Left(), previousRight) << "left of the one before it";
        previousRight = c.Left() + c.Width();
        EXPECT_LT(std::abs((c.Top() + c.Height() / 2) - (top + Find(f, row[0]).Height() / 2)), 6)
            << "on its row";
        if (!c.Caption().empty() && !dynamic_cast<TEdit*>(&c) && c.Enabled())
          ExpectCaptionPainted(f, screen, c, c.Font().Color());
      }
    }
  };
  checkRows(f.Panel15, kPanel15Rows);
  checkRows(f.Panel18, kPanel18Rows);
  for (const char* name : {"Panel6", "Panel7", "Panel23", "Panel20", "Panel22", "Panel9", "Panel10",
                           "reconsnd", "Panel8", "Panel14", "Panel19", "Panel21", "Panel11", "Panel1"}) {
    SCOPED_TRACE(name);
    TControl& c = Find(f, name);
    EXPECT_EQ(c.Width(), 38);
    EXPECT_EQ(c.Height(), 21);
    EXPECT_EQ(c.Color(), clSilver);
    EXPECT_TRUE(c.Caption() == "Select" || c.Caption() == "Test");
  }
  // Edits show their text.
  for (TEdit* e : {f.Edit2, f.Edit1, f.logfile}) ExpectCaptionPainted(f, screen, *e, e->Font().Color());
}

// The contract between a control and its native window: what the model holds
// is what the window shows, and what the user does comes back to the model.
TEST_F(LayoutTest, NativeWindowsMirrorTheirControls) {
  TForm1& f = StartShown();
  auto* form = FakeWindowSystem::Of(f.Peer());
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->visible);
  EXPECT_EQ(form->width, 764);
  EXPECT_EQ(form->height, 581);
  // Centred when first shown.
  EXPECT_EQ(form->left, (windows.screenWidth - 764) / 2);
  auto* list = FakeWindowSystem::Of(f.ListBox1->Peer());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->items.size(), static_cast<size_t>(f.ListBox1->Items().Count()));
  EXPECT_EQ(list->background, static_cast<std::uint32_t>(RGB(74, 77, 74)));
  EXPECT_EQ(list->textColor, static_cast<std::uint32_t>(RGB(255, 0, 82)));
  auto* edit = FakeWindowSystem::Of(f.Edit2->Peer());
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text, f.Edit2->Text());
  EXPECT_FALSE(FakeWindowSystem::Of(f.opts->Peer())->visible) << "the panel starts hidden";
  f.Edit2->SetText("Other 1.0");
  EXPECT_EQ(edit->text, "Other 1.0");
  edit->Events()->PeerTextEdited("Typed");
  EXPECT_EQ(f.Edit2->Text(), "Typed");
  EXPECT_EQ(f.OnlyIfRunning1->AppTitles().Strings(0), "Typed") << "the change handler ran";
  auto* check = FakeWindowSystem::Of(f.PingActive->Peer());
  check->Events()->PeerToggled(true);
  EXPECT_TRUE(f.PingActive->Checked());
  f.AppMonitorActive->SetChecked(true);
  EXPECT_TRUE(FakeWindowSystem::Of(f.AppMonitorActive->Peer())->checked);
}

}  // namespace
}  // namespace qv::testing
