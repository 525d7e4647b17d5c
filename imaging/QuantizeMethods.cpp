#include "imaging/QuantizeMethods.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

namespace qv::quantize {

namespace {

constexpr TPaletteEntry kGreyFiller{128, 128, 128};
constexpr TPaletteEntry kBlack{0, 0, 0};

// --- Level tables -------------------------------------------------------------

template <std::size_t N>
constexpr std::array<std::uint8_t, 256> MakeNearest(const std::array<std::uint8_t, N>& levels) {
  std::array<std::uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < N; ++i) {
      const int d = levels[i] > v ? levels[i] - v : v - levels[i];
      const int bestD = levels[best] > v ? levels[best] - v : v - levels[best];
      if (d < bestD) best = i;  // strictly nearer: the lower level wins ties
    }
    table[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(best);
  }
  return table;
}

constexpr std::array<std::uint8_t, 4> kL4 = {0, 85, 170, 255};
constexpr std::array<std::uint8_t, 6> kL6 = {0, 51, 102, 153, 204, 255};
constexpr std::array<std::uint8_t, 7> kL7 = {0, 43, 85, 128, 170, 213, 255};
constexpr std::array<std::uint8_t, 8> kL8 = {0, 36, 73, 109, 146, 182, 219, 255};

constexpr auto kNearest4 = MakeNearest(kL4);
constexpr auto kNearest6 = MakeNearest(kL6);
constexpr auto kNearest7 = MakeNearest(kL7);
constexpr auto kNearest8 = MakeNearest(kL8);

// --- Pixel walking ------------------------------------------------------------

// Calls index(r, g, b, x, y) for every pixel in buffer order and stores the
// result as the pixel's 8-bit index, zeroing each 8-bit row's padding.
template <typename IndexOf>
void MapPixels(const InPlaceImage& image, IndexOf index) {
  const int width = image.width, height = image.height;
  std::uint8_t* const bits = image.bits;
  const std::size_t s24 = Stride24(width), s8 = Stride8(width);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = bits + static_cast<std::size_t>(y) * s24;
    std::uint8_t* out = bits + static_cast<std::size_t>(y) * s8;
    for (int x = 0; x < width; ++x, in += 3) {
      out[x] = index(in[2], in[1], in[0], x, y);
    }
    for (std::size_t p = static_cast<std::size_t>(width); p < s8; ++p) out[p] = 0;
  }
}

// Calls visit(r, g, b) for every pixel in buffer order; false stops the walk.
template <typename Visit>
bool VisitPixels(const InPlaceImage& image, Visit visit) {
  const int width = image.width, height = image.height;
  const std::uint8_t* const bits = image.bits;
  const std::size_t s24 = Stride24(width);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = bits + static_cast<std::size_t>(y) * s24;
    for (int x = 0; x < width; ++x, in += 3) {
      if (!visit(in[2], in[1], in[0])) return false;
    }
  }
  return true;
}

// --- Histogram ------------------------------------------------------------------

constexpr std::uint32_t Key(unsigned r, unsigned g, unsigned b) {
  return (r << 16) | (g << 8) | b;
}

// At most kHistogramColors masked colours, found through kHistogramSlots hash
// slots with upward linear probing. A full table is the signal to coarsen.
class ColorTable {
 public:
  void Reset() {
    slots_.fill(kEmpty);
    size_ = 0;
  }
  int Size() const { return size_; }
  std::uint32_t KeyAt(int e) const { return keys_[static_cast<std::size_t>(e)]; }
  std::uint32_t CountAt(int e) const { return counts_[static_cast<std::size_t>(e)]; }
  void Count(int e, std::uint32_t n) { counts_[static_cast<std::size_t>(e)] += n; }

