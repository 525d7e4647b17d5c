#include "imaging/Quantize.h"
#include "toolkit/LittleEndian.h"

#include <atomic>
#include <cstring>

#include "imaging/ImagingErrors.h"
#include "imaging/QuantizeMethods.h"
#include "toolkit/BmpCodec.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kPaletteBytes = 256 * 4;
constexpr std::size_t kPixelOffset8 = kFileHeaderSize + kInfoHeaderSize + kPaletteBytes;

std::atomic<TReductionMethod> gDefaultReduction{rmHistogram};

TPixelFormat FormatForTarget(int target) {
  switch (target) {
    case rt1Bit: return pf1bit;
    case rt4Bit: return pf4bit;
    case rt8Bit: return pf8bit;
    default: return pf24bit;
  }
}

// The two headers and the colour table of an 8-bit file whose pixel rows are
// already in place after them.
void WriteHeaders8(std::vector<std::uint8_t>& file, int width, int height, const quantize::Reduction& r) {
  const std::size_t pixelBytes = file.size() - kPixelOffset8;
  std::uint8_t* h = file.data();
  h[0] = 'B';
  h[1] = 'M';
  StoreLe32(h + 2, static_cast<std::uint32_t>(file.size()));
  StoreLe32(h + 6, 0);
  StoreLe32(h + 10, static_cast<std::uint32_t>(kPixelOffset8));
  std::uint8_t* info = h + kFileHeaderSize;
  StoreLe32(info, kInfoHeaderSize);
  StoreLe32(info + 4, static_cast<std::uint32_t>(width));
  StoreLe32(info + 8, static_cast<std::uint32_t>(height));  // positive: bottom row first
  StoreLe16(info + 12, 1);                                  // planes
  StoreLe16(info + 14, 8);                                  // bits per pixel
  StoreLe32(info + 16, 0);                                  // no compression
  StoreLe32(info + 20, static_cast<std::uint32_t>(pixelBytes));
  StoreLe32(info + 24, 0);
  StoreLe32(info + 28, 0);
  StoreLe32(info + 32, 0);  // colours used: the full table
  StoreLe32(info + 36, r.importantColors);
  std::uint8_t* table = info + kInfoHeaderSize;
  for (std::size_t i = 0; i < 256; ++i) {
    table[4 * i] = r.palette[i].Blue;
    table[4 * i + 1] = r.palette[i].Green;
    table[4 * i + 2] = r.palette[i].Red;
    table[4 * i + 3] = 0;
  }
}

std::vector<std::uint8_t> Reduce8(const TBitmap& bitmap, TReductionMethod method) {
  // The method works on the 24-bit form; other depths are converted first.
  TBitmap converted;
  const TBitmap* source = &bitmap;
  if (bitmap.PixelFormat() != pf24bit) {
    converted.Assign(&bitmap);
    converted.SetPixelFormat(pf24bit);
    source = &converted;
  }
  if (source->PixelFormat() != pf24bit) AbortNotImplemented();

  const int width = source->Width(), height = source->Height();
  const std::size_t bytes24 = quantize::Stride24(width) * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> file;
  file.reserve(kPixelOffset8 + bytes24);
  file.resize(kPixelOffset8);
  file.insert(file.end(), source->Bits(), source->Bits() + bytes24);

  quantize::Reduction reduction;
  const quantize::InPlaceImage image{file.data() + kPixelOffset8, width, height};
  if (!quantize::Apply(method, image, reduction)) AbortNotImplemented();
  file.resize(kPixelOffset8 + quantize::Stride8(width) * static_cast<std::size_t>(height));
  WriteHeaders8(file, width, height, reduction);
  return file;
}

}  // namespace

int ColorsForTarget(int target) {
  switch (target) {
    case rt1Bit: return 2;
    case rt4Bit: return 16;
    case rt8Bit: return 256;
    default: return 0;
  }
}

TReductionMethod DefaultReduction() {
  return gDefaultReduction.load(std::memory_order_relaxed);
}

void SetDefaultReduction(TReductionMethod method) {
  gDefaultReduction.store(method, std::memory_order_relaxed);
}

std::vector<std::uint8_t> ReduceBitmap(const TBitmap* bitmap, int target, TReductionMethod method) {
  if (bitmap == nullptr || bitmap->Empty()) throw EInvalidGraphic("Bitmap image is not valid");
  const bool knownTarget = target >= rt1Bit && target <= rt24Bit;
  if (knownTarget && bitmap->BitsPerPixel() == BitsPerPixel(FormatForTarget(target)) && method != rmGrey) {
    return TBmpCodec::Encode(*bitmap);
  }
  if (!knownTarget) AbortNotImplemented();
  if (target == rt8Bit) return Reduce8(*bitmap, method);

  // 1, 4 and 24 bits: a plain conversion, every colour to its nearest entry of
  // the bitmap's own table when that fits the depth.
  TBitmap converted;
  converted.Assign(bitmap);
  converted.SetPixelFormat(FormatForTarget(target));
  return TBmpCodec::Encode(converted);
}

void ReduceColors(TBitmap* bitmap, int colors) {
  if (bitmap == nullptr || colors <= 0) return;
  const int target = colors <= 2 ? rt1Bit : colors <= 16 ? rt4Bit : colors <= 256 ? rt8Bit : rt24Bit;
  const std::vector<std::uint8_t> file = ReduceBitmap(bitmap, target, DefaultReduction());
  bitmap->SetImage(TBmpCodec::Decode(file));
}

}  // namespace qv
