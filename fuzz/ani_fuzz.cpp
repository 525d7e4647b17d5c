// Animated cursor files: parsing, copying and the frame strip.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/AniFile.h"
#include "imaging/IcoList.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qv::TAnimatedCursorImage ani;
  try {
    ani.LoadFromBytes(std::span<const std::uint8_t>(data, size));
  } catch (const qv::Exception&) {
    return 0;
  }
  qv::TAnimatedCursorImage copy;
  copy.Assign(&ani);
  qv::TIconList list;
  copy.AssignTo(list);
  if (ani.FrameCount() <= 8) {
    qv::TBitmap strip;
    try {
      ani.DrawStrip(strip, qv::clWhite, size % 2 == 0, true);
    } catch (const qv::EInvalidGraphicOperation&) {
      // a strip beyond the bitmap limits
    }
  }
  return 0;
}
