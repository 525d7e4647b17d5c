// Bitmaps written as PNG files through libpng, for pictures meant to be looked
// at or handed on (galleries, charts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"

namespace qv::png {

// The bitmap as an opaque 24-bit PNG (any pixel format is converted).
// Raises EInvalidGraphic when the bitmap is empty or libpng fails.
std::vector<std::uint8_t> Encode(const TBitmap& bitmap);
// Encodes and writes; raises EInOutError when the file cannot be written.
void SaveToFile(const TBitmap& bitmap, const std::string& path);

}  // namespace qv::png
