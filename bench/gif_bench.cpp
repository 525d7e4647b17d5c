// GIF decoding and encoding against giflib, side by side in one run.
// Decoding: giflib's DGifSlurp plus expansion of each raster into bottom-up
// palette rows (what our frames hold) against our reading and decoding of every
// frame. Encoding: giflib's EGifPutLine of every frame against our BuildGIF of
// the same palette bitmaps. After the benchmarks, a table of megapixels per
// second, ratios and encoded sizes.
#include <gif_lib.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/GIFImage.h"
#include "imaging/Quantize.h"
#include "toolkit/Bitmap.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Picture {
  std::string name;
  int width = 0, height = 0, bits = 8;
  std::vector<qv::TPaletteEntry> palette;
  std::vector<std::vector<std::uint8_t>> frames;  // indexes, top row first
};

std::unique_ptr<qv::TBitmap> ToBitmap(const Picture& p, const std::vector<std::uint8_t>& px) {
  qv::TDibImage image;
  image.width = p.width;
  image.height = p.height;
  image.format = p.bits == 1 ? qv::pf1bit : p.bits == 4 ? qv::pf4bit : qv::pf8bit;
  image.palette = p.palette;
  const std::size_t stride = qv::DibRowStride(p.width, p.bits);
  image.bits.assign(stride * static_cast<std::size_t>(p.height), 0);
  for (int y = 0; y < p.height; ++y) {
    std::uint8_t* row = image.bits.data() + static_cast<std::size_t>(p.height - 1 - y) * stride;
    for (int x = 0; x < p.width; ++x) {
      const std::uint8_t v =
          px[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)];
      if (p.bits == 8)
        row[x] = v;
      else if (p.bits == 4)
        row[x >> 1] |= static_cast<std::uint8_t>(v << ((x & 1) ? 0 : 4));
      else
        row[x >> 3] |= static_cast<std::uint8_t>(v << (7 - (x & 7)));
    }
  }
  auto bitmap = std::make_unique<qv::TBitmap>();
  bitmap->SetImage(std::move(image));
  return bitmap;
}

// A dialog-like screen: panels, frames, buttons and rows of glyph-like marks.
Picture MakeUi() {
  Picture p{"UI 764x581", 764, 581, 8, {}, {}};
  for (int i = 0; i < 256; ++i)
    p.palette.push_back(
        {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i)});
  std::vector<std::uint8_t> px(static_cast<std::size_t>(p.width * p.height), 20);
  std::mt19937 rng(1);
  auto fill = [&](int x0, int y0, int x1, int y1, std::uint8_t c) {
    for (int y = y0; y < y1 && y < p.height; ++y)
      for (int x = x0; x < x1 && x < p.width; ++x) px[static_cast<std::size_t>(y * p.width + x)] = c;
  };
  fill(0, 0, 764, 24, 3);
  for (int i = 0; i < 14; ++i) {
    const int x = static_cast<int>(rng() % 700), y = 30 + static_cast<int>(rng() % 500);
    const int w = 40 + static_cast<int>(rng() % 200), h = 20 + static_cast<int>(rng() % 80);
    fill(x, y, x + w, y + h, 7);
    fill(x + 1, y + 1, x + w - 1, y + h - 1, static_cast<std::uint8_t>(10 + i));
  }
  for (int line = 0; line < 40; ++line) {
    const int y = 40 + line * 13;
    for (int x = 20; x < 700; x += 7) {
      if (rng() % 5 == 0) continue;
      const std::uint32_t glyph = rng();
      for (int gy = 0; gy < 8; ++gy)
        for (int gx = 0; gx < 5; ++gx)
          if ((glyph >> (gy * 4 + gx)) & 1) px[static_cast<std::size_t>((y + gy) * p.width + x + gx)] = 1;
    }
  }
  p.frames.push_back(std::move(px));
  return p;
}