  // The colour's entry, added when new; -1 when it is new and the table is full.
  int FindOrAdd(unsigned r, unsigned g, unsigned b) {
    const std::uint32_t key = Key(r, g, b);
    int slot = Hash(r, g, b);
    while (slots_[static_cast<std::size_t>(slot)] != kEmpty) {
      const int e = slots_[static_cast<std::size_t>(slot)];
      if (keys_[static_cast<std::size_t>(e)] == key) return e;
      slot = slot + 1 == kHistogramSlots ? 0 : slot + 1;
    }
    if (size_ == kHistogramColors) return -1;
    const int e = size_++;
    slots_[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(e);
    keys_[static_cast<std::size_t>(e)] = key;
    counts_[static_cast<std::size_t>(e)] = 0;
    return e;
  }

  // The entry of a colour known to be present.
  int Find(unsigned r, unsigned g, unsigned b) const {
    const std::uint32_t key = Key(r, g, b);
    int slot = Hash(r, g, b);
    for (;;) {
      const int e = slots_[static_cast<std::size_t>(slot)];
      if (e == kEmpty || keys_[static_cast<std::size_t>(e)] == key) return e;
      slot = slot + 1 == kHistogramSlots ? 0 : slot + 1;
    }
  }

 private:
  static constexpr std::int16_t kEmpty = -1;
  static int Hash(unsigned r, unsigned g, unsigned b) {
    return static_cast<int>(((r + g) * (b + g) * (r + b)) % kHistogramSlots);
  }

  std::array<std::int16_t, kHistogramSlots> slots_{};
  std::array<std::uint32_t, kHistogramColors> keys_{};
  std::array<std::uint32_t, kHistogramColors> counts_{};
  int size_ = 0;
};

// One bit less in one channel mask, rotating so no channel runs far ahead:
// from all 255 the order is blue, red, green, blue, ...
void Coarsen(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
  if (red < green) {
    green = static_cast<std::uint8_t>(green << 1);
  } else if (red > blue) {
    red = static_cast<std::uint8_t>(red << 1);
  } else {
    blue = static_cast<std::uint8_t>(blue << 1);
  }
}

// A run of pixels of one colour within one row, by colour table entry.
struct Run {
  std::uint16_t entry;
  std::uint32_t length;
};

// Counts the masked colours in buffer order; false as soon as one more than
// kHistogramColors turns up. With `runs`, also records the pixels as runs
// while they stay few (pictures with flat areas), so the mapping needs no
// second look at the pixels; `runs` is emptied when they become too many.
bool CountColors(const InPlaceImage& image, std::uint8_t mr, std::uint8_t mg, std::uint8_t mb,
                 ColorTable& table, std::vector<Run>* runs = nullptr) {
  table.Reset();
  const int width = image.width, height = image.height;
  const std::size_t s24 = Stride24(width);
  const std::size_t maxRuns = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) / 4;
  bool recording = runs != nullptr;
  if (recording) runs->clear();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = image.bits + static_cast<std::size_t>(y) * s24;
    // Runs of one colour are counted in a register and added when the colour
    // changes or the row ends.
    std::uint32_t lastKey = 0xFFFFFFFF;
    int entry = -1;
    std::uint32_t run = 0;
    const auto flush = [&] {
      if (entry < 0) return;
      table.Count(entry, run);
      if (!recording) return;
      if (runs->size() == maxRuns) {
        recording = false;
        runs->clear();
        runs->shrink_to_fit();
        return;
      }
      runs->push_back({static_cast<std::uint16_t>(entry), run});
    };
    for (int x = 0; x < width; ++x, in += 3) {
      const unsigned r = in[2] & mr, g = in[1] & mg, b = in[0] & mb;
      const std::uint32_t key = Key(r, g, b);
      if (key == lastKey) {
        ++run;
        continue;
      }
      flush();
      entry = table.FindOrAdd(r, g, b);
      if (entry < 0) return false;
      lastKey = key;
      run = 1;
    }
    flush();
  }
  if (runs != nullptr && !recording) runs->clear();
  return true;
}

// Writes the recorded runs as palette indices, row by row.
void MapRuns(const InPlaceImage& image, const std::vector<Run>& runs,
             const std::vector<std::uint8_t>& indexOf) {
  const std::size_t s8 = Stride8(image.width);
  std::size_t row = 0, x = 0;
  for (const Run& run : runs) {
    std::uint8_t* out = image.bits + row * s8;
    std::memset(out + x, indexOf[run.entry], run.length);
    x += run.length;
    if (x == static_cast<std::size_t>(image.width)) {
      std::memset(out + x, 0, s8 - x);
      ++row;
      x = 0;
    }
  }
}

