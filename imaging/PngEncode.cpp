#include "imaging/PngEncode.h"

#include <png.h>

#include <cstring>
#include <fstream>

#include "toolkit/SysUtils.h"

namespace qv::png {

namespace {

// Owns libpng's state of one write; the simplified interface keeps its own
// error recovery, so no longjmp crosses our frames.
class ImageWriter {
 public:
  ImageWriter() {
    std::memset(&image_, 0, sizeof image_);
    image_.version = PNG_IMAGE_VERSION;
  }
  ~ImageWriter() { png_image_free(&image_); }
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;
  png_image& Image() { return image_; }

 private:
  png_image image_;
};

}  // namespace

std::vector<std::uint8_t> Encode(const TBitmap& bitmap) {
  if (bitmap.Empty()) throw EInvalidGraphic("Cannot write an empty picture as PNG");
  const int w = bitmap.Width(), h = bitmap.Height();
  // Rows top first, B G R as the toolkit keeps them.
  std::vector<std::uint8_t> rows(static_cast<size_t>(w) * 3 * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    std::uint8_t* out = rows.data() + static_cast<size_t>(y) * 3 * static_cast<size_t>(w);
    if (bitmap.PixelFormat() == pf24bit) {
      std::memcpy(out, bitmap.ScanLine(y), static_cast<size_t>(w) * 3);
      continue;
    }
    for (int x = 0; x < w; ++x) {
      const TColor c = bitmap.PixelRGB(x, y);
      out[3 * x] = GetBValue(c);
      out[3 * x + 1] = GetGValue(c);
      out[3 * x + 2] = GetRValue(c);
    }
  }
  ImageWriter writer;
  png_image& image = writer.Image();
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_BGR;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, rows.data(), 0, nullptr))
    throw EInvalidGraphic("Cannot encode the picture as PNG");
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rows.data(), 0, nullptr))
    throw EInvalidGraphic("Cannot encode the picture as PNG");
  out.resize(size);
  return out;
}

void SaveToFile(const TBitmap& bitmap, const std::string& path) {
  const std::vector<std::uint8_t> bytes = Encode(bitmap);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file)
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw EInOutError(Format("Cannot write %s", path.c_str()));
}

}  // namespace qv::png
