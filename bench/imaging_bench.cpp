// Throughput and quality of the six 8-bit colour reductions on a photo-like and
// a UI-like picture, side by side in the same run with ImageMagick's 256-colour
// reduction and grey conversion of the same pictures (the `convert` command,
// timed as wall-clock time like ours; a plain BMP-to-BMP copy is timed too, as
// the part of each command that is process start and file input and output).
// A summary with speed-up factors and PSNR follows the benchmark table.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Quantize.h"
#include "toolkit/BmpCodec.h"
#include "toolkit/Canvas.h"

namespace qv {
namespace {

struct Picture {
  const char* name;
  std::unique_ptr<TBitmap> bitmap;
  std::string file;  // the picture as a 24-bit BMP for ImageMagick
};

std::uint32_t Hash(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  return x ^ (x >> 16);
}

// Smooth value noise over a lattice of `cell` pixels, 0..1.
double Noise(int x, int y, int cell, std::uint32_t seed) {
  const int gx = x / cell, gy = y / cell;
  const double fx = static_cast<double>(x % cell) / cell, fy = static_cast<double>(y % cell) / cell;
  const auto at = [&](int i, int j) {
    return (Hash(static_cast<std::uint32_t>(i) * 73856093u ^ static_cast<std::uint32_t>(j) * 19349663u ^
                 seed) &
            0xFFFF) /
           65535.0;
  };
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double top = at(gx, gy) + (at(gx + 1, gy) - at(gx, gy)) * sx;
  const double bottom = at(gx, gy + 1) + (at(gx + 1, gy + 1) - at(gx, gy + 1)) * sx;
  return top + (bottom - top) * sy;
}

// Sky over textured ground with soft shapes and film grain: smooth gradients
// and hundreds of thousands of distinct colours, as in a photograph.
std::unique_ptr<TBitmap> PhotoLike(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const double n = 0.5 * Noise(x, y, 240, 1) + 0.3 * Noise(x, y, 60, 2) + 0.2 * Noise(x, y, 12, 3);
      const double horizon = h * (0.45 + 0.1 * Noise(x, 0, 300, 4));
      double r, g, bl;
      if (y < horizon) {
        const double t = y / horizon;
        r = 70 + 120 * t + 40 * n;
        g = 120 + 90 * t + 30 * n;
        bl = 200 + 40 * t - 20 * n;
      } else {
        r = 60 + 110 * n + 30 * Noise(x, y, 30, 5);
        g = 80 + 100 * n;
        bl = 30 + 60 * Noise(x, y, 90, 6);
      }
      const double grain = (static_cast<int>(Hash(static_cast<std::uint32_t>(y * w + x)) % 13) - 6);
      const auto clamp = [](double v) {
        return static_cast<std::uint8_t>(std::lround(std::fmin(255, std::fmax(0, v))));
      };
      row[3 * x] = clamp(bl + grain);
      row[3 * x + 1] = clamp(g + grain);
      row[3 * x + 2] = clamp(r + grain);
    }
  }
  return b;
}

