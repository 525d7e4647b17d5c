// The six 8-bit reduction methods on a 24-bit buffer, exposed for the tests and
// the benchmark. Each method reads the buffer (bottom row first, blue, green,
// red, rows padded to 4 bytes) and writes the 8-bit palette indices over its
// start, row by row with 8-bit row padding, which is safe because an 8-bit row
// never outruns the 24-bit row it replaces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "toolkit/Bitmap.h"

namespace qv::quantize {

using Palette256 = std::array<TPaletteEntry, 256>;

struct Reduction {
  Palette256 palette{};
  // Non-zero when the method knows how many entries matter (the info header's
  // important-colours field).
  std::uint32_t importantColors = 0;
};

// A 24-bit buffer reduced in place.
struct InPlaceImage {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
};

// --- The fixed level tables: nearest level of each byte value, the lower one
// on ties. Built at compile time, so once for the whole process.
int NearestLevel4(std::uint8_t value);
int NearestLevel6(std::uint8_t value);
int NearestLevel7(std::uint8_t value);
int NearestLevel8(std::uint8_t value);
extern const std::array<std::uint8_t, 4> kLevels4;
extern const std::array<std::uint8_t, 6> kLevels6;
extern const std::array<std::uint8_t, 7> kLevels7;
extern const std::array<std::uint8_t, 8> kLevels8;

// --- Histogram (popularity).
constexpr int kHistogramColors = 2049;
constexpr int kHistogramSlots = 5191;
struct HistogramInfo {
  std::uint8_t redMask = 255, greenMask = 255, blueMask = 255;  // as finally used
  int distinctColors = 0;                                       // after masking
  int passes = 0;                                               // counting passes made
};
Reduction Histogram(const InPlaceImage& image, HistogramInfo* info = nullptr);

// --- Median cut over 4096 cells of 4 bits per channel.
constexpr int kMedianCells = 4096;
constexpr int kMaxBoxes = 256;
Reduction MedianCut(const InPlaceImage& image);
// The cell sort on its own: orders `cells` by their 4-bit value of `channel`
// (0 red, 1 green, 2 blue): quicksort around the middle element's value, runs
// of fewer than 8 cells by insertion sort.
void SortCells(std::uint16_t* cells, int count, int channel);

// --- Fixed cubes, channel triplet and grey.
Reduction Fixed224(const InPlaceImage& image);
Reduction Fixed216(const InPlaceImage& image);
Reduction Triplet(const InPlaceImage& image);
Reduction Grey(const InPlaceImage& image);

// Runs the method by its code; false for a code without a method.
bool Apply(std::uint8_t method, const InPlaceImage& image, Reduction& result);

// Byte counts of one stored row.
constexpr std::size_t Stride24(int width) {
  return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}
constexpr std::size_t Stride8(int width) {
  return (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
}

}  // namespace qv::quantize
