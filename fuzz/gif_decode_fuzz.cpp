// Feeds arbitrary bytes to the GIF reader and decodes every frame. Errors are
// expected; crashes, leaks, undefined behaviour and hangs are not.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/GIFImage.h"

namespace {
// Frames beyond this many pixels are legal but only slow the search down; the
// code paths they take are the same as for smaller frames.
constexpr long long kMaxFuzzPixels = 1 << 22;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::SetGIFIgnoreCorrupt((size & 1) == 0);
  qv::TGIFImage gif;
  try {
    gif.ReadGIF(std::span<const std::uint8_t>(data, size), false);
  } catch (const qv::Exception&) {
  }
  for (int i = 0; i < gif.FrameCount(); ++i) {
    qv::TGIFFrame& frame = gif.Frames(i);
    const auto& size2 = frame.CodedImage().ImageSize;
    if (static_cast<long long>(size2.Width) * size2.Height > kMaxFuzzPixels) continue;
    try {
      frame.Bitmap();
    } catch (const qv::Exception&) {
    }
  }
  (void)gif.Width();
  (void)gif.Empty();
  return 0;
}