// A dialog-like window: flat faces, 3D edges, a title gradient, a list with
// text, a chart and a few icons.
std::unique_ptr<TBitmap> UiLike(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(w, h);
  TCanvas& c = b->Canvas();
  c.Brush().SetColor(RGB(236, 233, 216));
  c.FillRect(Rect(0, 0, w, h));
  for (int x = 0; x < w; ++x) {  // title bar gradient
    c.Pen().SetColor(
        RGB(0, static_cast<std::uint8_t>(40 + 60 * x / w), static_cast<std::uint8_t>(140 + 100 * x / w)));
    c.MoveTo(x, 0);
    c.LineTo(x, 26);
  }
  c.Font().SetColor(clWhite);
  c.Brush().SetStyle(bsClear);
  c.TextOut(8, 8, "Quorvane settings");
  c.Brush().SetStyle(bsSolid);
  for (int i = 0; i < 8; ++i) {  // tool buttons with 3D edges
    const TRect r = Bounds(8 + i * 40, 34, 34, 28);
    c.Brush().SetColor(RGB(236, 233, 216));
    c.FillRect(r);
    c.Pen().SetColor(clWhite);
    c.MoveTo(r.Left, r.Bottom - 1);
    c.LineTo(r.Left, r.Top);
    c.LineTo(r.Right - 1, r.Top);
    c.Pen().SetColor(RGB(172, 168, 153));
    c.LineTo(r.Right - 1, r.Bottom - 1);
    c.LineTo(r.Left, r.Bottom - 1);
    c.Brush().SetColor(static_cast<TColor>(Hash(static_cast<std::uint32_t>(i)) & 0xFFFFFF));
    c.FillRect(Bounds(r.Left + 9, r.Top + 6, 16, 16));
  }
  c.Brush().SetColor(clWhite);
  c.Pen().SetColor(RGB(127, 157, 185));
  c.Rectangle(8, 72, 380, h - 40);
  c.Font().SetColor(clBlack);
  for (int i = 0; 84 + i * 18 < h - 48; ++i) {  // list rows
    c.Brush().SetColor(i % 2 ? RGB(245, 245, 250) : clWhite);
    c.FillRect(Rect(9, 73 + i * 18, 379, 91 + i * 18));
    if (i == 5) {
      c.Brush().SetColor(RGB(49, 106, 197));
      c.FillRect(Rect(9, 73 + i * 18, 379, 91 + i * 18));
    }
    c.TextOut(14, 77 + i * 18, "12:00:0" + std::to_string(i % 10) + "   Connection to the INTERNET detected");
  }
  c.Brush().SetColor(RGB(255, 255, 240));
  c.Rectangle(392, 72, w - 8, 330);
  for (int i = 0; i < 6; ++i) {  // a pie-like chart
    c.Brush().SetColor(static_cast<TColor>(Hash(static_cast<std::uint32_t>(100 + i)) & 0xFFFFFF));
    c.Ellipse(420 + i * 8, 90 + i * 6, 740 - i * 8, 320 - i * 6);
  }
  c.Brush().SetColor(RGB(236, 233, 216));
  c.FillRect(Rect(0, h - 24, w, h));
  c.TextOut(8, h - 20, "System is alive");
  return b;
}

std::string TempDir() {
  static const std::string dir = [] {
    std::string t = (std::filesystem::temp_directory_path() / "qv_imaging_bench_XXXXXX").string();
    if (mkdtemp(t.data()) == nullptr) std::abort();
    return t;
  }();
  return dir;
}

std::vector<Picture>& Pictures() {
  static std::vector<Picture> pictures = [] {
    std::vector<Picture> p;
    p.push_back({"photo 1920x1080", PhotoLike(1920, 1080), TempDir() + "/photo.bmp"});
    p.push_back({"ui 764x581", UiLike(764, 581), TempDir() + "/ui.bmp"});
    for (Picture& pic : p) pic.bitmap->SaveToFile(pic.file);
    return p;
  }();
  return pictures;
}

double Psnr(const TBitmap& original, const TBitmap& reduced) {
  double squared = 0;
  for (int y = 0; y < original.Height(); ++y)
    for (int x = 0; x < original.Width(); ++x) {
      const TColor a = original.PixelRGB(x, y), b = reduced.PixelRGB(x, y);
      const double dr = GetRValue(a) - GetRValue(b), dg = GetGValue(a) - GetGValue(b),
                   db = GetBValue(a) - GetBValue(b);
      squared += dr * dr + dg * dg + db * db;
    }
  const double mse = squared / (3.0 * original.Width() * original.Height());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct Result {
  double seconds = 0;      // CPU time per run (ImageMagick: its processes' CPU time)
  double wallSeconds = 0;  // wall-clock time per run
  double psnr = 0;
};

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ChildrenCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  const auto seconds = [](const timeval& v) {
    return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) * 1e-6;
  };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}
std::map<std::string, Result>& Results() {
  static std::map<std::string, Result> results;
  return results;
}

const char* const kMethodNames[] = {"histogram", "median cut", "fixed 224", "fixed 216", "triplet", "grey"};

std::string Magick() {
  return std::filesystem::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
}

