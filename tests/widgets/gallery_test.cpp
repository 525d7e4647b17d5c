// Writes pictures of every widget look for a person to inspect: set
// QV_GALLERY_DIR to a directory and run this test. Skipped otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "WidgetHost.h"
#include "widgets/Gauges.h"
#include "widgets/Graflite.h"
#include "widgets/GrafliteImages.h"
#include "widgets/Scope.h"

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

}  // namespace
}  // namespace qv::testing
