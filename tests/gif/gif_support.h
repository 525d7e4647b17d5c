// Helpers of the GIF tests: hand-built streams, pixel access, and giflib as an
// independent decoder and encoder.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/GIFImage.h"
#include "toolkit/Bitmap.h"

namespace qv::giftest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing test file " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string DataPath(const std::string& name) {
  return std::string(QV_GIF_TEST_DATA) + "/" + name;
}

inline void LoadGif(TGIFImage& gif, const Bytes& bytes) {
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  gif.LoadFromStream(in);
}

inline Bytes SaveGif(TGIFImage& gif) {
  std::ostringstream out;
  gif.SaveToStream(out);
  const std::string s = out.str();
  return Bytes(s.begin(), s.end());
}

// The palette index of a pixel of an indexed bitmap, y from the top.
inline int IndexAt(const TBitmap& bitmap, int x, int y) {
  const std::uint8_t* row = bitmap.ScanLine(y);
  switch (bitmap.PixelFormat()) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case pf4bit: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    case pf8bit: return row[x];
    default: throw std::runtime_error("not an indexed bitmap");
  }
}

inline std::vector<int> Indexes(const TBitmap& bitmap) {
  std::vector<int> out;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) out.push_back(IndexAt(bitmap, x, y));
  }
  return out;
}

// An indexed bitmap with pixel (x, y) = f(x, y) and a palette of 2^bits greys.
template <class F>
std::unique_ptr<TBitmap> MakeIndexed(int width, int height, TPixelFormat format, F f) {
  TDibImage image;
  image.width = width;
  image.height = height;
  image.format = format;
  const int bits = BitsPerPixel(format);
  for (int i = 0; i < (1 << bits); ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / ((1 << bits) - 1));
    image.palette.push_back({v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(i * 7)});
  }
  const std::size_t stride = DibRowStride(width, bits);
  image.bits.assign(stride * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.bits.data() + static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      const int v = f(x, y) & ((1 << bits) - 1);
      if (bits == 8) row[x] = static_cast<std::uint8_t>(v);
      if (bits == 4) row[x >> 1] |= static_cast<std::uint8_t>(v << ((x & 1) ? 0 : 4));
      if (bits == 1) row[x >> 3] |= static_cast<std::uint8_t>(v << (7 - (x & 7)));
    }
  }
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImage(std::move(image));
  return bitmap;
}

// A deliberately naive LZW coder for hand-built streams: every pixel goes out
// as a root code and a clear code comes before the code size would grow.
inline Bytes NaiveLzw(const std::vector<int>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  const int size = minCodeSize + 1;
  const int perRun = (1 << size) - clear - 2;
  std::vector<int> codes{clear};
  int run = 0;
  for (int p : pixels) {
    if (run == perRun) {
      codes.push_back(clear);
      run = 0;
    }
    codes.push_back(p);
    ++run;
  }
  codes.push_back(clear + 1);
  Bytes packed;
  std::uint32_t acc = 0;
  int bits = 0;
  for (int c : codes) {
    acc |= static_cast<std::uint32_t>(c) << bits;
    bits += size;
    while (bits >= 8) {
      packed.push_back(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) packed.push_back(static_cast<std::uint8_t>(acc));
  Bytes out{static_cast<std::uint8_t>(minCodeSize)};
  for (std::size_t i = 0; i < packed.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, packed.size() - i);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(i),
               packed.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  out.push_back(0);
  return out;
}

// Builds GIF streams byte by byte.
class Builder {
 public:
  Builder& Raw(std::initializer_list<int> bytes) {
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
    return *this;
  }
  Builder& Append(const Bytes& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Builder& Text(const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    return *this;
  }
  Builder& Word(int v) { return Raw({v & 0xFF, (v >> 8) & 0xFF}); }
  // Header and screen descriptor; bits > 0 adds a global table of 2^bits entries
  // where entry i is (i, 2i, 3i).
  Builder& Screen(int width, int height, int bits, int background = 0, const char* sig = "GIF89a") {
    Text(sig).Word(width).Word(height);
    Raw({bits > 0 ? 0x80 | (bits - 1) | ((bits - 1) << 4) : 0, background, 0});
    if (bits > 0) Table(bits);
    return *this;
  }
  Builder& Table(int bits) {
    for (int i = 0; i < (1 << bits); ++i) Raw({i & 0xFF, (2 * i) & 0xFF, (3 * i) & 0xFF});
    return *this;
  }
  Builder& Control(int packed, int delay, int transparent) {
    return Raw({'!', 0xF9, 4, packed, delay & 0xFF, delay >> 8, transparent, 0});
  }
  Builder& Comment(std::initializer_list<std::string> blocks) {
    Raw({'!', 0xFE});
    for (const auto& b : blocks) {
      Raw({static_cast<int>(b.size())});
      Text(b);
    }
    return Raw({0});
  }
  Builder& Loop(const char* id, int count) {
    Raw({'!', 0xFF, 11}).Text(id);
    return Raw({3, 1, count & 0xFF, count >> 8, 0});
  }
  // An image descriptor (no local table unless packed says so) and its data.
  Builder& Image(int left, int top, int width, int height, int packed, const Bytes& data) {
    Raw({','}).Word(left).Word(top).Word(width).Word(height).Raw({packed});
    return Append(data);
  }
  Builder& Trailer() { return Raw({';'}); }

  Bytes out;
};

// ---------------------------------------------------------------- giflib

struct OracleFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlace = false;
  std::vector<int> pixels;                        // top row first, de-interlaced
  Bytes colors;                                   // the frame's table, or the global one
  std::vector<std::pair<int, Bytes>> extensions;  // function code, joined data
};

struct OracleImage {
  int width = 0, height = 0;
  int globalColors = 0;
  std::vector<OracleFrame> frames;
  std::vector<std::pair<int, Bytes>> trailing;  // extensions after the last image
};

struct ReadCursor {
  const Bytes* data;
  std::size_t pos = 0;
};

inline int GiflibRead(GifFileType* gif, GifByteType* buffer, int length) {
  auto* cursor = static_cast<ReadCursor*>(gif->UserData);
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(length), cursor->data->size() - cursor->pos);
  std::memcpy(buffer, cursor->data->data() + cursor->pos, n);
  cursor->pos += n;
  return static_cast<int>(n);
}

inline std::vector<std::pair<int, Bytes>> CollectExtensions(int count, ExtensionBlock* blocks) {
  std::vector<std::pair<int, Bytes>> out;
  for (int i = 0; i < count; ++i) {
    const ExtensionBlock& b = blocks[i];
    if (b.Function != CONTINUE_EXT_FUNC_CODE) out.emplace_back(b.Function, Bytes());
    if (!out.empty()) out.back().second.insert(out.back().second.end(), b.Bytes, b.Bytes + b.ByteCount);
  }
  return out;
}

inline OracleImage GiflibDecode(const Bytes& bytes) {
  ReadCursor cursor{&bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&cursor, GiflibRead, &error);
  if (gif == nullptr) throw std::runtime_error("giflib cannot open");
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    throw std::runtime_error("giflib cannot read");
  }
  OracleImage image;
  image.width = gif->SWidth;
  image.height = gif->SHeight;
  image.globalColors = gif->SColorMap ? gif->SColorMap->ColorCount : 0;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& saved = gif->SavedImages[i];
    OracleFrame frame;
    frame.left = saved.ImageDesc.Left;
    frame.top = saved.ImageDesc.Top;
    frame.width = saved.ImageDesc.Width;
    frame.height = saved.ImageDesc.Height;
    frame.interlace = saved.ImageDesc.Interlace;
    frame.pixels.assign(saved.RasterBits, saved.RasterBits + frame.width * frame.height);
    const ColorMapObject* map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
    if (map != nullptr) {
      for (int c = 0; c < map->ColorCount; ++c) {
        frame.colors.insert(frame.colors.end(),
                            {map->Colors[c].Red, map->Colors[c].Green, map->Colors[c].Blue});
      }
    }
    frame.extensions = CollectExtensions(saved.ExtensionBlockCount, saved.ExtensionBlocks);
    image.frames.push_back(std::move(frame));
  }
  image.trailing = CollectExtensions(gif->ExtensionBlockCount, gif->ExtensionBlocks);
  DGifCloseFile(gif, &error);
  return image;
}

