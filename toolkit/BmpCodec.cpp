#include "toolkit/BmpCodec.h"
#include "toolkit/LittleEndian.h"
#include "toolkit/StreamBytes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <istream>
#include <limits>
#include <ostream>

#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint8_t kSignature[2] = {'B', 'M'};
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV2HeaderSize = 52;  // adds the red, green and blue masks
constexpr std::uint32_t kV3HeaderSize = 56;  // adds the alpha mask
constexpr std::array<std::uint32_t, 6> kKnownHeaderSizes = {
    kCoreHeaderSize, kInfoHeaderSize, kV2HeaderSize, kV3HeaderSize, 108, 124};
constexpr std::size_t kMaskBlockSize = 12;  // three masks after a 40-byte header

enum Compression : std::uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3 };

enum MaskChannel { kRed, kGreen, kBlue, kAlpha };
constexpr std::array<std::uint32_t, 4> kDefault16Masks = {0x7C00, 0x03E0, 0x001F, 0};
constexpr std::array<std::uint32_t, 4> kDefault32Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};

// RLE escape codes (second byte after a zero count).
constexpr std::uint8_t kRleEndOfLine = 0;
constexpr std::uint8_t kRleEndOfBitmap = 1;
constexpr std::uint8_t kRleDelta = 2;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic("Bitmap image is not valid");
}

// Everything learnt from the headers, plus the image being built.
struct DecodeContext {
  std::span<const std::uint8_t> data;
  std::uint32_t fileSize = 0;
  std::uint32_t pixelOffsetField = 0;
  std::uint32_t headerSize = 0;
  bool core = false;
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t sizeImage = 0;
  std::uint32_t colorsUsed = 0;
  std::array<std::uint32_t, 4> masks{};
  std::size_t paletteOffset = 0;
  std::size_t paletteEntrySize = 4;
  std::size_t paletteStored = 0;  // entries the file holds
  std::size_t paletteUsed = 0;    // entries that pixels can reach
  std::size_t pixelOffset = 0;
  TDibImage image;
};

std::uint16_t Le16(std::span<const std::uint8_t> d, std::size_t at) {
  return ReadLe16(d, at, Invalid);
}
std::uint32_t Le32(std::span<const std::uint8_t> d, std::size_t at) {
  return ReadLe32(d, at, Invalid);
}

bool IsIndexedDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8;
}

TPixelFormat OutputFormat(const DecodeContext& c) {
  switch (c.bitCount) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 32: return pf32bit;
    default: return pf24bit;  // 16-bit pixels are widened to 24
  }
}

// --- Stages -----------------------------------------------------------------

void ParseFileHeader(DecodeContext& c) {
  if (c.data.size() < kFileHeaderSize + 4) Invalid();
  if (c.data[0] != kSignature[0] || c.data[1] != kSignature[1]) Invalid();
  c.fileSize = Le32(c.data, 2);
  c.pixelOffsetField = Le32(c.data, 10);
  c.headerSize = Le32(c.data, kFileHeaderSize);
  if (std::find(kKnownHeaderSizes.begin(), kKnownHeaderSizes.end(), c.headerSize) ==
      kKnownHeaderSizes.end()) {
    Invalid();
  }
}