// Smooth colour fields with grain, reduced to 256 colours by our quantiser.
Picture MakePhoto() {
  Picture p{"photo 1920x1080", 1920, 1080, 8, {}, {}};
  qv::TBitmap rgb;
  rgb.SetPixelFormat(qv::pf24bit);
  rgb.SetSize(p.width, p.height);
  std::mt19937 rng(2);
  for (int y = 0; y < p.height; ++y) {
    std::uint8_t* row = rgb.ScanLine(y);
    for (int x = 0; x < p.width; ++x) {
      const double fx = x / 1920.0, fy = y / 1080.0;
      const int n = static_cast<int>(rng() % 13) - 6;
      row[x * 3] = static_cast<std::uint8_t>(
          std::clamp(static_cast<int>(120 + 100 * std::sin(fx * 7 + fy * 3)) + n, 0, 255));
      row[x * 3 + 1] = static_cast<std::uint8_t>(
          std::clamp(static_cast<int>(128 + 90 * std::cos(fy * 5 - fx * 2)) + n, 0, 255));
      row[x * 3 + 2] =
          static_cast<std::uint8_t>(std::clamp(static_cast<int>(60 + 150 * fx * fy) + n, 0, 255));
    }
  }
  const std::vector<std::uint8_t> file = qv::ReduceBitmap(&rgb, qv::rt8Bit, qv::rmHistogram);
  qv::TBitmap reduced;
  {
    std::string s(file.begin(), file.end());
    std::istringstream in(s);
    reduced.LoadFromStream(in);
  }
  p.palette = reduced.Palette();
  p.palette.resize(256);
  std::vector<std::uint8_t> px(static_cast<std::size_t>(p.width * p.height));
  for (int y = 0; y < p.height; ++y)
    std::memcpy(px.data() + static_cast<std::size_t>(y * p.width), reduced.ScanLine(y),
                static_cast<std::size_t>(p.width));
  p.frames.push_back(std::move(px));
  return p;
}

Picture MakeAnimation() {
  Picture p{"animation 256x256x20", 256, 256, 8, {}, {}};
  for (int i = 0; i < 256; ++i)
    p.palette.push_back(
        {static_cast<std::uint8_t>(i * 5), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 9)});
  for (int f = 0; f < 20; ++f) {
    std::vector<std::uint8_t> px(256 * 256);
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) {
        const int dx = x - 128 - f * 3, dy = y - 128 + f * 2;
        std::uint8_t c = static_cast<std::uint8_t>((y / 32 + x / 32) % 2 ? 2 : 3);
        if (dx * dx + dy * dy < 50 * 50) c = static_cast<std::uint8_t>(40 + (dx * dx + dy * dy) / 200);
        if (std::abs(x - f * 12) < 6) c = 200;
        px[static_cast<std::size_t>(y * 256 + x)] = c;
      }
    p.frames.push_back(std::move(px));
  }
  return p;
}

Picture MakeLineArt() {
  Picture p{"line art 2000x2000 1-bit", 2000, 2000, 1, {{255, 255, 255}, {0, 0, 0}}, {}};
  std::vector<std::uint8_t> px(2000 * 2000, 0);
  std::mt19937 rng(4);
  for (int i = 0; i < 300; ++i) {
    int x0 = static_cast<int>(rng() % 2000), y0 = static_cast<int>(rng() % 2000);
    const int x1 = static_cast<int>(rng() % 2000), y1 = static_cast<int>(rng() % 2000);
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int s = 0; s <= steps; ++s) {
      const int x = x0 + (x1 - x0) * s / std::max(steps, 1), y = y0 + (y1 - y0) * s / std::max(steps, 1);
      px[static_cast<std::size_t>(y * 2000 + x)] = 1;
    }
  }
  for (int r = 50; r < 1000; r += 37)
    for (int a = 0; a < 6283; ++a) {
      const int x = 1000 + static_cast<int>(r * std::cos(a / 1000.0)),
                y = 1000 + static_cast<int>(r * std::sin(a / 1000.0));
      if (x >= 0 && x < 2000 && y >= 0 && y < 2000) px[static_cast<std::size_t>(y * 2000 + x)] = 1;
    }
  p.frames.push_back(std::move(px));
  return p;
}

// A 16-colour chart: bands, bars and scattered marks in a 4-bit palette.
Picture MakeChart() {
  Picture p{"chart 1600x1200 4-bit", 1600, 1200, 4, {}, {}};
  for (int i = 0; i < 16; ++i)
    p.palette.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 12),
                         static_cast<std::uint8_t>(i * 7)});
  std::vector<std::uint8_t> px(1600 * 1200, 0);
  std::mt19937 rng(5);
  for (int y = 0; y < 1200; ++y)
    for (int x = 0; x < 1600; ++x)
      px[static_cast<std::size_t>(y * 1600 + x)] = static_cast<std::uint8_t>(y / 150);
  for (int bar = 0; bar < 60; ++bar) {
    const int x0 = 20 + bar * 26, top = 100 + static_cast<int>(rng() % 1000);
    for (int y = top; y < 1180; ++y)
      for (int x = x0; x < x0 + 18; ++x)
        px[static_cast<std::size_t>(y * 1600 + x)] = static_cast<std::uint8_t>(8 + bar % 8);
  }
  for (int i = 0; i < 40000; ++i) px[rng() % px.size()] = static_cast<std::uint8_t>(rng() % 16);
  p.frames.push_back(std::move(px));
  return p;
}

