// A small lamp indicator: one of eight colours, bright or dark, in a large or
// a small look, drawn from a named picture. Windowless and not opaque: what
// the picture does not cover shows the parent's background.
#pragma once

#include <cstdint>

#include "toolkit/Controls.h"

namespace qv {

// The ordinals are part of the interface: callers assign colours as numbers.
enum TActiveLight : std::uint8_t { alRed, alBlue, alGreen, alYellow, alMangenta, alGray, alCyan, alWhite };

// Name of the picture for a colour and look; null for a value outside the
// eight colours. `small` picks the small set, `dark` the unlit version.
const char* LightImageName(TActiveLight light, bool dark, bool small);

class TGraphicLight : public TGraphicControl {
 public:
  explicit TGraphicLight(TComponent* owner);

  // Each setter repaints at once when the value really changes, and does
  // nothing otherwise.
  TActiveLight ActiveLight() const { return activeLight_; }
  void SetActiveLight(TActiveLight value);
  bool DarkLite() const { return darkLite_; }
  void SetDarkLite(bool value);
  // True selects the small pictures.
  bool HeavyLite() const { return heavyLite_; }
  void SetHeavyLite(bool value);

  // The picture the current properties select (null when none does).
  const TBitmap* CurrentImage() const;

  // Draws the picture unscaled at (1, 1); the top row, the left column and
  // everything the picture misses are left to the parent.
  void Paint(TCanvas& canvas) override;

 private:
  TActiveLight activeLight_ = alGreen;
  bool darkLite_ = false;
  bool heavyLite_ = true;
};

}  // namespace qv