void ParseInfoHeader(DecodeContext& c) {
  const std::size_t h = kFileHeaderSize;
  if (c.data.size() < h + c.headerSize) Invalid();
  c.core = c.headerSize == kCoreHeaderSize;
  if (c.core) {
    c.width = Le16(c.data, h + 4);
    c.height = Le16(c.data, h + 6);
    c.bitCount = Le16(c.data, h + 10);
    c.compression = kBiRgb;
    c.paletteEntrySize = 3;
    if (c.bitCount != 1 && c.bitCount != 4 && c.bitCount != 8 && c.bitCount != 24) Invalid();
  } else {
    const auto width = static_cast<std::int32_t>(Le32(c.data, h + 4));
    const auto height = static_cast<std::int32_t>(Le32(c.data, h + 8));
    c.bitCount = Le16(c.data, h + 14);
    c.compression = Le32(c.data, h + 16);
    c.sizeImage = Le32(c.data, h + 20);
    c.colorsUsed = Le32(c.data, h + 32);
    if (width <= 0 || height == 0 || height == INT32_MIN) Invalid();
    c.width = width;
    c.topDown = height < 0;
    c.height = height < 0 ? -height : height;
    switch (c.compression) {
      case kBiRgb:
        if (!IsIndexedDepth(c.bitCount) && c.bitCount != 16 && c.bitCount != 24 && c.bitCount != 32)
          Invalid();
        break;
      case kBiRle8:
        if (c.bitCount != 8 || c.topDown) Invalid();
        break;
      case kBiRle4:
        if (c.bitCount != 4 || c.topDown) Invalid();
        break;
      case kBiBitfields:
        if (c.bitCount != 16 && c.bitCount != 32) Invalid();
        break;
      default: Invalid();
    }
  }
  if (c.width <= 0 || c.height <= 0) Invalid();
}

void CheckLimits(const DecodeContext& c) {
  CheckBitmapLimits(c.width, c.height, OutputFormat(c));
}

// Masks of 16- and 32-bit pixels; they follow a 40-byte header and are part of
// the later ones. Only contiguous masks make sense as channels.
void ParseMasks(DecodeContext& c) {
  c.paletteOffset = kFileHeaderSize + c.headerSize;
  if (c.bitCount != 16 && c.bitCount != 32) return;
  c.masks = c.bitCount == 16 ? kDefault16Masks : kDefault32Masks;
  if (c.compression != kBiBitfields) return;
  std::size_t at = kFileHeaderSize + kInfoHeaderSize;
  c.masks[kRed] = Le32(c.data, at);
  c.masks[kGreen] = Le32(c.data, at + 4);
  c.masks[kBlue] = Le32(c.data, at + 8);
  c.masks[kAlpha] = c.headerSize >= kV3HeaderSize ? Le32(c.data, at + 12) : 0;
  if (c.headerSize == kInfoHeaderSize) c.paletteOffset += kMaskBlockSize;
  for (std::uint32_t m : c.masks) {
    if (m == 0) continue;
    const std::uint32_t shifted = m >> std::countr_zero(m);
    if ((shifted & (shifted + 1)) != 0) Invalid();
  }
}

// How many colour-table entries the file holds and how many pixels can use.
void SizePalette(DecodeContext& c) {
  const std::size_t capacity = IsIndexedDepth(c.bitCount) ? (std::size_t{1} << c.bitCount) : 0;
  if (c.core) {
    // The core form has no count: the table fills the gap up to the pixels.
    std::size_t stored = capacity;
    if (c.pixelOffsetField > c.paletteOffset) {
      stored = std::min(stored, (c.pixelOffsetField - c.paletteOffset) / c.paletteEntrySize);
    }
    c.paletteStored = stored;
  } else {
    c.paletteStored = c.colorsUsed != 0 ? c.colorsUsed : capacity;
    // A count that claims more than the pixels can index, or more than fits
    // before the pixels, is trusted only as far as the file backs it.
    if (c.pixelOffsetField >= c.paletteOffset + c.paletteEntrySize &&
        c.pixelOffsetField < c.paletteOffset + c.paletteStored * c.paletteEntrySize) {
      c.paletteStored = (c.pixelOffsetField - c.paletteOffset) / c.paletteEntrySize;
    }
  }
  c.paletteUsed = std::min(c.paletteStored, capacity);
}

void LocatePixels(DecodeContext& c) {
  const std::size_t tableEnd = c.paletteOffset + c.paletteStored * c.paletteEntrySize;
  // Trust the file header's pixel offset unless it points into the headers.
  c.pixelOffset = c.pixelOffsetField >= tableEnd ? c.pixelOffsetField : tableEnd;
  if (c.pixelOffset > kMaxBitmapBytes) Invalid();
}