// ---------------------------------------------------------------- giflib side

int WriteToVector(GifFileType* gif, const GifByteType* buffer, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), buffer, buffer + length);
  return length;
}

Bytes GiflibEncode(const Picture& p) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
  std::vector<GifColorType> colors;
  for (const auto& e : p.palette) colors.push_back({e.Red, e.Green, e.Blue});
  colors.resize(static_cast<std::size_t>(1 << p.bits));
  ColorMapObject* map = GifMakeMapObject(1 << p.bits, colors.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, p.width, p.height, p.bits, 0, map);
  for (const auto& frame : p.frames) {
    EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr);
    for (int y = 0; y < p.height; ++y) {
      EGifPutLine(gif, const_cast<GifPixelType*>(frame.data() + static_cast<std::size_t>(y * p.width)),
                  p.width);
    }
  }
  GifFreeMapObject(map);
  EGifCloseFile(gif, &error);
  return out;
}

struct Cursor {
  const Bytes* data;
  std::size_t pos;
};

int ReadFromVector(GifFileType* gif, GifByteType* buffer, int length) {
  auto* c = static_cast<Cursor*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(length), c->data->size() - c->pos);
  std::memcpy(buffer, c->data->data() + c->pos, n);
  c->pos += n;
  return static_cast<int>(n);
}

// DGifSlurp, then each raster into bottom-up palette rows at the frame's depth.
std::size_t GiflibDecode(const Bytes& file, std::vector<std::vector<std::uint8_t>>& rows) {
  Cursor cursor{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&cursor, ReadFromVector, &error);
  DGifSlurp(gif);
  std::size_t pixels = 0;
  rows.resize(static_cast<std::size_t>(gif->ImageCount));
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    const int w = s.ImageDesc.Width, h = s.ImageDesc.Height;
    const ColorMapObject* map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
    const int bits = map->BitsPerPixel == 1 ? 1 : map->BitsPerPixel <= 4 ? 4 : 8;
    const std::size_t stride = qv::DibRowStride(w, bits);
    auto& out = rows[static_cast<std::size_t>(i)];
    out.assign(stride * static_cast<std::size_t>(h), 0);
    for (int y = 0; y < h; ++y) {
      const GifByteType* src = s.RasterBits + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
      std::uint8_t* dst = out.data() + static_cast<std::size_t>(h - 1 - y) * stride;
      if (bits == 8) {
        std::memcpy(dst, src, static_cast<std::size_t>(w));
      } else if (bits == 4) {
        for (int x = 0; x < w; ++x) dst[x >> 1] |= static_cast<std::uint8_t>(src[x] << ((x & 1) ? 0 : 4));
      } else {
        for (int x = 0; x < w; ++x) dst[x >> 3] |= static_cast<std::uint8_t>((src[x] & 1) << (7 - (x & 7)));
      }
    }
    pixels += static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  }
  DGifCloseFile(gif, &error);
  return pixels;
}

// ---------------------------------------------------------------- benchmarks

const std::vector<Picture>& Pictures() {
  static const std::vector<Picture> pictures = {MakeUi(), MakePhoto(), MakeAnimation(), MakeLineArt(),
                                                MakeChart()};
  return pictures;
}

// Per picture: its palette bitmaps and giflib's file of it (both decoders read
// that file, so neither reads its own output).
struct Prepared {
  std::vector<std::unique_ptr<qv::TBitmap>> bitmaps;
  Bytes giflibFile;
};

const Prepared& PreparedFor(std::size_t picture) {
  static std::vector<Prepared> prepared = [] {
    std::vector<Prepared> all;
    for (const Picture& p : Pictures()) {
      Prepared one;
      for (const auto& f : p.frames) one.bitmaps.push_back(ToBitmap(p, f));
      one.giflibFile = GiflibEncode(p);
      all.push_back(std::move(one));
    }
    return all;
  }();
  return prepared[picture];
}

