// The signal light's pictures: 32 small 4-bit bitmaps known by name, built
// from pixel patterns held in the program itself (there is no resource file
// to lose or to mismatch).
//
// The large set (17 x 17) is a round lamp with a grey rim and a white
// highlight on a light-grey ground; the small set (15 x 15) is a disc with a
// black rim, a highlight at its upper left and a dark glint at its lower right.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "toolkit/Bitmap.h"

namespace qv {

// The picture of that name ("GREEN", "BLACK", "DARK_RED_LITE", ...), built on
// first use and kept for the life of the program; null for any other name.
const TBitmap* FindLampImage(std::string_view name);

// All 32 names: the large set first, then the small one, each in the order
// red, blue, green, yellow, magenta, grey, cyan, white, bright before dark.
const std::vector<std::string>& LampImageNames();

}  // namespace qv
