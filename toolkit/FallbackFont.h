// The font engine the canvas uses when the process has wired none (headless
// tools, tests that do not care about text): every character is a 6 x 9 cell
// with a hollow box in it, so text still has a size and leaves a visible mark.
#pragma once

#include "platform/FontEngine.h"

namespace qv {

platform::IFontEngine& FallbackFontEngine();

}  // namespace qv