enum Op { kDecodeOurs, kDecodeGiflib, kEncodeOurs, kEncodeGiflib };
constexpr const char* kOpNames[] = {"decode ours", "decode giflib", "encode ours", "encode giflib"};

struct Result {
  double seconds = 0;  // CPU seconds per run
  std::size_t bytes = 0;
};

std::map<std::pair<std::size_t, int>, Result>& Results() {
  static std::map<std::pair<std::size_t, int>, Result> results;
  return results;
}

void BM_Gif(benchmark::State& state) {
  const auto picture = static_cast<std::size_t>(state.range(0));
  const int op = static_cast<int>(state.range(1));
  const Picture& p = Pictures()[picture];
  const Prepared& prepared = PreparedFor(picture);
  std::size_t bytes = 0;
  const std::clock_t start = std::clock();
  std::clock_t paused = 0;
  for (auto _ : state) {
    switch (op) {
      case kDecodeOurs: {
        qv::TGIFImage gif;
        gif.ReadGIF(prepared.giflibFile, false);
        for (int i = 0; i < gif.FrameCount(); ++i) benchmark::DoNotOptimize(gif.Frames(i).Bitmap());
        break;
      }
      case kDecodeGiflib: {
        std::vector<std::vector<std::uint8_t>> rows;
        benchmark::DoNotOptimize(GiflibDecode(prepared.giflibFile, rows));
        break;
      }
      case kEncodeOurs: {
        state.PauseTiming();
        const std::clock_t pause = std::clock();
        qv::TGIFImage gif;
        for (const auto& b : prepared.bitmaps) gif.AddFrame(b.get());
        paused += std::clock() - pause;
        state.ResumeTiming();
        bytes = gif.BuildGIF().size();
        break;
      }
      case kEncodeGiflib: bytes = GiflibEncode(p).size(); break;
    }
  }
  const double mpix = static_cast<double>(p.width) * p.height * static_cast<double>(p.frames.size()) / 1e6;
  state.counters["MPix/s"] = benchmark::Counter(mpix, benchmark::Counter::kIsIterationInvariantRate);
  const double cpu = static_cast<double>(std::clock() - start - paused) / CLOCKS_PER_SEC;
  Results()[{picture, op}] = {cpu / static_cast<double>(state.iterations()), bytes};
  state.SetLabel(p.name + ", " + kOpNames[op]);
}

BENCHMARK(BM_Gif)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {kDecodeOurs, kDecodeGiflib, kEncodeOurs, kEncodeGiflib}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

void PrintSummary() {
  std::printf("\n%-26s %9s %9s %6s | %9s %9s %6s | %9s %9s %7s\n", "picture", "dec ours", "dec gif", "ratio",
              "enc ours", "enc gif", "ratio", "size ours", "size gif", "diff");
  for (std::size_t i = 0; i < Pictures().size(); ++i) {
    const Picture& p = Pictures()[i];
    const auto r = [&](int op) { return Results()[{i, op}]; };
    if (r(kDecodeOurs).seconds <= 0 || r(kDecodeGiflib).seconds <= 0 || r(kEncodeOurs).seconds <= 0 ||
        r(kEncodeGiflib).seconds <= 0) {
      continue;
    }
    const double mpix = static_cast<double>(p.width) * p.height * static_cast<double>(p.frames.size()) / 1e6;
    const double ours = static_cast<double>(r(kEncodeOurs).bytes),
                 theirs = static_cast<double>(r(kEncodeGiflib).bytes);
    std::printf("%-26s %9.1f %9.1f %5.2fx | %9.1f %9.1f %5.2fx | %9zu %9zu %+6.2f%%\n", p.name.c_str(),
                mpix / r(kDecodeOurs).seconds, mpix / r(kDecodeGiflib).seconds,
                r(kDecodeGiflib).seconds / r(kDecodeOurs).seconds, mpix / r(kEncodeOurs).seconds,
                mpix / r(kEncodeGiflib).seconds, r(kEncodeGiflib).seconds / r(kEncodeOurs).seconds,
                r(kEncodeOurs).bytes, r(kEncodeGiflib).bytes, 100.0 * (ours - theirs) / theirs);
  }
  std::printf("(megapixels per second of CPU time; ratio > 1 means ours is faster)\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  return 0;
}
