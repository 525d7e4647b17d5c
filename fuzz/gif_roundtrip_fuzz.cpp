// Decode, encode, decode: whatever a GIF decodes to must survive being written
// by us and read again, both with its coded data kept and re-encoded from the
// decoded bitmaps. A mismatch aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "imaging/GIFImage.h"

namespace {

constexpr long long kMaxFuzzPixels = 1 << 20;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SameBitmap(const qv::TBitmap& a, const qv::TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat()) {
    return false;
  }
  for (int y = 0; y < a.Height(); ++y) {
    const std::size_t bytes =
        (static_cast<std::size_t>(a.Width()) * static_cast<std::size_t>(a.BitsPerPixel()) + 7) / 8;
    for (std::size_t x = 0; x < bytes; ++x) {
      // Only whole pixels count: the padding bits of a packed row are not pixels.
      std::uint8_t mask = 0xFF;
      const std::size_t bits =
          static_cast<std::size_t>(a.Width()) * static_cast<std::size_t>(a.BitsPerPixel());
      if (x == bytes - 1 && bits % 8 != 0) mask = static_cast<std::uint8_t>(0xFF << (8 - bits % 8));
      if ((a.ScanLine(y)[x] & mask) != (b.ScanLine(y)[x] & mask)) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::SetGIFIgnoreCorrupt(true);
  qv::TGIFImage gif;
  try {
    gif.ReadGIF(std::span<const std::uint8_t>(data, size), false);
  } catch (const qv::Exception&) {
    return 0;
  }
  if (gif.FrameCount() == 0) return 0;
  std::vector<const qv::TBitmap*> decoded;
  for (int i = 0; i < gif.FrameCount(); ++i) {
    qv::TGIFFrame& frame = gif.Frames(i);
    const auto& s = frame.CodedImage().ImageSize;
    if (static_cast<long long>(s.Width) * s.Height > kMaxFuzzPixels || s.Width == 0 || s.Height == 0)
      return 0;
    try {
      decoded.push_back(&frame.Bitmap());
    } catch (const qv::Exception&) {
      return 0;
    }
  }

  // Kept coded data is written back byte for byte.
  std::vector<std::uint8_t> written;
  try {
    written = gif.BuildGIF();
  } catch (const qv::Exception&) {
    return 0;  // e.g. a global table whose size is not a power of two
  }
  qv::TGIFImage again;
  again.ReadGIF(written, false);
  Check(again.FrameCount() == gif.FrameCount());
  for (int i = 0; i < gif.FrameCount(); ++i) {
    Check(*again.Frames(i).CodedImage().ImageData == *gif.Frames(i).CodedImage().ImageData);
  }

  // Freshly encoded from the decoded bitmaps, the pixels come back unchanged.
  qv::TGIFImage fresh;
  for (const qv::TBitmap* bitmap : decoded) fresh.AddFrame(bitmap);
  const std::vector<std::uint8_t> encoded = fresh.BuildGIF();
  qv::TGIFImage back;
  back.ReadGIF(encoded, false);
  Check(back.FrameCount() == static_cast<int>(decoded.size()));
  for (int i = 0; i < back.FrameCount(); ++i) {
    Check(!back.Frames(i).Corrupted());
    Check(SameBitmap(back.Frames(i).Bitmap(), *decoded[static_cast<std::size_t>(i)]));
  }
  return 0;
}
