// The pictures stored with the main window.
#pragma once

#include <cstdint>
#include <span>

#include "toolkit/Graphics.h"

namespace qv {

enum class PictureId {
  FullView,
  SmallView,
  BonusView,
  Options,
  Indicator,
  BonusLink,
  SettingsButton,  // "Settings": a gear
  WatchButton,     // "Watch": an eye
  SmallViewButton,
  MinimiseButton,  // the settings panel's small button and its disabled look
  MinimiseButtonDisabled,
};

// The picture's stored bytes (a device-independent bitmap file).
std::span<const std::uint8_t> PictureBytes(PictureId id);
// Loads the stored bitmap into `bitmap`.
void LoadBitmap(TBitmap& bitmap, PictureId id);
// Loads the stored picture into `picture`.
void LoadPicture(TPicture& picture, PictureId id);

}  // namespace qv