void ReadPalette(DecodeContext& c) {
  if (c.paletteUsed == 0) return;
  const std::size_t bytes = c.paletteUsed * c.paletteEntrySize;
  if (c.paletteOffset > c.data.size() || c.data.size() - c.paletteOffset < bytes) Invalid();
  c.image.palette.resize(c.paletteUsed);
  for (std::size_t i = 0; i < c.paletteUsed; ++i) {
    const std::uint8_t* e = c.data.data() + c.paletteOffset + i * c.paletteEntrySize;
    c.image.palette[i] = TPaletteEntry{e[2], e[1], e[0]};
  }
}

void AllocateImage(DecodeContext& c) {
  c.image.width = c.width;
  c.image.height = c.height;
  c.image.format = OutputFormat(c);
  c.image.bits.assign(
      DibRowStride(c.width, BitsPerPixel(c.image.format)) * static_cast<std::size_t>(c.height), 0);
}

// Start of the stored row that file row `i` (in file order) lands in.
std::uint8_t* StoredRow(DecodeContext& c, int fileRow) {
  const int fromBottom = c.topDown ? c.height - 1 - fileRow : fileRow;
  const std::size_t stride = DibRowStride(c.width, BitsPerPixel(c.image.format));
  return c.image.bits.data() + static_cast<std::size_t>(fromBottom) * stride;
}

std::span<const std::uint8_t> PixelData(const DecodeContext& c) {
  if (c.pixelOffset > c.data.size()) Invalid();
  return c.data.subspan(c.pixelOffset);
}

void DecodeSameLayout(DecodeContext& c) {
  const std::size_t stride = DibRowStride(c.width, c.bitCount);
  const auto pixels = PixelData(c);
  if (pixels.size() / stride < static_cast<std::size_t>(c.height)) Invalid();
  AllocateImage(c);
  for (int row = 0; row < c.height; ++row) {
    std::memcpy(StoredRow(c, row), pixels.data() + static_cast<std::size_t>(row) * stride, stride);
  }
}