inline int GiflibWrite(GifFileType* gif, const GifByteType* buffer, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), buffer, buffer + length);
  return length;
}

struct SourceFrame {
  int width = 0, height = 0;
  int bits = 8;
  std::vector<int> pixels;
  bool interlace = false;
  int delay = 0;  // hundredths; with transparent >= 0 a control block is written
  int transparent = -1;
};

// A GIF written by giflib: global table of 2^bits entries (i, 255 - i, i * 3).
inline Bytes GiflibEncode(const std::vector<SourceFrame>& frames, int bits, bool loop) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, GiflibWrite, &error);
  std::vector<GifColorType> colors(static_cast<std::size_t>(1 << bits));
  for (std::size_t i = 0; i < colors.size(); ++i) {
    colors[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                 static_cast<GifByteType>(i * 3)};
  }
  ColorMapObject* map = GifMakeMapObject(1 << bits, colors.data());
  int width = 0, height = 0;
  for (const auto& f : frames) {
    width = std::max(width, f.width);
    height = std::max(height, f.height);
  }
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, bits, 0, map);
  if (loop) {
    const GifByteType id[] = "NETSCAPE2.0";
    const GifByteType count[] = {1, 0, 0};
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, id);
    EGifPutExtensionBlock(gif, 3, count);
    EGifPutExtensionTrailer(gif);
  }
  for (const auto& f : frames) {
    if (f.transparent >= 0 || f.delay > 0) {
      const GifByteType gce[] = {static_cast<GifByteType>(f.transparent >= 0 ? 1 : 0),
                                 static_cast<GifByteType>(f.delay & 0xFF),
                                 static_cast<GifByteType>(f.delay >> 8),
                                 static_cast<GifByteType>(f.transparent >= 0 ? f.transparent : 0)};
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    }
    EGifPutImageDesc(gif, 0, 0, f.width, f.height, f.interlace, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(f.width));
    std::vector<int> rows;
    if (f.interlace) {
      const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < f.height; y += step[p]) rows.push_back(y);
    } else {
      for (int y = 0; y < f.height; ++y) rows.push_back(y);
    }
    for (int y : rows) {
      for (int x = 0; x < f.width; ++x)
        line[static_cast<std::size_t>(x)] =
            static_cast<GifPixelType>(f.pixels[static_cast<std::size_t>(y * f.width + x)]);
      EGifPutLine(gif, line.data(), f.width);
    }
  }
  GifFreeMapObject(map);
  EGifCloseFile(gif, &error);
  return out;
}

}  // namespace qv::giftest
