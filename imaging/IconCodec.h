// The icon and cursor file forms (ICO, CUR): a 6-byte header, a directory of
// 16-byte entries and the images, each either a BMP-coded colour image followed
// by a 1-bit AND mask, or a complete PNG file.
//
// Every size a file announces is checked against the bytes present before
// anything is allocated. Icon images are at most kMaxIconSide pixels a side
// (the largest size the directory can record) and kMaxIconImageBytes long.
// Malformed input raises EInvalidGraphic "Icon image is not valid"; an image
// beyond the limits raises EInvalidGraphicOperation.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Types.h"

namespace qv {

constexpr int kMaxIconSide = 256;
constexpr std::size_t kMaxIconImageBytes = std::size_t{4} << 20;

// Resource types of the file header.
constexpr std::uint16_t kIconResource = 1;
constexpr std::uint16_t kCursorResource = 2;

// One directory entry as stored.
struct TIconDirEntry {
  int width = 0;   // 0 stands for 256
  int height = 0;  // 0 stands for 256
  int colorCount = 0;
  std::uint16_t planesOrHotX = 0;    // cursors: hot spot x
  std::uint16_t bitCountOrHotY = 0;  // cursors: hot spot y
  std::uint32_t bytes = 0;
  std::uint32_t offset = 0;
};

struct TDecodedIcon {
  std::uint16_t resourceType = 0;
  std::vector<TIconDirEntry> entries;
  int selected = -1;  // the entry shown
  int bitCount = 0;   // of the selected image (32 for PNG)
  bool png = false;
  TPoint hotSpot;  // cursors only; (0, 0) for icons
  // The colours with their coverage: 0 = transparent, 255 = opaque.
  TDibImage pixels;  // pf32bit, blue, green, red, alpha
  // Pixels that invert what lies below (mask bit set over a non-black colour):
  // those colours, black elsewhere. Empty when the image has none.
  TDibImage inversion;  // pf24bit
};

class TIconCodec {
 public:
  // Pulls one icon file from the stream: the header, the directory and as many
  // bytes as its entries reach; never more than the stream really holds.
  static std::vector<std::uint8_t> ReadFileBytes(std::istream& in);

  // Parses the directory, picks the image nearest to 32 x 32 pixels (deepest
  // colours among equals) and decodes it.
  static TDecodedIcon Decode(std::span<const std::uint8_t> file);

  // Only the header and directory; raises like Decode.
  static std::vector<TIconDirEntry> ReadDirectory(std::span<const std::uint8_t> file,
                                                  std::uint16_t* resourceType = nullptr);
};

// An icon file holding `bitmap` as one opaque 32-bit image (at most
// kMaxIconSide a side, else EInvalidGraphicOperation).
std::vector<std::uint8_t> EncodeIconFile(const TBitmap& bitmap);

}  // namespace qv
