#include "imaging/IconCodec.h"
#include "toolkit/LittleEndian.h"
#include "toolkit/StreamBytes.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <istream>

#include "imaging/PngDecode.h"
#include "toolkit/BmpCodec.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr char kInvalidIcon[] = "Icon image is not valid";
constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::array<std::uint32_t, 5> kInfoHeaderSizes = {40, 52, 56, 108, 124};
constexpr std::array<int, 6> kBitCounts = {1, 4, 8, 16, 24, 32};
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::size_t kMaskBlockSize = 12;
constexpr int kPreferredSide = 32;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(kInvalidIcon);
}

std::uint16_t Le16(std::span<const std::uint8_t> d, std::size_t at) {
  return ReadLe16(d, at, Invalid);
}
std::uint32_t Le32(std::span<const std::uint8_t> d, std::size_t at) {
  return ReadLe32(d, at, Invalid);
}

// Where the parts of a BMP-coded icon image lie, all relative to its start.
struct BmpLayout {
  std::uint32_t headerSize = 0;
  int width = 0;
  int height = 0;  // of the colour image: half the stored height
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::size_t paletteEntries = 0;
  std::size_t xorOffset = 0;
  std::size_t xorBytes = 0;
  std::size_t andBytes = 0;
  bool hasMask = false;
};

// Reads and checks the info header; false when it is not a usable image.
bool ParseBmpLayout(std::span<const std::uint8_t> image, BmpLayout& l) {
  if (image.size() < kInfoHeaderSize) return false;
  l.headerSize = Le32(image, 0);
  if (std::find(kInfoHeaderSizes.begin(), kInfoHeaderSizes.end(), l.headerSize) == kInfoHeaderSizes.end() ||
      image.size() < l.headerSize) {
    return false;
  }
  const auto width = static_cast<std::int32_t>(Le32(image, 4));
  const auto storedHeight = static_cast<std::int32_t>(Le32(image, 8));
  l.bitCount = Le16(image, 14);
  l.compression = Le32(image, 16);
  const std::uint32_t colorsUsed = Le32(image, 32);
  // The stored height covers the colour image and the mask below it.
  if (width <= 0 || storedHeight <= 0 || storedHeight % 2 != 0) return false;
  l.width = width;
  l.height = storedHeight / 2;
  if (std::find(kBitCounts.begin(), kBitCounts.end(), l.bitCount) == kBitCounts.end()) return false;
  if (l.compression != kBiRgb && !(l.compression == kBiBitfields && (l.bitCount == 16 || l.bitCount == 32))) {
    return false;
  }
  if (l.width > kMaxIconSide || l.height > kMaxIconSide) {
    throw EInvalidGraphicOperation(
        Format("Icon image of %d x %d pixels is beyond the limit of %d pixels a side", l.width, l.height,
               kMaxIconSide));
  }
  const std::size_t capacity = l.bitCount <= 8 ? (std::size_t{1} << l.bitCount) : 256;
  if (colorsUsed > capacity) return false;
  l.paletteEntries = colorsUsed != 0 ? colorsUsed : (l.bitCount <= 8 ? capacity : 0);
  const std::size_t masks =
      (l.compression == kBiBitfields && l.headerSize == kInfoHeaderSize) ? kMaskBlockSize : 0;
  l.xorOffset = l.headerSize + masks + l.paletteEntries * 4;
  l.xorBytes = DibRowStride(l.width, l.bitCount) * static_cast<std::size_t>(l.height);
  l.andBytes = DibRowStride(l.width, 1) * static_cast<std::size_t>(l.height);
  if (image.size() < l.xorOffset || image.size() - l.xorOffset < l.xorBytes) return false;
  l.hasMask = image.size() - l.xorOffset - l.xorBytes >= l.andBytes;
  // Only images with an alpha channel may do without the mask.
  return l.hasMask || l.bitCount == 32;
}

std::span<const std::uint8_t> EntryData(std::span<const std::uint8_t> file, const TIconDirEntry& e) {
  if (e.offset > file.size() || file.size() - e.offset < e.bytes) return {};
  return file.subspan(e.offset, e.bytes);
}

struct Probe {
  bool usable = false;
  bool png = false;
  int width = 0, height = 0, bitCount = 0;
};

Probe ProbeEntry(std::span<const std::uint8_t> image) {
  Probe p;
  if (image.empty()) return p;
  if (png::HasSignature(image)) {
    p.png = true;
    p.bitCount = 32;
    p.usable = png::ReadSize(image, p.width, p.height) && p.width > 0 && p.height > 0;
    return p;
  }
  BmpLayout l;
  try {
    p.usable = ParseBmpLayout(image, l);
  } catch (const EInvalidGraphicOperation&) {
    p.usable = false;  // too large to show; another entry may do
  }
  p.width = l.width;
  p.height = l.height;
  p.bitCount = l.bitCount;
  return p;
}

