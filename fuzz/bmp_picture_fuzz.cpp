// BMP files as the program meets them: a file named *.bmp given to the picture
// loader, then the picture drawn into a small bitmap and copied.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "toolkit/Canvas.h"
#include "toolkit/Picture.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = qv::fuzz::ScratchDir() + "/picture.bmp";
  qv::fuzz::WriteFile(file, std::string_view(reinterpret_cast<const char*>(data), size));
  qv::TPicture picture;
  try {
    picture.LoadFromFile(file);
  } catch (const qv::Exception&) {
    return 0;
  }
  if (static_cast<long long>(picture.Width()) * picture.Height() > 512 * 512) return 0;
  qv::TBitmap target;
  target.SetSize(17, 13);
  target.Canvas().StretchDraw(qv::Rect(-2, 1, 15, 20), picture.Graphic());
  target.Canvas().Draw(3, -4, picture.Graphic());
  qv::TPicture copy;
  copy.Assign(picture);
  (void)copy.Bitmap().Empty();
  return 0;
}