struct ChannelMask {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  std::uint8_t Extract(std::uint32_t v) const {
    if (bits == 0) return 0;
    const std::uint32_t raw = (v & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(raw >> (bits - 8));
    const std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((raw * 255 + max / 2) / max);
  }
};

ChannelMask MakeChannel(std::uint32_t mask) {
  ChannelMask ch;
  ch.mask = mask;
  if (mask != 0) {
    ch.shift = std::countr_zero(mask);
    ch.bits = std::popcount(mask);
  }
  return ch;
}

// 16-bit pixels and 32-bit pixels with masks of their own, through the masks.
void DecodeMasked(DecodeContext& c) {
  const std::size_t stride = DibRowStride(c.width, c.bitCount);
  const auto pixels = PixelData(c);
  if (pixels.size() / stride < static_cast<std::size_t>(c.height)) Invalid();
  AllocateImage(c);
  const ChannelMask r = MakeChannel(c.masks[kRed]), g = MakeChannel(c.masks[kGreen]),
                    b = MakeChannel(c.masks[kBlue]), a = MakeChannel(c.masks[kAlpha]);
  const std::size_t outBytes = c.image.format == pf32bit ? 4 : 3;
  const std::size_t inBytes = static_cast<std::size_t>(c.bitCount / 8);
  for (int row = 0; row < c.height; ++row) {
    const std::uint8_t* in = pixels.data() + static_cast<std::size_t>(row) * stride;
    std::uint8_t* out = StoredRow(c, row);
    for (int x = 0; x < c.width; ++x, in += inBytes, out += outBytes) {
      std::uint32_t v = static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8);
      if (inBytes == 4) {
        v |= (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
      }
      out[0] = b.Extract(v);
      out[1] = g.Extract(v);
      out[2] = r.Extract(v);
      if (outBytes == 4) out[3] = a.Extract(v);
    }
  }
}

void PutIndex(DecodeContext& c, int x, int row, unsigned index) {
  if (x >= c.width || row >= c.height) return;  // runs may overshoot: clip them
  std::uint8_t* p = StoredRow(c, row);
  if (c.bitCount == 8) {
    p[x] = static_cast<std::uint8_t>(index);
  } else {
    std::uint8_t& byte = p[x >> 1];
    byte = (x & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | (index & 0x0F))
                   : static_cast<std::uint8_t>((byte & 0x0F) | ((index & 0x0F) << 4));
  }
}

// Run-length data: (count, value) pairs, or a zero count followed by an escape:
// end of line, end of bitmap, a move, or a literal run padded to 16 bits.
void DecodeRle(DecodeContext& c) {
  const auto d = PixelData(c);
  const bool four = c.compression == kBiRle4;
  AllocateImage(c);
  std::size_t pos = 0;
  int x = 0, row = 0;
  bool ended = false;
  const auto advance = [&](long long by) {
    x = static_cast<int>(std::min<long long>(static_cast<long long>(x) + by, c.width));
  };
  while (!ended && row < c.height) {
    if (d.size() - pos < 2) break;
    const std::uint8_t count = d[pos], value = d[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x + i < c.width; ++i) {
        const unsigned index = four ? ((i & 1) ? (value & 0x0Fu) : (value >> 4)) : value;
        PutIndex(c, x + i, row, index);
      }
      advance(count);
      continue;
    }
    switch (value) {
      case kRleEndOfLine:
        x = 0;
        ++row;
        break;
      case kRleEndOfBitmap: ended = true; break;
      case kRleDelta:
        if (d.size() - pos < 2) Invalid();
        advance(d[pos]);
        row += d[pos + 1];
        pos += 2;
        break;
      default: {
        const std::size_t bytes = four ? (value + 1u) / 2u : value;
        if (d.size() - pos < bytes) Invalid();
        for (int i = 0; i < value && x + i < c.width; ++i) {
          const std::uint8_t b = d[pos + static_cast<std::size_t>(four ? i / 2 : i)];
          const unsigned index = four ? ((i & 1) ? (b & 0x0Fu) : (b >> 4)) : b;
          PutIndex(c, x + i, row, index);
        }
        advance(value);
        pos += bytes + (bytes & 1);
        pos = std::min(pos, d.size());
        break;
      }
    }
  }
  // Data may stop without the end marker once every row is complete; stopping
  // earlier means the file was cut off.
  const bool complete = ended || row >= c.height || (row == c.height - 1 && x >= c.width);
  if (!complete) Invalid();
}

void DecodePixels(DecodeContext& c) {
  switch (c.compression) {
    case kBiRle8:
    case kBiRle4: DecodeRle(c); break;
    default: {
      // 32-bit pixels already in blue, green, red, alpha order are copied as they are.
      const bool storedOrder = c.bitCount == 32 && c.masks[kRed] == kDefault32Masks[kRed] &&
                               c.masks[kGreen] == kDefault32Masks[kGreen] &&
                               c.masks[kBlue] == kDefault32Masks[kBlue] &&
                               (c.masks[kAlpha] == 0 || c.masks[kAlpha] == 0xFF000000u);
      if (c.bitCount == 16 || (c.bitCount == 32 && !storedOrder)) {
        DecodeMasked(c);
      } else {
        DecodeSameLayout(c);
        if (c.bitCount == 32 && c.compression == kBiBitfields && c.masks[kAlpha] == 0) {
          // Without an alpha mask the fourth byte carries nothing.
          for (std::size_t i = 3; i < c.image.bits.size(); i += 4) c.image.bits[i] = 0;
        }
      }
      break;
    }
  }
}