// The colour image through the BMP decoder: the info header with the colour
// image's own height, behind a file header that points at its pixels.
void DecodeColors(std::span<const std::uint8_t> image, const BmpLayout& l, TBitmap& colors) {
  const std::size_t length = l.xorOffset + l.xorBytes;
  std::vector<std::uint8_t> file(kBmpFileHeaderSize + length, 0);
  file[0] = 'B';
  file[1] = 'M';
  StoreLe32(file.data() + 2, static_cast<std::uint32_t>(file.size()));
  StoreLe32(file.data() + 10, static_cast<std::uint32_t>(kBmpFileHeaderSize + l.xorOffset));
  std::memcpy(file.data() + kBmpFileHeaderSize, image.data(), length);
  std::uint8_t* info = file.data() + kBmpFileHeaderSize;
  StoreLe32(info + 8, static_cast<std::uint32_t>(l.height));
  StoreLe32(info + 20, 0);  // image size: implied
  StoreLe32(info + 32, static_cast<std::uint32_t>(l.paletteEntries));
  try {
    colors.SetImage(TBmpCodec::Decode(file));
  } catch (const EInvalidGraphic&) {
    Invalid();
  }
}

void DecodeBmpImage(std::span<const std::uint8_t> image, TDecodedIcon& out) {
  BmpLayout l;
  if (!ParseBmpLayout(image, l)) Invalid();
  TBitmap colors;
  DecodeColors(image, l, colors);
  const int w = l.width, h = l.height;
  CheckBitmapLimits(w, h, pf32bit);

  // A 32-bit image carries its own coverage unless every alpha byte is 0, as
  // in files written before alpha channels were used.
  bool useAlpha = false;
  if (l.bitCount == 32) {
    const std::uint8_t* bits = colors.Bits();
    for (std::size_t i = 3; i < colors.RowStride() * static_cast<std::size_t>(h); i += 4) {
      if (bits[i] != 0) {
        useAlpha = true;
        break;
      }
    }
  }
  const std::uint8_t* mask = l.hasMask ? image.data() + l.xorOffset + l.xorBytes : nullptr;
  const std::size_t maskStride = DibRowStride(w, 1);

  out.pixels = TDibImage{
      w, h, pf32bit, {}, std::vector<std::uint8_t>(DibRowStride(w, 32) * static_cast<std::size_t>(h))};
  TDibImage inversion{
      w, h, pf24bit, {}, std::vector<std::uint8_t>(DibRowStride(w, 24) * static_cast<std::size_t>(h), 0)};
  bool inverts = false;
  for (int row = 0; row < h; ++row) {  // stored order: bottom row first
    const int y = h - 1 - row;
    std::uint8_t* dst = out.pixels.bits.data() + static_cast<std::size_t>(row) * DibRowStride(w, 32);
    for (int x = 0; x < w; ++x, dst += 4) {
      const TColor c = colors.PixelRGB(x, y);
      dst[0] = GetBValue(c);
      dst[1] = GetGValue(c);
      dst[2] = GetRValue(c);
      if (useAlpha) {
        dst[3] = colors.Bits()[static_cast<std::size_t>(row) * colors.RowStride() +
                               static_cast<std::size_t>(x) * 4 + 3];
        continue;
      }
      const bool masked =
          mask != nullptr &&
          ((mask[static_cast<std::size_t>(row) * maskStride + static_cast<std::size_t>(x / 8)] >>
            (7 - x % 8)) &
           1) != 0;
      dst[3] = masked ? 0 : 255;
      if (masked && c != clBlack) {
        std::uint8_t* inv = inversion.bits.data() + static_cast<std::size_t>(row) * DibRowStride(w, 24) +
                            static_cast<std::size_t>(x) * 3;
        inv[0] = dst[0];
        inv[1] = dst[1];
        inv[2] = dst[2];
        inverts = true;
      }
    }
  }
  if (inverts) out.inversion = std::move(inversion);
  out.bitCount = l.bitCount;
}

}  // namespace

std::vector<TIconDirEntry> TIconCodec::ReadDirectory(std::span<const std::uint8_t> file,
                                                     std::uint16_t* resourceType) {
  if (file.size() < kHeaderSize) Invalid();
  const std::uint16_t type = Le16(file, 2);
  const std::uint16_t count = Le16(file, 4);
  if ((type != kIconResource && type != kCursorResource) || count == 0) Invalid();
  if ((file.size() - kHeaderSize) / kEntrySize < count) Invalid();
  std::vector<TIconDirEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + i * kEntrySize;
    TIconDirEntry& e = entries[i];
    e.width = file[at];
    e.height = file[at + 1];
    e.colorCount = file[at + 2];
    e.planesOrHotX = Le16(file, at + 4);
    e.bitCountOrHotY = Le16(file, at + 6);
    e.bytes = Le32(file, at + 8);
    e.offset = Le32(file, at + 12);
  }
  if (resourceType != nullptr) *resourceType = type;
  return entries;
}