// Coarsens the masks, in rotation, to the first ones under which the image has
// at most kHistogramColors distinct colours, and returns the number of steps.
// Recounting the pixels after each step would end at the same masks, since a
// count fails only when the colours do not fit; working on the set of distinct
// colours instead costs one pass over the pixels in all.
int CoarsenUntilFitting(const InPlaceImage& image, std::uint8_t& mr, std::uint8_t& mg, std::uint8_t& mb) {
  std::vector<std::uint64_t> seen(std::size_t{1} << 18, 0);  // one bit per 24-bit colour
  const auto testAndSet = [&](std::uint32_t key) {
    std::uint64_t& word = seen[key >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (key & 63);
    const bool was = (word & bit) != 0;
    word |= bit;
    return was;
  };
  std::vector<std::uint32_t> colors;
  VisitPixels(image, [&](unsigned r, unsigned g, unsigned b) {
    const std::uint32_t key = Key(r & mr, g & mg, b & mb);
    if (!testAndSet(key)) colors.push_back(key);
    return true;
  });
  int steps = 0;
  while (colors.size() > static_cast<std::size_t>(kHistogramColors)) {
    Coarsen(mr, mg, mb);
    ++steps;
    for (std::uint32_t key : colors) seen[key >> 6] = 0;
    const std::uint32_t mask = Key(mr, mg, mb);
    std::size_t kept = 0;
    for (std::uint32_t key : colors) {
      const std::uint32_t masked = key & mask;
      if (!testAndSet(masked)) colors[kept++] = masked;
    }
    colors.resize(kept);
  }
  return steps;
}

// The histogram's pixel mapping through the colour table's hash slots.
void MapByHash(const InPlaceImage& image, std::uint8_t mr, std::uint8_t mg, std::uint8_t mb,
               const ColorTable& table, const std::vector<std::uint8_t>& indexOf) {
  std::uint32_t lastKey = 0xFFFFFFFF;
  std::uint8_t lastIndex = 0;
  MapPixels(image, [&](unsigned r, unsigned g, unsigned b, int, int) {
    r &= mr;
    g &= mg;
    b &= mb;
    const std::uint32_t key = Key(r, g, b);
    if (key != lastKey) {
      lastIndex = indexOf[static_cast<std::size_t>(table.Find(r, g, b))];
      lastKey = key;
    }
    return lastIndex;
  });
}

// A direct table over the bits that coarse masks keep (masks are always high
// bits: 255 shifted left).
class CompactIndex {
 public:
  static constexpr int kMaxBits = 18;
  static bool Fits(std::uint8_t mr, std::uint8_t mg, std::uint8_t mb) {
    return std::popcount(mr) + std::popcount(mg) + std::popcount(mb) <= kMaxBits;
  }
  CompactIndex(std::uint8_t mr, std::uint8_t mg, std::uint8_t mb)
      : sr_(8 - std::popcount(mr)),
        sg_(8 - std::popcount(mg)),
        sb_(8 - std::popcount(mb)),
        bitsG_(std::popcount(mg)),
        bitsB_(std::popcount(mb)),
        mr_(mr),
        mg_(mg),
        mb_(mb),
        entry_(std::size_t{1} << (std::popcount(mr) + bitsG_ + bitsB_), 0) {}

  // Counts like CountColors, which it must match entry for entry.
  void Count(const InPlaceImage& image, ColorTable& table) {
    table.Reset();
    VisitPixels(image, [&](unsigned r, unsigned g, unsigned b) {
      std::uint16_t& e = entry_[Slot(r, g, b)];
      if (e == 0) e = static_cast<std::uint16_t>(table.FindOrAdd(r & mr_, g & mg_, b & mb_) + 1);
      table.Count(e - 1, 1);
      return true;
    });
  }
  void Map(const InPlaceImage& image, const std::vector<std::uint8_t>& indexOf) {
    std::vector<std::uint8_t> index(entry_.size(), 0);
    for (std::size_t i = 0; i < entry_.size(); ++i) {
      if (entry_[i] != 0) index[i] = indexOf[entry_[i] - 1u];
    }
    MapPixels(image, [&](unsigned r, unsigned g, unsigned b, int, int) { return index[Slot(r, g, b)]; });
  }

 private:
  std::size_t Slot(unsigned r, unsigned g, unsigned b) const {
    return (static_cast<std::size_t>(r >> sr_) << (bitsG_ + bitsB_)) |
           (static_cast<std::size_t>(g >> sg_) << bitsB_) | (b >> sb_);
  }
  int sr_, sg_, sb_, bitsG_, bitsB_;
  std::uint8_t mr_, mg_, mb_;
  std::vector<std::uint16_t> entry_;  // colour table entry + 1; 0 = not seen
};

int SquaredDistance(const TPaletteEntry& a, std::uint32_t key) {
  const int dr = a.Red - static_cast<int>((key >> 16) & 0xFF);
  const int dg = a.Green - static_cast<int>((key >> 8) & 0xFF);
  const int db = a.Blue - static_cast<int>(key & 0xFF);
  return dr * dr + dg * dg + db * db;
}

// --- Median cut -----------------------------------------------------------------

constexpr int CellValue(std::uint16_t cell, int channel) {
  return channel == 0 ? cell >> 8 : channel == 1 ? (cell >> 4) & 15 : cell & 15;
}

constexpr std::uint16_t CellOf(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint16_t>(((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4));
}

constexpr int kInsertionRun = 8;

void InsertionSort(std::uint16_t* cells, int lo, int hi, int channel) {
  for (int i = lo + 1; i <= hi; ++i) {
    const std::uint16_t cell = cells[i];
    const int v = CellValue(cell, channel);
    int j = i - 1;
    while (j >= lo && CellValue(cells[j], channel) > v) {
      cells[j + 1] = cells[j];
      --j;
    }
    cells[j + 1] = cell;
  }
}

void QuickSort(std::uint16_t* cells, int lo, int hi, int channel) {
  while (hi - lo + 1 >= kInsertionRun) {
    const int pivot = CellValue(cells[lo + (hi - lo) / 2], channel);
    int i = lo, j = hi;
    do {
      while (CellValue(cells[i], channel) < pivot) ++i;
      while (CellValue(cells[j], channel) > pivot) --j;
      if (i <= j) {
        std::swap(cells[i], cells[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    // The parts are disjoint, so sorting the smaller one first changes no
    // result and keeps the recursion shallow.
    if (j - lo < hi - i) {
      QuickSort(cells, lo, j, channel);
      lo = i;
    } else {
      QuickSort(cells, i, hi, channel);
      hi = j;
    }
  }
  InsertionSort(cells, lo, hi, channel);
}

struct Box {
  std::array<int, 3> lower{0, 0, 0};
  std::array<int, 3> extent{255, 255, 255};
  int first = 0;  // into the shared cell array
  int cells = 0;
  std::uint64_t pixels = 0;
};

}  // namespace

const std::array<std::uint8_t, 4> kLevels4 = kL4;
const std::array<std::uint8_t, 6> kLevels6 = kL6;
const std::array<std::uint8_t, 7> kLevels7 = kL7;
const std::array<std::uint8_t, 8> kLevels8 = kL8;

int NearestLevel4(std::uint8_t value) {
  return kNearest4[value];
}
int NearestLevel6(std::uint8_t value) {
  return kNearest6[value];
}
int NearestLevel7(std::uint8_t value) {
  return kNearest7[value];
}
int NearestLevel8(std::uint8_t value) {
  return kNearest8[value];
}

Reduction Histogram(const InPlaceImage& image, HistogramInfo* info) {
  auto table = std::make_unique<ColorTable>();
  std::uint8_t mr = 255, mg = 255, mb = 255;
  int passes = 1;
  std::unique_ptr<CompactIndex> compact;
  std::vector<Run> runs;
  if (!CountColors(image, mr, mg, mb, *table, &runs)) {
    runs.clear();
    passes += CoarsenUntilFitting(image, mr, mg, mb);
    // Coarse masks leave few bits: a direct table then finds each pixel's
    // colour without hashing. The colour table is filled in the same order.
    if (CompactIndex::Fits(mr, mg, mb)) {
      compact = std::make_unique<CompactIndex>(mr, mg, mb);
      compact->Count(image, *table);
    } else {
      CountColors(image, mr, mg, mb, *table);  // fits by construction
    }
  }

  // The most frequent colours become the palette; std::stable_sort keeps table
  // order among equal counts.
  const int n = table->Size();
  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return table->CountAt(a) > table->CountAt(b); });
  Reduction result;
  result.palette.fill(kGreyFiller);
  std::vector<std::uint8_t> indexOf(static_cast<std::size_t>(n), 0);
  const int chosen = std::min(n, 256);
  for (int i = 0; i < chosen; ++i) {
    const std::uint32_t key = table->KeyAt(order[static_cast<std::size_t>(i)]);
    result.palette[static_cast<std::size_t>(i)] =
        TPaletteEntry{static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 8),
                      static_cast<std::uint8_t>(key)};
    indexOf[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = static_cast<std::uint8_t>(i);
  }
  for (int i = chosen; i < n; ++i) {
    const int e = order[static_cast<std::size_t>(i)];
    const std::uint32_t key = table->KeyAt(e);
    int best = 0, bestD = INT_MAX;
    for (int p = 0; p < 256; ++p) {
      const int d = SquaredDistance(result.palette[static_cast<std::size_t>(p)], key);
      if (d < bestD) {
        bestD = d;
        best = p;
      }
    }
    indexOf[static_cast<std::size_t>(e)] = static_cast<std::uint8_t>(best);
  }

  if (!runs.empty()) {
    MapRuns(image, runs, indexOf);
  } else if (compact) {
    compact->Map(image, indexOf);
  } else {
    MapByHash(image, mr, mg, mb, *table, indexOf);
  }

  if (info != nullptr) {
    info->redMask = mr;
    info->greenMask = mg;
    info->blueMask = mb;
    info->distinctColors = n;
    info->passes = passes;
  }
  return result;
}

void SortCells(std::uint16_t* cells, int count, int channel) {
  if (count > 1) QuickSort(cells, 0, count - 1, channel);
}

Reduction MedianCut(const InPlaceImage& image) {
  // Four interleaved tallies keep neighbouring pixels of one cell from waiting
  // on each other's increments; they are summed afterwards.
  std::vector<std::uint32_t> tallies(4 * kMedianCells, 0);
  unsigned lane = 0;
  VisitPixels(image, [&](unsigned r, unsigned g, unsigned b) {
    ++tallies[lane * kMedianCells + CellOf(r, g, b)];
    lane = (lane + 1) & 3;
    return true;
  });
  std::vector<std::uint32_t> counts(kMedianCells, 0);
  for (std::size_t c = 0; c < kMedianCells; ++c) {
    counts[c] = tallies[c] + tallies[kMedianCells + c] + tallies[2 * kMedianCells + c] +
                tallies[3 * kMedianCells + c];
  }

  std::array<std::uint16_t, kMedianCells> cells{};
  int occupied = 0;
  for (int c = 0; c < kMedianCells; ++c) {
    if (counts[static_cast<std::size_t>(c)] != 0)
      cells[static_cast<std::size_t>(occupied++)] = static_cast<std::uint16_t>(c);
  }
  std::vector<Box> boxes;
  boxes.reserve(kMaxBoxes);
  Box all;
  all.cells = occupied;
  all.pixels = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
  boxes.push_back(all);

  while (boxes.size() < static_cast<std::size_t>(kMaxBoxes)) {
    int chosen = -1, channel = 0, widest = INT_MIN;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].cells <= 1) continue;
      for (int ch = 0; ch < 3; ++ch) {
        if (boxes[i].extent[static_cast<std::size_t>(ch)] > widest) {
          widest = boxes[i].extent[static_cast<std::size_t>(ch)];
          chosen = static_cast<int>(i);
          channel = ch;
        }
      }
    }
    if (chosen < 0) break;
    Box& box = boxes[static_cast<std::size_t>(chosen)];
    std::uint16_t* list = cells.data() + box.first;
    SortCells(list, box.cells, channel);

    const std::uint64_t half = box.pixels / 2;
    std::uint64_t taken = counts[list[0]];
    int k = 1;
    while (k < box.cells - 1 && taken + counts[list[k]] <= half) {
      taken += counts[list[k]];
      ++k;
    }
    Box split = box;
    split.first = box.first + k;
    split.cells = box.cells - k;
    split.pixels = box.pixels - taken;
    const auto ch = static_cast<std::size_t>(channel);
    split.lower[ch] = 16 * CellValue(list[k], channel);
    split.extent[ch] = (box.lower[ch] + box.extent[ch]) - split.lower[ch];
    box.extent[ch] = 16 * CellValue(list[k - 1], channel) - box.lower[ch];
    box.cells = k;
    box.pixels = taken;
    boxes.push_back(split);  // `box` is not used past this point
  }

  Reduction result;
  result.palette.fill(kBlack);
  std::vector<std::uint8_t> boxOf(kMedianCells, 0);
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    const Box& box = boxes[k];
    std::array<int, 3> sum{0, 0, 0};
    for (int i = 0; i < box.cells; ++i) {
      const std::uint16_t cell = cells[static_cast<std::size_t>(box.first + i)];
      boxOf[cell] = static_cast<std::uint8_t>(k);
      for (int c = 0; c < 3; ++c) sum[static_cast<std::size_t>(c)] += CellValue(cell, c);
    }
    if (box.cells == 0) continue;  // only an image without pixels has such a box
    std::array<int, 3> mean{};
    for (std::size_t c = 0; c < 3; ++c) mean[c] = (16 * sum[c] + 15) / box.cells;
    if (mean[0] <= 16 && mean[1] <= 16 && mean[2] <= 16) continue;  // stays black
    result.palette[k] = TPaletteEntry{static_cast<std::uint8_t>(mean[0]), static_cast<std::uint8_t>(mean[1]),
                                      static_cast<std::uint8_t>(mean[2])};
  }
  result.importantColors = static_cast<std::uint32_t>(boxes.size());

  MapPixels(image, [&](unsigned r, unsigned g, unsigned b, int, int) { return boxOf[CellOf(r, g, b)]; });
  return result;
}

