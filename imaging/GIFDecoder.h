// The LZW decoder of GIF frames: turns a frame's coded data (minimum code size
// byte, data sub-blocks, terminator) into one palette index per pixel.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qv {

struct TGIFDecodeRequest {
  std::span<const std::uint8_t> imageData;
  int width = 0;
  int height = 0;
  bool interlaced = false;
  int bitsPerPixel = 8;  // every value is masked to this many bits
  bool ignoreCorrupt = true;
  // (stage 0/1/2, percent, message); called only when the percent changes.
  std::function<void(int, int, const std::string&)> progress;
};

struct TGIFDecodeResult {
  // width * height indexes, top row first, rows in image order (interlacing
  // already undone). Pixels never reached by the data keep index 0.
  std::vector<std::uint8_t> pixels;
  bool corrupt = false;
};

// Raises EInvalidGraphicOperation "GIF code size not in range 2 to 9" or
// "GIF encoded data is corrupt" when ignoreCorrupt is false and the data is bad;
// otherwise marks the result corrupt and keeps what was decoded.
TGIFDecodeResult DecodeGIFFrame(const TGIFDecodeRequest& request);

// The image row shown by the i-th row of the code stream.
std::vector<int> GIFRowOrder(int height, bool interlaced);

}  // namespace qv
