#include "imaging/PngDecode.h"

#include <png.h>

#include <cstring>

#include "toolkit/SysUtils.h"

namespace qv::png {

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Owns libpng's state of one read; the simplified interface keeps its own
// error recovery, so no longjmp crosses our frames.
class ImageReader {
 public:
  ImageReader() {
    std::memset(&image_, 0, sizeof image_);
    image_.version = PNG_IMAGE_VERSION;
  }
  ~ImageReader() { png_image_free(&image_); }
  ImageReader(const ImageReader&) = delete;
  ImageReader& operator=(const ImageReader&) = delete;

  bool Begin(std::span<const std::uint8_t> data) {
    return png_image_begin_read_from_memory(&image_, data.data(), data.size()) != 0;
  }
  png_image& Image() { return image_; }

 private:
  png_image image_;
};

}  // namespace

bool HasSignature(std::span<const std::uint8_t> data) {
  return data.size() >= sizeof kSignature && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
}

bool ReadSize(std::span<const std::uint8_t> data, int& width, int& height) {
  if (!HasSignature(data)) return false;
  ImageReader reader;
  if (!reader.Begin(data)) return false;
  width = static_cast<int>(reader.Image().width);
  height = static_cast<int>(reader.Image().height);
  return true;
}

TDibImage Decode(std::span<const std::uint8_t> data, int maxSide, const char* invalidMessage) {
  if (!HasSignature(data)) throw EInvalidGraphic(invalidMessage);
  ImageReader reader;
  if (!reader.Begin(data)) throw EInvalidGraphic(invalidMessage);
  png_image& image = reader.Image();
  if (image.width == 0 || image.height == 0) throw EInvalidGraphic(invalidMessage);
  if (image.width > static_cast<png_uint_32>(maxSide) || image.height > static_cast<png_uint_32>(maxSide)) {
    throw EInvalidGraphicOperation(
        Format("PNG image of %u x %u pixels is beyond the limit of %d pixels a side", image.width,
               image.height, maxSide));
  }
  TDibImage out;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.format = pf32bit;
  CheckBitmapLimits(out.width, out.height, pf32bit);
  out.bits.assign(DibRowStride(out.width, 32) * static_cast<std::size_t>(out.height), 0);
  image.format = PNG_FORMAT_BGRA;
  // A negative stride asks for the bottom row first, the stored layout.
  const auto stride = -static_cast<png_int_32>(image.width * 4);
  if (png_image_finish_read(&image, nullptr, out.bits.data(), stride, nullptr) == 0) {
    throw EInvalidGraphic(invalidMessage);
  }
  return out;
}

}  // namespace qv::png
