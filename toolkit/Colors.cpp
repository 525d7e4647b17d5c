#include "toolkit/Colors.h"

#include <array>
#include <atomic>

namespace qv {

namespace {

// The classic grey desktop scheme: what the skinned controls were designed against.
constexpr std::array<TColor, kSystemColorCount> kDefaultScheme = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop background
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application work space
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3-D dark shadow
    RGB(223, 223, 223),  // 3-D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(181, 181, 181),  // (unused slot)
    RGB(0, 0, 255),      // hot-tracked item
    RGB(16, 132, 208),   // gradient of the active caption
    RGB(181, 181, 181),  // gradient of the inactive caption
    RGB(49, 106, 197),   // menu highlight
    RGB(236, 233, 216),  // menu bar
};

// Atomics because a worker thread may resolve a colour while the GUI thread
// installs the scheme at start-up.
struct SchemeTable {
  SchemeTable() {
    for (int i = 0; i < kSystemColorCount; ++i) entries[i].store(kDefaultScheme[i]);
  }
  std::array<std::atomic<TColor>, kSystemColorCount> entries;
};

std::array<std::atomic<TColor>, kSystemColorCount>& Scheme() {
  static SchemeTable table;
  return table.entries;
}

}  // namespace

TColor ColorToRGB(TColor color) {
  if (!IsSystemColor(color)) return color;
  const TColor index = color & 0xFF;
  if ((color & ~(kSystemColorFlag | 0xFF)) != 0 || index >= kSystemColorCount) return clBlack;
  return Scheme()[index].load(std::memory_order_relaxed);
}

void SetSystemColor(int index, TColor rgb) {
  if (index < 0 || index >= kSystemColorCount) return;
  Scheme()[index].store(rgb & 0xFFFFFF, std::memory_order_relaxed);
}

void ResetSystemColors() {
  for (int i = 0; i < kSystemColorCount; ++i) Scheme()[i].store(kDefaultScheme[i]);
}

}  // namespace qv
