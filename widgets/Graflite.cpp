#include "widgets/Graflite.h"

#include <array>

#include "widgets/GrafliteImages.h"

namespace qv {

namespace {

constexpr int kDefaultSize = 17;
// The picture's top-left corner in the control.
constexpr int kImageOffset = 1;

struct LightNames {
  const char* bright;
  const char* dark;
  const char* brightSmall;
  const char* darkSmall;
};

// Indexed by TActiveLight. The dark large white lamp is simply "BLACK".
constexpr std::array<LightNames, 8> kNames = {{
    {"RED", "DARK_RED", "RED_LITE", "DARK_RED_LITE"},
    {"BLUE", "DARK_BLUE", "BLUE_LITE", "DARK_BLUE_LITE"},
    {"GREEN", "DARK_GREEN", "GREEN_LITE", "DARK_GREEN_LITE"},
    {"YELLOW", "DARK_YELLOW", "YELLOW_LITE", "DARK_YELLOW_LITE"},
    {"MANGENTA", "DARK_MANGENTA", "MANGENTA_LITE", "DARK_MANGENTA_LITE"},
    {"GRAY", "DARK_GRAY", "GRAY_LITE", "DARK_GRAY_LITE"},
    {"CYAN", "DARK_CYAN", "CYAN_LITE", "DARK_CYAN_LITE"},
    {"WHITE", "BLACK", "WHITE_LITE", "DARK_WHITE_LITE"},
}};

}  // namespace

const char* LightImageName(TActiveLight light, bool dark, bool small) {
  const auto index = static_cast<std::size_t>(light);
  if (index >= kNames.size()) return nullptr;
  const LightNames& names = kNames[index];
  if (small) return dark ? names.darkSmall : names.brightSmall;
  return dark ? names.dark : names.bright;
}

TGraphicLight::TGraphicLight(TComponent* owner) : TGraphicControl(owner) {
  width_ = kDefaultSize;
  height_ = kDefaultSize;
}

void TGraphicLight::SetActiveLight(TActiveLight value) {
  if (value == activeLight_) return;
  activeLight_ = value;
  Repaint();
}

void TGraphicLight::SetDarkLite(bool value) {
  if (value == darkLite_) return;
  darkLite_ = value;
  Repaint();
}

void TGraphicLight::SetHeavyLite(bool value) {
  if (value == heavyLite_) return;
  heavyLite_ = value;
  Repaint();
}

const TBitmap* TGraphicLight::CurrentImage() const {
  const char* name = LightImageName(activeLight_, darkLite_, heavyLite_);
  return name != nullptr ? FindLampImage(name) : nullptr;
}

void TGraphicLight::Paint(TCanvas& canvas) {
  const TBitmap* image = CurrentImage();
  if (image == nullptr || image->Empty()) return;
  const int w = image->Width(), h = image->Height();
  // Opaque and unscaled whatever the canvas's copy mode; the canvas clips to the control.
  canvas.StretchBlit(Rect(kImageOffset, kImageOffset, kImageOffset + w, kImageOffset + h), *image,
                     Rect(0, 0, w, h), TBlitOptions{});
}

}  // namespace qv
