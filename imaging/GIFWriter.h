// The LZW encoder of GIF frames and the layout of the GIF stream. The writing
// itself is part of TGIFImage (SaveToStream, WriteData, BuildGIF, WriteGIF);
// this header offers the encoder on its own for tools and tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/Bitmap.h"

namespace qv {

// Codes the pixels of a 1-, 4- or 8-bit image (stored layout, bottom row first)
// top row first into GIF coded data: the minimum code size byte (2 for 1-bit
// pixels, else the depth), 255-byte data sub-blocks, a last shorter one, and
// the zero terminator. `rowDone` (optional) is told the number of rows coded
// after each row. Any other depth raises EInvalidGraphicOperation
// "GIF image encoding error". The output depends on the pixels alone.
std::vector<std::uint8_t> EncodeGIFImageData(const TDibImage& image,
                                             const std::function<void(int)>& rowDone = {});

// The same from a pixel store of `size` bytes in that layout (1, 4 or 8 bits).
std::vector<std::uint8_t> EncodeGIFPixels(const std::uint8_t* bits, std::size_t size, int width, int height,
                                          int depth, const std::function<void(int)>& rowDone = {});

}  // namespace qv
