// Builders for the sample files of the image tests: icon and cursor files with
// BMP- or PNG-coded images, RIFF chunks, and small helpers around them.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"

namespace qv::imaging_test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}
inline Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// One BMP-coded icon image. `pixel(x, y)` (y from the top) gives a palette index
// for 1 to 8 bits, 0x00RRGGBB for 24 bits and 0xAARRGGBB for 32 bits;
// `masked(x, y)` sets the AND-mask bit (transparent or inverting).
struct BmpImage {
  int width = 32, height = 32, bitCount = 24;
  std::vector<TPaletteEntry> palette;
  std::function<std::uint32_t(int, int)> pixel = [](int, int) { return 0u; };
  std::function<bool(int, int)> masked = [](int, int) { return false; };
  bool withMask = true;
};

inline Bytes Encode(const BmpImage& im) {
  Bytes out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(im.width));
  Put32(out, static_cast<std::uint32_t>(im.height * 2));
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(im.bitCount));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(im.palette.size()));
  Put32(out, 0);
  for (const TPaletteEntry& e : im.palette) {
    out.push_back(e.Blue);
    out.push_back(e.Green);
    out.push_back(e.Red);
    out.push_back(0);
  }
  const std::size_t stride = DibRowStride(im.width, im.bitCount);
  for (int row = 0; row < im.height; ++row) {
    const int y = im.height - 1 - row;
    Bytes line(stride, 0);
    for (int x = 0; x < im.width; ++x) {
      const std::uint32_t v = im.pixel(x, y);
      switch (im.bitCount) {
        case 1:
          line[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8));
          break;
        case 4:
          line[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>((v & 15) << (x % 2 ? 0 : 4));
          break;
        case 8: line[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(v); break;
        default: {
          const std::size_t at = static_cast<std::size_t>(x) * static_cast<std::size_t>(im.bitCount / 8);
          line[at] = static_cast<std::uint8_t>(v);
          line[at + 1] = static_cast<std::uint8_t>(v >> 8);
          line[at + 2] = static_cast<std::uint8_t>(v >> 16);
          if (im.bitCount == 32) line[at + 3] = static_cast<std::uint8_t>(v >> 24);
        }
      }
    }
    Append(out, line);
  }
  if (!im.withMask) return out;
  const std::size_t maskStride = DibRowStride(im.width, 1);
  for (int row = 0; row < im.height; ++row) {
    Bytes line(maskStride, 0);
    for (int x = 0; x < im.width; ++x) {
      if (im.masked(x, im.height - 1 - row))
        line[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    Append(out, line);
  }
  return out;
}

// A PNG file of `width` x `height` pixels from 0xAARRGGBB values.
inline Bytes Png(int width, int height, const std::function<std::uint32_t(int, int)>& argb) {
  Bytes rgba;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = argb(x, y);
      rgba.push_back(static_cast<std::uint8_t>(v >> 16));
      rgba.push_back(static_cast<std::uint8_t>(v >> 8));
      rgba.push_back(static_cast<std::uint8_t>(v));
      rgba.push_back(static_cast<std::uint8_t>(v >> 24));
    }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  Bytes out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr);
  out.resize(size);
  return out;
}

struct Entry {
  Bytes image;
  int width = 32, height = 32;  // directory values (256 is stored as 0)
  unsigned hotX = 1, hotY = 0;  // cursors: hot spot; icons: planes and bit count
};

// An icon (type 1) or cursor (type 2) file of the given images.
inline Bytes IconFile(const std::vector<Entry>& entries, unsigned type = 1) {
  Bytes out;
  Put16(out, 0);
  Put16(out, type);
  Put16(out, static_cast<unsigned>(entries.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    out.push_back(static_cast<std::uint8_t>(e.width & 0xFF));
    out.push_back(static_cast<std::uint8_t>(e.height & 0xFF));
    out.push_back(0);
    out.push_back(0);
    Put16(out, e.hotX);
    Put16(out, e.hotY);
    Put32(out, static_cast<std::uint32_t>(e.image.size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(e.image.size());
  }
  for (const Entry& e : entries) Append(out, e.image);
  return out;
}

// A 24-bit icon of one colour (0x00RRGGBB).
inline Bytes SolidIcon(std::uint32_t rgb, int side = 32, unsigned type = 1, unsigned hotX = 0,
                       unsigned hotY = 0) {
  BmpImage im;
  im.width = im.height = side;
  im.pixel = [rgb](int, int) { return rgb; };
  Entry e{Encode(im), side, side, type == 2 ? hotX : 1, type == 2 ? hotY : 24};
  return IconFile({e}, type);
}

// --- RIFF --------------------------------------------------------------------

inline Bytes Chunk(const std::string& id, const Bytes& data, bool pad = true) {
  Bytes out = Text(id.substr(0, 4));
  Put32(out, static_cast<std::uint32_t>(data.size()));
  Append(out, data);
  if (pad && data.size() % 2 != 0) out.push_back(0);
  return out;
}
inline Bytes List(const std::string& type, const Bytes& contents) {
  Bytes data = Text(type);
  Append(data, contents);
  return Chunk("LIST", data);
}
inline Bytes Acon(const Bytes& contents) {
  Bytes data = Text("ACON");
  Append(data, contents);
  return Chunk("RIFF", data);
}
inline Bytes Anih(std::uint32_t frames, std::uint32_t steps, std::uint32_t rate, std::uint32_t flags = 1) {
  Bytes data;
  for (std::uint32_t v : {36u, frames, steps, 32u, 32u, 0u, 1u, rate, flags}) Put32(data, v);
  return Chunk("anih", data);
}
inline Bytes Values(std::initializer_list<std::uint32_t> values) {
  Bytes data;
  for (std::uint32_t v : values) Put32(data, v);
  return data;
}

// --- Files and tools -----------------------------------------------------------

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The ImageMagick command, or empty when it is not installed.
inline std::string MagickCommand() {
  if (std::filesystem::exists("/usr/bin/convert")) return "/usr/bin/convert";
  return std::system("command -v convert >/dev/null 2>&1") == 0 ? "convert" : "";
}

}  // namespace qv::imaging_test
