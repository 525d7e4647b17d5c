// Icon and cursor files: the stream reader, decoding and drawing.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "imaging/Icon.h"
#include "toolkit/Canvas.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  qv::TIcon icon;
  try {
    icon.LoadFromStream(in);
  } catch (const qv::Exception&) {
    return 0;
  }
  qv::TBitmap target;
  target.SetSize(24, 20);
  target.Canvas().StretchDraw(qv::Rect(-3, 2, 21, 30), &icon);
  std::ostringstream out;
  icon.SaveToStream(out);
  return 0;
}
