// Colour quantisation: any bitmap to a palette bitmap of 1, 4 or 8 bits per
// pixel, delivered as a complete BMP file in memory. The 8-bit case offers six
// reduction methods; the GIF writer and the animated cursor strip use them.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/Bitmap.h"

namespace qv {

// How a true-colour image becomes 256 colours.
enum TReductionMethod : std::uint8_t {
  rmHistogram = 0,  // the most frequent colours after coarsening
  rmMedianCut = 1,  // boxes split at the pixel median over 4096 cells
  rmFixed224 = 2,   // 7 x 8 x 4 levels of red, green and blue
  rmFixed216 = 3,   // 6 x 6 x 6 levels
  rmTriplet = 4,    // each pixel keeps one channel, by position
  rmGrey = 5,       // 256 grey levels
};

// Target depth codes of ReduceBitmap.
enum TReductionTarget : int {
  rt1Bit = 1,
  rt4Bit = 2,
  rt8Bit = 3,
  rt24Bit = 4,
};

// The number of colours a target code stands for: 2, 16 or 256; 0 for any
// other code (24 bits included).
int ColorsForTarget(int target);

// The method ReduceColors uses; the process starts with rmHistogram.
TReductionMethod DefaultReduction();
void SetDefaultReduction(TReductionMethod method);

// The bitmap as a BMP file (14-byte file header, 40-byte info header, colour
// table, bottom-up rows) at the target depth.
// - A missing or empty bitmap raises EInvalidGraphic "Bitmap image is not valid".
// - A bitmap already at the target depth is written as it is, unless the grey
//   method is asked for.
// - An unknown target code or method shows "Function not yet implemented" and
//   raises EAbort.
// - 1 and 4 bits map every pixel to the nearest entry of the bitmap's own
//   colour table when it fits, else of the format's default table; the method
//   plays no part.
// - 8 bits apply the method to the 24-bit form of the bitmap.
// - 24 bits convert the pixels as they are.
std::vector<std::uint8_t> ReduceBitmap(const TBitmap* bitmap, int target, TReductionMethod method);

// Reloads the bitmap reduced to at most `colors` colours with DefaultReduction:
// 1 bit up to 2 colours, 4 bits up to 16, 8 bits up to 256, 24 bits above.
// Nothing happens for a null bitmap or a count of 0 or less.
void ReduceColors(TBitmap* bitmap, int colors);

}  // namespace qv
