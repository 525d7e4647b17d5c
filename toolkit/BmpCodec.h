// The BMP file form (device-independent bitmap file) read into and written from
// TDibImage. Reading takes the 12-byte core header and the 40/52/56/108/124-byte
// info headers, bottom-up and top-down rows, 1/4/8/16/24/32 bits per pixel,
// uncompressed, bit-field, RLE8 and RLE4 data. Writing produces the 40-byte
// header, no compression, the full colour table for indexed formats.
//
// Every size a file announces is checked against the bytes really present and
// against kMaxBitmapSide / kMaxBitmapBytes before anything is allocated.
// Malformed input raises EInvalidGraphic "Bitmap image is not valid"; an image
// beyond the limits raises EInvalidGraphicOperation.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <vector>

#include "toolkit/Bitmap.h"

namespace qv {

class TBmpCodec {
 public:
  // Pulls one BMP file from the stream's current position: the headers, then as
  // many bytes as the headers say the pixels take (to the end of the stream when
  // a compressed file does not say). A stream already at its end gives no bytes.
  static std::vector<std::uint8_t> ReadFileBytes(std::istream& in);

  // Decodes a whole file; no bytes at all give an empty image.
  static TDibImage Decode(std::span<const std::uint8_t> file);

  // The file form of `bitmap`; an empty bitmap gives no bytes.
  static std::vector<std::uint8_t> Encode(const TBitmap& bitmap);
  static void Write(const TBitmap& bitmap, std::ostream& out);
};

}  // namespace qv