void BM_Reduce(benchmark::State& state) {
  Picture& pic = Pictures()[static_cast<std::size_t>(state.range(0))];
  const auto method = static_cast<TReductionMethod>(state.range(1));
  const double cpuStart = ThreadCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::vector<std::uint8_t> file = ReduceBitmap(pic.bitmap.get(), rt8Bit, method);
    benchmark::DoNotOptimize(file.data());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ThreadCpuSeconds() - cpuStart;
  TBitmap reduced;
  reduced.SetImage(TBmpCodec::Decode(ReduceBitmap(pic.bitmap.get(), rt8Bit, method)));
  const double psnr = Psnr(*pic.bitmap, reduced);
  const double pixels = static_cast<double>(pic.bitmap->Width()) * pic.bitmap->Height();
  state.counters["MPix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["PSNR"] = psnr;
  const auto runs = static_cast<double>(state.iterations());
  Results()[std::string(pic.name) + "|" + kMethodNames[method]] = {cpu / runs, seconds / runs, psnr};
  state.SetLabel(std::string(pic.name) + " " + kMethodNames[method]);
}

// op 0: 256-colour reduction, 1: grey conversion, 2: plain copy (the command's
// fixed costs).
void BM_Magick(benchmark::State& state) {
  Picture& pic = Pictures()[static_cast<std::size_t>(state.range(0))];
  static const char* const kOps[] = {"+dither -colors 256", "-colorspace Gray", ""};
  static const char* const kOpNames[] = {"magick -colors 256", "magick grey", "magick copy"};
  const std::string out = TempDir() + "/magick_out.bmp";
  const std::string command = Magick() + " " + pic.file + " " + kOps[state.range(1)] + " BMP3:" + out;
  const double cpuStart = ChildrenCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("ImageMagick failed");
      return;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = ChildrenCpuSeconds() - cpuStart;
  TBitmap result;
  result.LoadFromFile(out);
  const double psnr = Psnr(*pic.bitmap, result);
  const double pixels = static_cast<double>(pic.bitmap->Width()) * pic.bitmap->Height();
  state.counters["MPix/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["PSNR"] = psnr;
  const auto runs = static_cast<double>(state.iterations());
  Results()[std::string(pic.name) + "|" + kOpNames[state.range(1)]] = {cpu / runs, seconds / runs, psnr};
  state.SetLabel(std::string(pic.name) + " " + kOpNames[state.range(1)]);
}

BENCHMARK(BM_Reduce)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4, 5}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK(BM_Magick)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void PrintSummary() {
  std::printf("\n%-16s %-19s %8s %7s %9s %9s %9s\n", "picture", "method", "MPix/s", "PSNR", "x magick",
              "x m-io", "x wall");
  for (const Picture& pic : Pictures()) {
    const std::string p = pic.name;
    const double pixels = static_cast<double>(pic.bitmap->Width()) * pic.bitmap->Height() / 1e6;
    const Result copy = Results()[p + "|magick copy"];
    for (int m = 0; m < 6; ++m) {
      const Result r = Results()[p + "|" + kMethodNames[m]];
      const Result peer = Results()[p + (m <= 1 ? "|magick -colors 256" : "|magick grey")];
      if (r.seconds <= 0 || peer.seconds <= 0) continue;
      std::printf("%-16s %-19s %8.1f %7.2f %8.1fx %8.1fx %8.1fx\n", pic.name, kMethodNames[m],
                  pixels / r.seconds, r.psnr, peer.seconds / r.seconds,
                  (peer.seconds - copy.seconds) / r.seconds, peer.wallSeconds / r.wallSeconds);
    }
    for (const char* peerName : {"magick -colors 256", "magick grey", "magick copy"}) {
      const Result r = Results()[p + "|" + peerName];
      if (r.seconds > 0)
        std::printf("%-16s %-19s %8.1f %7.2f\n", pic.name, peerName, pixels / r.seconds, r.psnr);
    }
  }
  std::printf(
      "MPix/s from CPU time. x magick: ImageMagick's CPU time over ours (its 256-colour reduction for "
      "histogram and\n"
      "median cut, its grey conversion for the others); x m-io: the same less the CPU time of a plain BMP "
      "copy\n"
      "(process start and file I/O); x wall: the ratio of wall-clock times.\n");
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  qv::PrintSummary();
  std::filesystem::remove_all(qv::TempDir());
  return 0;
}
