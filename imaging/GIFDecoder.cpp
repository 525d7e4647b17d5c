#include "imaging/GIFDecoder.h"

#include <algorithm>
#include <cstring>

#include "imaging/GIFFormat.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

using gif::kMaxCodeBits;
using gif::kMaxCodeSize;
using gif::kMinCodeSize;
constexpr int kTableSize = gif::kCodeTableSize;
// The longest string a 4096-entry table can hold, plus room for the 16-byte
// block copies below, so writing a string never needs a bounds test.
constexpr std::size_t kOutputSlack = kTableSize + 32;

constexpr const char* kCodeSizeError = "GIF code size not in range 2 to 9";
constexpr const char* kCorruptError = "GIF encoded data is corrupt";

// The data sub-blocks joined into one run of code bytes, padded with zeros so
// the bit reader may load four bytes at any position. A sub-block announcing
// more bytes than remain contributes what is there.
std::vector<std::uint8_t> JoinSubBlocks(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> codes;
  codes.reserve(data.size() + 8);
  std::size_t pos = 1;
  while (pos < data.size()) {
    const std::size_t length = data[pos++];
    if (length == 0) break;
    const std::size_t take = std::min(length, data.size() - pos);
    codes.insert(codes.end(), data.begin() + static_cast<std::ptrdiff_t>(pos),
                 data.begin() + static_cast<std::ptrdiff_t>(pos + take));
    pos += take;
  }
  codes.resize(codes.size() + 8, 0);
  return codes;
}

// Copies a string that lies wholly before `dst`. Short strings (the common
// case) move as one 16-byte block: the bytes beyond `length` land in space the
// next string overwrites, and the loads happen before the stores, so an
// overlap past the string's end cannot spoil it.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t length) {
  if (length <= 16) {
    std::uint64_t a, b;
    std::memcpy(&a, src, 8);
    std::memcpy(&b, src + 8, 8);
    std::memcpy(dst, &a, 8);
    std::memcpy(dst + 8, &b, 8);
  } else {
    std::memcpy(dst, src, length);
  }
}

}  // namespace

std::vector<int> GIFRowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(std::max(height, 0)));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  }
  return order;
}

namespace {

// What one decoding learns and builds, passed from stage to stage.
struct DecodeContext {
  explicit DecodeContext(const TGIFDecodeRequest& r)
      : request(r),
        width(static_cast<std::size_t>(std::max(r.width, 0))),
        height(static_cast<std::size_t>(std::max(r.height, 0))),
        total(width * height) {}

  void Progress(int stage, int percent, const std::string& message) const {
    if (request.progress) request.progress(stage, percent, message);
  }
  // Damaged data: an error unless damage is to be ignored, then a mark.
  void Damaged(const char* message) {
    if (!request.ignoreCorrupt) throw EInvalidGraphicOperation(message);
    result.corrupt = true;
  }

