// PNG-coded icon images through libpng, into the 32-bit layout of TBitmap.
#pragma once

#include <cstdint>
#include <span>

#include "toolkit/Bitmap.h"

namespace qv::png {

// True when the bytes start with the PNG signature.
bool HasSignature(std::span<const std::uint8_t> data);

// The image size from the header without decoding; false when the header is
// unreadable.
bool ReadSize(std::span<const std::uint8_t> data, int& width, int& height);

// Decodes into a 32-bit image (blue, green, red, alpha; bottom row first).
// The size is checked against `maxSide` before any pixel memory is taken.
// Raises EInvalidGraphic with `invalidMessage` when the data is damaged and
// EInvalidGraphicOperation when the image is larger than allowed.
TDibImage Decode(std::span<const std::uint8_t> data, int maxSide, const char* invalidMessage);

}  // namespace qv::png