// Parses every header of the file held in `c.data` (which may end right after
// the headers while the file is being pulled from a stream).
void ParseHeaders(DecodeContext& c) {
  ParseFileHeader(c);
  ParseInfoHeader(c);
  CheckLimits(c);
  ParseMasks(c);
  SizePalette(c);
  LocatePixels(c);
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> TBmpCodec::ReadFileBytes(std::istream& in) {
  std::vector<std::uint8_t> bytes;
  if (!ReadUpTo(in, bytes, kFileHeaderSize + 4)) {
    if (bytes.empty()) return bytes;
    Invalid();
  }
  DecodeContext c;
  c.data = bytes;
  ParseFileHeader(c);
  if (!ReadUpTo(in, bytes, kFileHeaderSize + c.headerSize)) Invalid();
  c.data = bytes;
  ParseInfoHeader(c);
  if (c.compression == kBiBitfields && c.headerSize == kInfoHeaderSize) {
    ReadUpTo(in, bytes, kFileHeaderSize + kInfoHeaderSize + kMaskBlockSize);
  }
  c.data = bytes;
  ParseHeaders(c);
  if (!ReadUpTo(in, bytes, c.pixelOffset)) Invalid();
  std::size_t end = 0;
  if (c.compression == kBiRle8 || c.compression == kBiRle4) {
    if (c.sizeImage != 0) {
      end = c.pixelOffset + std::min<std::size_t>(c.sizeImage, kMaxBitmapBytes);
    } else if (c.fileSize > c.pixelOffset) {
      end = c.fileSize;
    } else {
      end = c.pixelOffset + kMaxBitmapBytes;
    }
  } else {
    end = c.pixelOffset + DibRowStride(c.width, c.bitCount) * static_cast<std::size_t>(c.height);
  }
  ReadUpTo(in, bytes, end);  // a short read is reported by Decode
  return bytes;
}

TDibImage TBmpCodec::Decode(std::span<const std::uint8_t> file) {
  if (file.empty()) return TDibImage{};
  DecodeContext c;
  c.data = file;
  ParseHeaders(c);
  ReadPalette(c);
  DecodePixels(c);
  if (!IsIndexed(c.image.format)) c.image.palette.clear();
  return std::move(c.image);
}

std::vector<std::uint8_t> TBmpCodec::Encode(const TBitmap& bitmap) {
  std::vector<std::uint8_t> out;
  if (bitmap.Empty()) return out;
  const int bits = bitmap.BitsPerPixel();
  const std::size_t paletteEntries = IsIndexed(bitmap.PixelFormat()) ? (std::size_t{1} << bits) : 0;
  const std::size_t pixelBytes = bitmap.RowStride() * static_cast<std::size_t>(bitmap.Height());
  const std::size_t offset = kFileHeaderSize + kInfoHeaderSize + paletteEntries * 4;
  out.reserve(offset + pixelBytes);
  out.push_back(kSignature[0]);
  out.push_back(kSignature[1]);
  PutLe32(out, static_cast<std::uint32_t>(offset + pixelBytes));
  PutLe32(out, 0);  // reserved
  PutLe32(out, static_cast<std::uint32_t>(offset));
  PutLe32(out, kInfoHeaderSize);
  PutLe32(out, static_cast<std::uint32_t>(bitmap.Width()));
  PutLe32(out, static_cast<std::uint32_t>(bitmap.Height()));  // positive: bottom row first
  PutLe16(out, 1);                                            // planes
  PutLe16(out, static_cast<std::uint32_t>(bits));
  PutLe32(out, kBiRgb);
  PutLe32(out, static_cast<std::uint32_t>(pixelBytes));
  PutLe32(out, 0);  // horizontal resolution: unknown
  PutLe32(out, 0);  // vertical resolution: unknown
  PutLe32(out, 0);  // colours used: the full table follows
  PutLe32(out, 0);  // important colours: all
  const auto& palette = bitmap.Palette();
  for (std::size_t i = 0; i < paletteEntries; ++i) {
    const TPaletteEntry e = i < palette.size() ? palette[i] : TPaletteEntry{};
    out.push_back(e.Blue);
    out.push_back(e.Green);
    out.push_back(e.Red);
    out.push_back(0);
  }
  out.insert(out.end(), bitmap.Bits(), bitmap.Bits() + pixelBytes);
  return out;
}

void TBmpCodec::Write(const TBitmap& bitmap, std::ostream& out) {
  const std::vector<std::uint8_t> bytes = Encode(bitmap);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw EWriteError("Stream write error");
}

}  // namespace qv