std::vector<std::uint8_t> TIconCodec::ReadFileBytes(std::istream& in) {
  std::vector<std::uint8_t> bytes;
  if (!ReadUpTo(in, bytes, kHeaderSize)) Invalid();
  const std::uint16_t count = Le16(bytes, 4);
  if (!ReadUpTo(in, bytes, kHeaderSize + count * kEntrySize)) Invalid();
  const std::vector<TIconDirEntry> entries = ReadDirectory(bytes);
  std::size_t end = bytes.size();
  for (const TIconDirEntry& e : entries) {
    if (e.bytes > kMaxIconImageBytes) {
      throw EInvalidGraphicOperation(Format("Icon image of %u bytes is beyond the limit of %d MB", e.bytes,
                                            static_cast<int>(kMaxIconImageBytes >> 20)));
    }
    end = std::max(end, static_cast<std::size_t>(e.offset) + e.bytes);
  }
  if (end > kMaxBitmapBytes) {
    throw EInvalidGraphicOperation(
        Format("Icon file is beyond the limit of %d MB", static_cast<int>(kMaxBitmapBytes >> 20)));
  }
  ReadUpTo(in, bytes, end);  // entries cut short are rejected by Decode when chosen
  return bytes;
}

TDecodedIcon TIconCodec::Decode(std::span<const std::uint8_t> file) {
  TDecodedIcon out;
  out.entries = ReadDirectory(file, &out.resourceType);

  int best = -1, bestDistance = 0, bestBits = 0;
  for (std::size_t i = 0; i < out.entries.size(); ++i) {
    const TIconDirEntry& e = out.entries[i];
    if (e.bytes > kMaxIconImageBytes) continue;
    const Probe p = ProbeEntry(EntryData(file, e));
    if (!p.usable || p.width > kMaxIconSide || p.height > kMaxIconSide) continue;
    const int distance = std::abs(p.width - kPreferredSide) + std::abs(p.height - kPreferredSide);
    if (best < 0 || distance < bestDistance || (distance == bestDistance && p.bitCount > bestBits)) {
      best = static_cast<int>(i);
      bestDistance = distance;
      bestBits = p.bitCount;
    }
  }
  if (best < 0) Invalid();
  out.selected = best;
  const TIconDirEntry& chosen = out.entries[static_cast<std::size_t>(best)];
  const std::span<const std::uint8_t> image = EntryData(file, chosen);
  if (png::HasSignature(image)) {
    out.pixels = png::Decode(image, kMaxIconSide, kInvalidIcon);
    out.png = true;
    out.bitCount = 32;
  } else {
    DecodeBmpImage(image, out);
  }
  if (out.resourceType == kCursorResource) {
    out.hotSpot = Point(chosen.planesOrHotX, chosen.bitCountOrHotY);
  }
  return out;
}

std::vector<std::uint8_t> EncodeIconFile(const TBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  if (w <= 0 || h <= 0 || w > kMaxIconSide || h > kMaxIconSide) {
    throw EInvalidGraphicOperation("Icon image is not valid");
  }
  const std::size_t maskStride = ((static_cast<std::size_t>(w) + 31) / 32) * 4;
  const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
  const std::size_t image = 40 + pixels + maskStride * static_cast<std::size_t>(h);
  std::vector<std::uint8_t> out(6 + 16 + image, 0);
  StoreLe16(&out[2], kIconResource);
  StoreLe16(&out[4], 1);
  std::uint8_t* entry = &out[6];
  entry[0] = static_cast<std::uint8_t>(w == 256 ? 0 : w);
  entry[1] = static_cast<std::uint8_t>(h == 256 ? 0 : h);
  StoreLe16(entry + 4, 1);   // planes
  StoreLe16(entry + 6, 32);  // bits per pixel
  StoreLe32(entry + 8, static_cast<std::uint32_t>(image));
  StoreLe32(entry + 12, 22);
  std::uint8_t* header = &out[22];
  StoreLe32(header, 40);
  StoreLe32(header + 4, static_cast<std::uint32_t>(w));
  StoreLe32(header + 8, static_cast<std::uint32_t>(h * 2));  // colour image and mask
  StoreLe16(header + 12, 1);
  StoreLe16(header + 14, 32);
  // Bottom row first, every pixel opaque; the AND mask stays all clear.
  std::uint8_t* at = header + 40;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x, at += 4) {
      const TColor c = bitmap.GetPixel(x, y);
      at[0] = static_cast<std::uint8_t>(c >> 16);
      at[1] = static_cast<std::uint8_t>(c >> 8);
      at[2] = static_cast<std::uint8_t>(c);
      at[3] = 0xFF;
    }
  }
  return out;
}

}  // namespace qv
