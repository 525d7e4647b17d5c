// The outline of the main window's full picture (764 x 581, key colour pure
// red), from pixels to the Qt region the form's peer gives the window: our
// BuildShapeRegion, the copy into peer rectangles the form makes, and
// RegionFromRects. The peer is Qt's own way to the same region, from a 1-bit
// mask: QRegion(QBitmap::fromImage(mask)), with the mask made beforehand from
// Qt's own decoding of the same picture file. Before timing, the two regions
// are checked to cover exactly the same pixels (the program fails otherwise).
// The parts of our path are timed alone as well, and the ratio ours/Qt is
// printed at the end. Repeated runs in shuffled order keep a busy machine's
// swings from falling on one side only:
//   build/bench/bench/shape_bench --benchmark_repetitions=10
//     --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
// (one command line).
// Runs without a display (Qt's offscreen platform) unless DISPLAY is set.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QRegion>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Pictures.h"
#include "desktop/KZTransImg.h"
#include "platform/qt/QtPeers.h"
#include "toolkit/Graphics.h"

namespace {

using qv::platform::PeerRect;

const qv::TBitmap& FullPicture() {
  static qv::TPicture* picture = [] {
    auto* p = new qv::TPicture;
    qv::LoadPicture(*p, qv::PictureId::FullView);
    return p;
  }();
  return picture->Bitmap();
}

// Qt's 1-bit mask of the same picture: set where the pixel is not pure red.
const QImage& QtMask() {
  static const QImage mask = [] {
    const auto bytes = qv::PictureBytes(qv::PictureId::FullView);
    const QImage image = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
    // A bitmap's set pixels are color1, which reads as black.
    QImage mask(image.size(), QImage::Format_MonoLSB);
    mask.setColorTable({QColor(Qt::white).rgb(), QColor(Qt::black).rgb()});
    mask.fill(0);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) & 0xFFFFFFu) != 0xFF0000u) mask.setPixel(x, y, 1);
    return mask;
  }();
  return mask;
}

// What the form hands its peer: the outline's rectangles as peer rectangles.
std::vector<PeerRect> ToPeerRects(const std::vector<qv::TRect>& rects) {
  std::vector<PeerRect> out;
  out.reserve(rects.size());
  for (const qv::TRect& r : rects) out.push_back({r.Left, r.Top, r.Right, r.Bottom});
  return out;
}

QRegion OurRegion() {
  std::optional<std::vector<qv::TRect>> rects = qv::BuildShapeRegion(&FullPicture(), qv::clRed);
  return qv::platform::qt::RegionFromRects(ToPeerRects(*rects));
}

long long Pixels(const QRegion& region) {
  long long n = 0;
  for (const QRect& r : region) n += static_cast<long long>(r.width()) * r.height();
  return n;
}

QRegion QtRegion() {
  return QRegion(QBitmap::fromImage(QtMask()));
}

void BM_UpdateShapeOurs(benchmark::State& state) {
  for (auto _ : state) {
    QRegion region = OurRegion();
    benchmark::DoNotOptimize(region);
  }
  state.SetLabel("ours: BuildShapeRegion + RegionFromRects");
}

void BM_BuildShapeRegion(benchmark::State& state) {
  for (auto _ : state) {
    auto rects = qv::BuildShapeRegion(&FullPicture(), qv::clRed);
    benchmark::DoNotOptimize(rects);
  }
}

void BM_RegionFromRects(benchmark::State& state) {
  const std::vector<PeerRect> rects = ToPeerRects(*qv::BuildShapeRegion(&FullPicture(), qv::clRed));
  for (auto _ : state) {
    QRegion region = qv::platform::qt::RegionFromRects(rects);
    benchmark::DoNotOptimize(region);
  }
  state.counters["rects"] = static_cast<double>(rects.size());
}

void BM_QtBitmapToRegionPeer(benchmark::State& state) {
  for (auto _ : state) {
    QRegion region = QtRegion();
    benchmark::DoNotOptimize(region);
  }
  state.SetLabel("peer: QRegion(QBitmap::fromImage(mask))");
}

BENCHMARK(BM_UpdateShapeOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QtBitmapToRegionPeer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildShapeRegion)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegionFromRects)->Unit(benchmark::kMicrosecond);

// Prints the runs as usual and keeps their times for the ratios at the end
// (the medians when the runs are repeated). On a busy machine the CPU times
// are the steadier figure; both are given.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, as the library's own reporter does.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular) {}

  struct Times {
    double real = 0, cpu = 0;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median)
        times_[run.run_name.function_name][median] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    }
  }
  Times Of(const std::string& name) const {
    const auto found = times_.find(name);
    if (found == times_.end()) return {};
    const auto median = found->second.find(true);
    return median != found->second.end() ? median->second : found->second.begin()->second;
  }

 private:
  std::map<std::string, std::map<bool, Times>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);  // bitmaps need the GUI application
  benchmark::Initialize(&argc, argv);

  {
    const QRegion ours = OurRegion(), qt = QtRegion();
    const bool same = (ours ^ qt).isEmpty();
    std::printf("outline of %dx%d: ours %d rects %lld px, Qt's %d rects %lld px, same pixels: %s\n",
                FullPicture().Width(), FullPicture().Height(), ours.rectCount(), Pixels(ours), qt.rectCount(),
                Pixels(qt), same ? "yes" : "NO");
    if (!same) return 1;
  }

  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const RatioReporter::Times ours = reporter.Of("BM_UpdateShapeOurs"),
                             peer = reporter.Of("BM_QtBitmapToRegionPeer");
  if (peer.real > 0 && peer.cpu > 0)
    std::printf("ratio ours/Qt: %.2f in real time, %.2f in CPU time\n", ours.real / peer.real,
                ours.cpu / peer.cpu);
  benchmark::Shutdown();
  return 0;
}
