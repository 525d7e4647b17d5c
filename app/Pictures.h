// The pictures stored with the main window.
#pragma once

#include <cstdint>
#include <span>

#include "toolkit/Graphics.h"

namespace qv {

enum class PictureId { FullView, SmallView, BonusView, Options, Indicator, BonusLink };

// The picture's stored bytes (a device-independent bitmap file).
std::span<const std::uint8_t> PictureBytes(PictureId id);
// Loads the stored picture into `picture`.
void LoadPicture(TPicture& picture, PictureId id);

}  // namespace qv
