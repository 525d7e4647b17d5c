// Writes pictures of every widget look for a person to inspect: set
// QV_GALLERY_DIR to a directory and run this test. Skipped otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "WidgetHost.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Menus.h"
#include "widgets/Gauges.h"
#include "widgets/Graflite.h"
#include "widgets/GrafliteImages.h"
#include "widgets/Scope.h"
#include "widgets/Spin.h"
#include "widgets/explbtn.h"

namespace qv::testing {
namespace {

std::string GalleryDir() {
  const char* dir = std::getenv("QV_GALLERY_DIR");
  return dir != nullptr ? std::string(dir) : std::string();
}

// 24-bit copies: picture viewers read the fourth byte of 32-bit files as alpha.
void Save(const TBitmap& bitmap, const std::string& name) {
  TBitmap copy;
  copy.Assign(&bitmap);
  if (copy.PixelFormat() == pf32bit) copy.SetPixelFormat(pf24bit);
  copy.SaveToFile(GalleryDir() + "/" + name + ".bmp");
}

TEST(Gallery, WritesLampsGaugesAndScope) {
  if (GalleryDir().empty()) GTEST_SKIP() << "QV_GALLERY_DIR is not set";
  WidgetHost env;
  for (const std::string& name : LampImageNames()) Save(*FindLampImage(name), "lamp_" + name);

  const char* kinds[] = {"text", "hbar", "vbar", "pie", "needle"};
  TBitmap surface;
  for (int kind = gkText; kind <= gkNeedle; ++kind) {
    for (int percent : {0, 42, 100}) {
      TGauge gauge(nullptr);
      gauge.SetBounds(0, 0, 100, 100);
      gauge.SetKind(static_cast<TGaugeKind>(kind));
      gauge.SetForeColor(RGB(255, 0, 82));
      gauge.SetColor(clSilver);
      gauge.SetProgress(percent);
      FillBitmap(surface, 100, 100, clYellow);
      PaintAsParent(gauge, surface);
      Save(surface, std::string("gauge_") + kinds[kind] + "_" + std::to_string(percent));
    }
  }
  for (int percent : {0, 42, 100}) {
    TGauge gauge(nullptr);
    gauge.SetBounds(0, 0, 27, 59);
    gauge.SetColor(RGB(214, 223, 239));
    gauge.SetKind(gkVerticalBar);
    gauge.SetShowText(false);
    gauge.SetBorderStyle(TBorderStyle::bsNone);
    gauge.SetForeColor(RGB(255, 0, 82));
    gauge.SetBackColor(RGB(214, 223, 239));
    gauge.SetProgress(percent);
    FillBitmap(surface, 27, 59, clYellow);
    PaintAsParent(gauge, surface);
    Save(surface, "gauge_main_" + std::to_string(percent));
  }

  // The main window's scope fed with a round-trip-like trace: calm, a burst,
  // a stretch above the top, a drop to nothing.
  TScope scope(nullptr);
  scope.SetBounds(0, 0, 233, 113);
  scope.SetBaseline(50);
  scope.SetGridsize(14);
  scope.SetPosition(100);
  scope.SetColor(clBlack);
  scope.SetGridcolor(clSilver);
  scope.SetLinecolor(RGB(255, 0, 82));
  scope.SetBasecolor(clBlack);
  for (int step = 0; step < 150; ++step) {
    int p = 30 + static_cast<int>(10 * std::sin(step * 0.3));
    if (step >= 60 && step < 75) p = 80 + (step % 3) * 15;
    if (step >= 75 && step < 85) p = 130;
    if (step >= 100 && step < 110) p = 0;
    scope.SetPosition(p);
    scope.ScrollStep();
    if (step == 40) Save(scope.Buffer(), "scope_40_steps");
  }
  Save(scope.Buffer(), "scope_150_steps");
}

// Every look of the skinned button over a dark cap-like ground: the states, the
// grey and disabled pictures, the latched group member, the pop-up mark, and
// the four layouts by three alignments.
TEST(Gallery, WritesButtonLooks) {
  if (GalleryDir().empty()) GTEST_SKIP() << "QV_GALLERY_DIR is not set";
  WidgetHost env;
  TBitmap picture;
  FillBitmap(picture, 16, 16, clFuchsia);
  picture.Canvas().Brush().SetColor(RGB(0, 200, 220));
  picture.Canvas().Pen().SetColor(clBlack);
  picture.Canvas().Ellipse(1, 1, 15, 15);
  picture.Canvas().Brush().SetColor(RGB(40, 90, 160));
  picture.Canvas().Ellipse(3, 3, 13, 13);
  picture.Canvas().Brush().SetColor(RGB(90, 60, 40));
  picture.Canvas().Ellipse(5, 5, 11, 11);
  picture.Canvas().Brush().SetColor(clBlack);
  picture.Canvas().Ellipse(6, 6, 10, 10);
  TPopupMenu menu(nullptr);
  const TColor ground = RGB(60, 64, 72);
  const auto render = [&](const std::string& name, const std::function<void(TExplorerButton&)>& setup) {
    TExplorerButton b(nullptr);
    b.SetBounds(4, 4, 64, 48);
    b.SetBitmap(&picture);
    b.SetCaption("&Watch");
    b.Font().SetColor(clAqua);
    b.SetUnselectedFontColor(clWhite);
    b.SetOptions({boShowBevel, boPopupMark});
    setup(b);
    TBitmap surface;
    FillBitmap(surface, 72, 56, ground);
    PaintAsParent(b, surface);
    Save(surface, "button_" + name);
  };
  render("idle", [](TExplorerButton&) {});
  render("hover", [](TExplorerButton& b) { b.MouseEnter(); });
  render("pressed", [](TExplorerButton& b) {
    b.MouseEnter();
    b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
  });
  render("pressed_outside", [](TExplorerButton& b) {
    b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
    b.MouseLeave();
  });
  render("disabled", [](TExplorerButton& b) { b.SetEnabled(false); });
  render("disabled_own_picture", [&](TExplorerButton& b) {
    TBitmap own;
    DeriveIBitmap(picture, TExplorerButtonShadingType::stDark, own);
    b.SetDisabledBitmap(&own);
    b.SetEnabled(false);
  });
  render("down", [](TExplorerButton& b) {
    b.SetGroupIndex(1);
    b.SetDown(true);
  });
  for (auto shading : {TExplorerButtonShadingType::stLight, TExplorerButtonShadingType::stMedium,
                       TExplorerButtonShadingType::stDark}) {
    render("mono_idle_shading" + std::to_string(static_cast<int>(shading)), [&](TExplorerButton& b) {
      b.SetOptions({boMonoDisplay, boShowBevel});
      b.SetShadingType(shading);
      b.DeriveIBitmap();
    });
  }
  render("dropdown_hover", [&](TExplorerButton& b) {
    b.SetDropDownMenu(&menu);
    b.MouseEnter();
  });
  // Pressed, the drop-down button looks so only while its menu is open.
  render("dropdown_caption_only", [&](TExplorerButton& b) {
    b.Bitmap().Assign(nullptr);
    b.SetDropDownMenu(&menu);
    env.windows.onMenu = [&] {
      TBitmap open;
      FillBitmap(open, 72, 56, ground);
      PaintAsParent(b, open);
      Save(open, "button_dropdown_caption_only_menu_open");
      return -1;
    };
    b.MouseEnter();
    b.MouseDown(TMouseButton::mbLeft, 0, 5, 5);
    env.windows.onMenu = nullptr;
  });
  render("wordwrap_hover", [](TExplorerButton& b) {
    b.SetCaption("Watch the log file");
    b.SetWordWrap(true);
    b.MouseEnter();
  });
  const char* layouts[] = {"top", "bottom", "left", "right"};
  const char* alignments[] = {"left", "right", "center"};
  for (int l = 0; l < 4; ++l)
    for (int a = 0; a < 3; ++a)
      render(std::string("layout_") + layouts[l] + "_" + alignments[a], [&](TExplorerButton& b) {
        b.SetCaption("Go");
        b.SetLayout(static_cast<TExplorerButtonLayout>(l));
        b.SetAlignment(static_cast<TAlignment>(a));
        b.MouseEnter();
      });
}

// A spin edit as the window shows it: the field's sunken edge drawn around the
// field's pixels, and the arrow block within the edge.
void SaveSpinEdit(TSpinEdit& edit, const std::string& name) {
  constexpr int kMargin = 2;
  TBitmap surface;
  FillBitmap(surface, edit.Width() + 2 * kMargin, edit.Height() + 2 * kMargin, RGB(214, 223, 239));
  TCanvas& canvas = surface.Canvas();
  TBitmap& field = edit.PaintToBackBuffer();
  canvas.CopyRect(Bounds(kMargin, kMargin, edit.Width(), edit.Height()), field.Canvas(),
                  Rect(0, 0, edit.Width(), edit.Height()));
  TRect edge = Bounds(kMargin, kMargin, edit.Width(), edit.Height());
  Frame3D(canvas, edge, clBtnShadow, clBtnHighlight, 1);
  Frame3D(canvas, edge, cl3DDkShadow, cl3DLight, 1);
  TSpinButton& block = *edit.Button();
  TBitmap& arrows = block.PaintToBackBuffer();
  const int origin = kMargin + platform::kEditEdge;
  canvas.CopyRect(Bounds(origin + block.Left(), origin + block.Top(), block.Width(), block.Height()),
                  arrows.Canvas(), Rect(0, 0, block.Width(), block.Height()));
  Save(surface, name);
}

TEST(Gallery, WritesSpinEditLooks) {
  if (GalleryDir().empty()) GTEST_SKIP() << "QV_GALLERY_DIR is not set";
  WidgetHost env;
  TWinControl& host = env.Host(200, 100);
  TSpinEdit edit(nullptr);
  edit.SetParent(&host);
  edit.SetBounds(0, 0, 54, 22);  // the restart delay's field on the settings panel
  edit.SetMaxValue(99999);
  edit.SetMinValue(1);
  edit.SetValue(15);
  SaveSpinEdit(edit, "spin_rest");
  for (const auto& [name, y] : {std::pair{"up", 3}, std::pair{"down", 12}}) {
    platform::MouseEvent press;
    press.action = platform::MouseAction::Down;
    press.x = 7;
    press.y = y;
    PeerEventsOf(*edit.Button()).PeerMouse(press);
    SaveSpinEdit(edit, std::string("spin_pressed_") + name);
    press.action = platform::MouseAction::Up;
    PeerEventsOf(*edit.Button()).PeerMouse(press);
  }
  edit.SetHeight(10);  // grows back to the least height its font needs
  SaveSpinEdit(edit, "spin_min_height");

  TSpinButton lone(nullptr);
  lone.SetParent(&host);
  lone.UpArrow()->SetOptions(lone.UpArrow()->Options() | TTimerSpeedButton::FocusFrame);
  Save(lone.PaintToBackBuffer(), "spin_button_focused");
  lone.DownArrow()->SetEnabled(false);
  Save(lone.PaintToBackBuffer(), "spin_button_down_disabled");
}

}  // namespace
}  // namespace qv::testing