  const TGIFDecodeRequest& request;
  const std::size_t width;
  const std::size_t height;
  const std::size_t total;
  int minCodeSize = kMinCodeSize;
  std::vector<std::uint8_t> out;  // the pixels in code stream order
  TGIFDecodeResult result;
};

// The minimum code size byte; false when there is not even that, and so
// nothing to decode (the frame stays at index 0).
bool ReadCodeSize(DecodeContext& c) {
  if (c.request.imageData.empty()) {
    c.Damaged(kCorruptError);
    c.result.pixels.assign(c.total, 0);
    return false;
  }
  c.minCodeSize = c.request.imageData[0];
  if (c.minCodeSize < kMinCodeSize || c.minCodeSize > kMaxCodeSize) {
    c.Damaged(kCodeSizeError);
    c.minCodeSize = std::clamp(c.minCodeSize, kMinCodeSize, kMaxCodeSize);
  }
  return true;
}

// The LZW codes into pixels (in code stream order, `total` of them), until
// the image is full, the end code comes, the data runs out or a code is not
// in the table; true when the data is damaged. Everything the loop touches is
// a local: the pixel stores are bytes, which may alias any object whose
// address is known elsewhere, and would force reloads per code.
bool ExpandCodes(const TGIFDecodeRequest& request, int minCodeSize, std::size_t total,
                 std::vector<std::uint8_t>& pixels) {
  const std::uint8_t mask = static_cast<std::uint8_t>((1u << std::clamp(request.bitsPerPixel, 1, 8)) - 1);
  const std::vector<std::uint8_t> codes = JoinSubBlocks(request.imageData);
  const std::uint64_t totalBits = static_cast<std::uint64_t>(codes.size() - 8) * 8;

  std::vector<std::uint8_t> out(total + kOutputSlack, 0);
  std::uint8_t* const base = out.data();

  // Each table entry is a string already written to the output: where it
  // starts and how long it is. A new entry is the previous string plus the
  // first byte of the current one, which is exactly the output run starting
  // at the previous string, so no per-pixel chain walk is needed.
  std::vector<std::uint32_t> start(kTableSize, 0);
  std::vector<std::uint16_t> length(kTableSize, 0);

  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  int codeSize = minCodeSize + 1;
  int codeMask = (1 << codeSize) - 1;
  int nextFree = clearCode + 2;
  bool afterClear = true;
  bool corrupt = false;
  std::size_t prevPos = 0;
  std::size_t prevLen = 0;
  std::size_t pos = 0;
  std::uint64_t bitPos = 0;
  int lastPercent = 0;
  const bool reporting = static_cast<bool>(request.progress) && totalBits > 0;

  while (pos < total) {
    if (bitPos + static_cast<unsigned>(codeSize) > totalBits) break;  // data ran out
    std::uint32_t word;
    std::memcpy(&word, codes.data() + (bitPos >> 3), 4);
    const int code = static_cast<int>((word >> (bitPos & 7)) & static_cast<unsigned>(codeMask));
    bitPos += static_cast<unsigned>(codeSize);

    if (reporting) {
      const int percent = static_cast<int>((bitPos * 100 + totalBits / 2) / totalBits);
      if (percent != lastPercent) {
        lastPercent = percent;
        request.progress(1, percent, std::string());
      }
    }

    if (code == clearCode) {
      codeSize = minCodeSize + 1;
      codeMask = (1 << codeSize) - 1;
      nextFree = clearCode + 2;
      afterClear = true;
      continue;
    }
    if (code == endCode) break;

    std::uint8_t* const dst = base + pos;
    std::size_t len;
    if (afterClear || code < clearCode) {
      // A root, or whatever follows a clear code, is a one-pixel string.
      *dst = static_cast<std::uint8_t>(code) & mask;
      len = 1;
    } else if (code < nextFree) {
      len = length[static_cast<std::size_t>(code)];
      CopyString(dst, base + start[static_cast<std::size_t>(code)], len);
    } else if (code == nextFree && nextFree < kTableSize) {
      // The string being defined right now: the previous one plus its own first byte.
      CopyString(dst, base + prevPos, prevLen);
      dst[prevLen] = base[prevPos];
      len = prevLen + 1;
    } else {
      // A code the table does not hold yet: the stream is damaged.
      if (!request.ignoreCorrupt) throw EInvalidGraphicOperation(kCorruptError);
      corrupt = true;
      break;
    }

    if (!afterClear && nextFree < kTableSize) {
      start[static_cast<std::size_t>(nextFree)] = static_cast<std::uint32_t>(prevPos);
      length[static_cast<std::size_t>(nextFree)] = static_cast<std::uint16_t>(prevLen + 1);
      ++nextFree;
      if (nextFree > codeMask && codeSize < kMaxCodeBits) {
        ++codeSize;
        codeMask = (1 << codeSize) - 1;
      }
    }
    afterClear = false;
    prevPos = pos;
    prevLen = len;
    pos += len;
  }
  out.resize(total);
  pixels = std::move(out);
  return corrupt;
}

// The rows from code stream order into image order.
void PlaceRows(DecodeContext& c) {
  if (!c.request.interlaced || c.height <= 1 || c.width == 0) {
    c.result.pixels = std::move(c.out);
    return;
  }
  c.result.pixels.assign(c.total, 0);
  const std::vector<int> order = GIFRowOrder(static_cast<int>(c.height), true);
  for (std::size_t i = 0; i < c.height; ++i) {
    std::memcpy(c.result.pixels.data() + static_cast<std::size_t>(order[i]) * c.width,
                c.out.data() + i * c.width, c.width);
  }
}

}  // namespace

TGIFDecodeResult DecodeGIFFrame(const TGIFDecodeRequest& request) {
  DecodeContext c(request);
  c.Progress(0, 0, std::string());
  try {
    if (ReadCodeSize(c)) {
      if (ExpandCodes(request, c.minCodeSize, c.total, c.out)) c.result.corrupt = true;
      PlaceRows(c);
    }
  } catch (const Exception& e) {
    c.Progress(2, 0, e.Message());
    throw;
  }
  c.Progress(2, 100, std::string());
  return std::move(c.result);
}

}  // namespace qv