Reduction Fixed224(const InPlaceImage& image) {
  Reduction result;
  result.palette.fill(kGreyFiller);
  for (std::size_t r = 0; r < kL7.size(); ++r)
    for (std::size_t g = 0; g < kL8.size(); ++g)
      for (std::size_t b = 0; b < kL4.size(); ++b)
        result.palette[r * 32 + g * 4 + b] = {kL7[r], kL8[g], kL4[b]};
  result.importantColors = 224;
  std::array<std::uint8_t, 256> red{}, green{}, blue{};
  for (int v = 0; v < 256; ++v) {
    red[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(kNearest7[static_cast<std::size_t>(v)] * 32);
    green[static_cast<std::size_t>(v)] =
        static_cast<std::uint8_t>(kNearest8[static_cast<std::size_t>(v)] * 4);
    blue[static_cast<std::size_t>(v)] = kNearest4[static_cast<std::size_t>(v)];
  }
  MapPixels(image, [&](unsigned r, unsigned g, unsigned b, int, int) {
    return static_cast<std::uint8_t>(red[r] + green[g] + blue[b]);
  });
  return result;
}

Reduction Fixed216(const InPlaceImage& image) {
  Reduction result;
  result.palette.fill(kGreyFiller);
  for (std::size_t r = 0; r < 6; ++r)
    for (std::size_t g = 0; g < 6; ++g)
      for (std::size_t b = 0; b < 6; ++b) result.palette[r * 36 + g * 6 + b] = {kL6[r], kL6[g], kL6[b]};
  result.importantColors = 216;
  std::array<std::uint8_t, 256> red{}, green{}, blue{};
  for (int v = 0; v < 256; ++v) {
    const int level = kNearest6[static_cast<std::size_t>(v)];
    red[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(level * 36);
    green[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(level * 6);
    blue[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(level);
  }
  MapPixels(image, [&](unsigned r, unsigned g, unsigned b, int, int) {
    return static_cast<std::uint8_t>(red[r] + green[g] + blue[b]);
  });
  return result;
}

Reduction Triplet(const InPlaceImage& image) {
  Reduction result;
  result.palette.fill(kBlack);
  for (int i = 0; i < 64; ++i) {
    const auto v = static_cast<std::uint8_t>(4 * i);
    result.palette[static_cast<std::size_t>(i)] = {v, 0, 0};
    result.palette[static_cast<std::size_t>(64 + i)] = {0, v, 0};
    result.palette[static_cast<std::size_t>(128 + i)] = {0, 0, v};
  }
  MapPixels(image, [](unsigned r, unsigned g, unsigned b, int x, int y) {
    switch ((x + y) % 3) {
      case 0: return static_cast<std::uint8_t>(r / 4);
      case 1: return static_cast<std::uint8_t>(64 + g / 4);
      default: return static_cast<std::uint8_t>(128 + b / 4);
    }
  });
  return result;
}

Reduction Grey(const InPlaceImage& image) {
  Reduction result;
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    result.palette[static_cast<std::size_t>(i)] = {v, v, v};
  }
  MapPixels(image, [](unsigned r, unsigned g, unsigned b, int, int) {
    return static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b) / 256);
  });
  return result;
}

bool Apply(std::uint8_t method, const InPlaceImage& image, Reduction& result) {
  switch (method) {
    case 0: result = Histogram(image); return true;
    case 1: result = MedianCut(image); return true;
    case 2: result = Fixed224(image); return true;
    case 3: result = Fixed216(image); return true;
    case 4: result = Triplet(image); return true;
    case 5: result = Grey(image); return true;
    default: return false;
  }
}

}  // namespace qv::quantize
