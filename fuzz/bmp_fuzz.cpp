// BMP files: the toolkit's reader, then every colour reduction of the result.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/Quantize.h"
#include "toolkit/BmpCodec.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::TBitmap bitmap;
  try {
    bitmap.SetImage(qv::TBmpCodec::Decode(std::span<const std::uint8_t>(data, size)));
  } catch (const qv::Exception&) {
    return 0;
  }
  if (bitmap.Empty() || static_cast<long long>(bitmap.Width()) * bitmap.Height() > 256 * 256) return 0;
  for (int target = qv::rt1Bit; target <= qv::rt24Bit; ++target) {
    for (int method = qv::rmHistogram; method <= qv::rmGrey; ++method) {
      if (target != qv::rt8Bit && method != qv::rmHistogram && method != qv::rmGrey) continue;
      const auto file = qv::ReduceBitmap(&bitmap, target, static_cast<qv::TReductionMethod>(method));
      qv::TBitmap reduced;
      reduced.SetImage(qv::TBmpCodec::Decode(file));  // our own output must read back
      if (reduced.Width() != bitmap.Width() || reduced.Height() != bitmap.Height()) __builtin_trap();
    }
  }
  return 0;
}
