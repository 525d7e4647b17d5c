#include "imaging/GIFWriter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <ostream>
#include <sstream>

#include "imaging/GIFFormat.h"
#include "imaging/GIFImage.h"
#include "imaging/Quantize.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr const char* kNoData = "No GIF Data to write";
constexpr const char* kEncodingError = "GIF image encoding error";

constexpr int kHashSlots = 17777;
constexpr int kPoolSize = gif::kCodeTableSize;
// Beyond this code the table is started afresh (a clear code is sent).
constexpr int kLastCodeBeforeReset = 4093;
// ceil(2^64 / slots): (x * kReciprocal mod 2^64) * slots / 2^64 is x mod slots
// for every x below 2^32.
constexpr std::uint64_t kReciprocal = ~std::uint64_t{0} / kHashSlots + 1;

// (factor * hash) mod slots for a product below 2^32. factor * reciprocal does
// not depend on the hash, so each pixel waits for two multiplications instead
// of a division's four.
inline std::uint32_t NextHash(std::uint32_t factor, std::uint32_t hash) {
#if defined(__SIZEOF_INT128__)
  std::uint64_t scaled = factor * kReciprocal;
  asm("" : "+r"(scaled));  // keeps the compiler from folding it back into the chain
  __extension__ using Wide = unsigned __int128;
  return static_cast<std::uint32_t>((static_cast<Wide>(scaled * hash) * kHashSlots) >> 64);
#else
  return factor * hash % kHashSlots;
#endif
}
constexpr int kHashFactor = 301;
constexpr int kHashOffset = 903;
constexpr std::size_t kSubBlockBytes = gif::kMaxSubBlockBytes;
constexpr int kCodeBits = gif::kMaxCodeBits;
constexpr std::uint32_t kCodeMask = (1u << kCodeBits) - 1;

// The string table of one frame: hash slots keyed by (prefix, pixel). The pool
// entry a slot refers to lives in the slot itself, one load per probe:
// ((prefix << 8 | pixel) + 1) << 12 | code, so that 0 means empty. The common
// case, the string found in its first slot, is a single load whose code the
// next pixel may use before the compare has confirmed it.
class LzwEncoder {
 public:
  LzwEncoder(int minCodeSize, std::vector<std::uint8_t>& out)
      : minCodeSize_(minCodeSize),
        clearCode_(1 << minCodeSize),
        endCode_(clearCode_ + 1),
        slots_(kHashSlots, 0),
        out_(out) {
    out_.push_back(static_cast<std::uint8_t>(minCodeSize));
    Restart();
    Emit(clearCode_);
  }

  // Codes a run of pixels. The running string lives in locals for the loop so
  // it stays in registers (the output bytes could alias any member); a miss
  // (about one pixel in twenty) hands it back to the members. `Depth` is the
  // bits per pixel of the row: 1- and 4-bit pixels are taken out of their
  // bytes here, in the coding loop, most significant first.
  template <int Depth>
  [[gnu::always_inline]] inline void Add(const std::uint8_t* pixels, int count) {
    static_assert(Depth == 1 || Depth == 4 || Depth == 8);
    const std::uint32_t* const slots = slots_.data();
    int prefix = prefix_;
    std::uint32_t hash = hash_;
    int length = length_;
    for (int i = 0; i < count; ++i) {
      int pixel;
      if constexpr (Depth == 8) {
        pixel = pixels[i];
      } else if constexpr (Depth == 4) {
        pixel = (pixels[i >> 1] >> ((i & 1) ? 0 : 4)) & 0x0F;
      } else {
        pixel = (pixels[i >> 3] >> (7 - (i & 7))) & 1;
      }
      if (length == 0) {
        prefix = pixel;
        hash = StartHash(pixel);
        length = 1;
        continue;
      }
      // The product stays below 2^29: factor < 4096 + 261, the first hash < 77658.
      hash = NextHash(static_cast<std::uint32_t>(pixel + length + 1 + 4), hash);
      ++length;
      const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8 | static_cast<unsigned>(pixel)) + 1;
      std::uint32_t slot = hash;
      std::uint32_t entry = slots[slot];
      if (entry != 0 && (entry >> kCodeBits) != key) {
        slot = ProbeOn(slots, slot, key);
        entry = slots[slot];
      }
      if (entry != 0) {
        prefix = static_cast<int>(entry & kCodeMask);
        continue;
      }
      prefix_ = prefix;
      Miss(slot, key, pixel);
      prefix = prefix_;
      hash = hash_;
      length = length_;
    }
    prefix_ = prefix;
    hash_ = hash;
    length_ = length;
  }

  void Finish() {
    Emit(prefix_);
    Emit(endCode_);
    if (bits_ > 0) block_[blockLength_++] = static_cast<std::uint8_t>(accumulator_);
    if (blockLength_ > 0) WriteBlock();
    out_.push_back(0);
  }

 private:
  // The first slot after `slot` that is empty or holds the key, four slots
  // compared at once where four are left before the end.
  static std::uint32_t ProbeOn(const std::uint32_t* slots, std::uint32_t slot, std::uint32_t key) {
    for (;;) {
      slot = slot + 1 == kHashSlots ? 0 : slot + 1;
#if defined(__SSE2__)
      if (slot + 4 <= kHashSlots) {
        const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots + slot));
        const __m128i wanted = _mm_set1_epi32(static_cast<int>(key << kCodeBits));
        const __m128i keys = _mm_and_si128(four, _mm_set1_epi32(static_cast<int>(~kCodeMask)));
        const __m128i stop =
            _mm_or_si128(_mm_cmpeq_epi32(keys, wanted), _mm_cmpeq_epi32(four, _mm_setzero_si128()));
        const int found = _mm_movemask_ps(_mm_castsi128_ps(stop));
        if (found != 0) return slot + static_cast<std::uint32_t>(__builtin_ctz(static_cast<unsigned>(found)));
        slot += 3;
        continue;
      }
#endif
      const std::uint32_t entry = slots[slot];
      if (entry == 0 || (entry >> kCodeBits) == key) return slot;
    }
  }

  static std::uint32_t StartHash(int pixel) {
    return static_cast<std::uint32_t>(pixel * kHashFactor + kHashOffset);
  }

  // The string (prefix, pixel) is new: the prefix's code goes out, the string
  // takes the free code in the empty slot the probe ended on, and the pixel
  // starts the next string.
  [[gnu::noinline]] void Miss(std::uint32_t slot, std::uint32_t key, int pixel) {
    Emit(prefix_);
    const int code = nextFree_++;
    slots_[slot] = key << kCodeBits | static_cast<std::uint32_t>(code);
    prefix_ = pixel;
    hash_ = StartHash(pixel);
    length_ = 1;
    if (code >= capacity_) {
      ++codeSize_;
      capacity_ <<= 1;
    } else if (code > kLastCodeBeforeReset) {
      Emit(prefix_);
      Emit(clearCode_);
      Restart();
    }
  }

  void Restart() {
    codeSize_ = minCodeSize_ + 1;
    capacity_ = 1 << codeSize_;
    nextFree_ = clearCode_ + 2;
    length_ = 0;
    std::fill(slots_.begin(), slots_.end(), 0);
  }

  // At most 7 bits wait and a code has at most 12, so the whole bytes are at
  // most three: all three are stored, and the count of whole ones moves on.
  void Emit(int code) {
    accumulator_ |= static_cast<std::uint32_t>(code) << bits_;
    bits_ += codeSize_;
    block_[blockLength_] = static_cast<std::uint8_t>(accumulator_);
    block_[blockLength_ + 1] = static_cast<std::uint8_t>(accumulator_ >> 8);
    block_[blockLength_ + 2] = static_cast<std::uint8_t>(accumulator_ >> 16);
    const int whole = bits_ >> 3;
    blockLength_ += static_cast<std::size_t>(whole);
    accumulator_ >>= whole * 8;
    bits_ &= 7;
    if (blockLength_ >= kSubBlockBytes) {
      const std::size_t overflow = blockLength_ - kSubBlockBytes;
      blockLength_ = kSubBlockBytes;
      WriteBlock();
      std::copy(block_ + kSubBlockBytes, block_ + kSubBlockBytes + overflow, block_);
      blockLength_ = overflow;
    }
  }

  void WriteBlock() {
    out_.push_back(static_cast<std::uint8_t>(blockLength_));
    out_.insert(out_.end(), block_, block_ + blockLength_);
    blockLength_ = 0;
  }

  const int minCodeSize_;
  const int clearCode_;
  const int endCode_;
  int codeSize_ = 0;
  int capacity_ = 0;
  int nextFree_ = 0;
  int prefix_ = 0;
  int length_ = 0;
  std::uint32_t hash_ = 0;
  std::vector<std::uint32_t> slots_;
  std::uint32_t accumulator_ = 0;
  int bits_ = 0;
  std::uint8_t block_[kSubBlockBytes + 3];
  std::size_t blockLength_ = 0;
  std::vector<std::uint8_t>& out_;
};

static_assert(kPoolSize == 4096, "codes are at most 12 bits");

void PutWord(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutSubBlocks(std::vector<std::uint8_t>& out, const TStringList* lines) {
  if (lines != nullptr) {
    for (const std::string& line : lines->Lines()) {
      const std::size_t length = std::min(line.size(), kSubBlockBytes);
      if (length == 0) continue;
      out.push_back(static_cast<std::uint8_t>(length));
      out.insert(out.end(), line.begin(), line.begin() + static_cast<std::ptrdiff_t>(length));
    }
  }
  out.push_back(gif::kBlockTerminator);
}

// The fixed bytes of an extension at the length its label calls for, so a
// record made by hand cannot shift the blocks that follow.
void PutRecord(std::vector<std::uint8_t>& out, const TExtension& extension, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    out.push_back(i < extension.ExtRecord.size() ? extension.ExtRecord[i] : 0);
  }
}

void PutColorTable(std::vector<std::uint8_t>& out, const TGIFColorTable& table, std::size_t entries) {
  const std::size_t bytes = std::min<std::size_t>(entries, 256) * 3;
  out.insert(out.end(), table.Colors.begin(), table.Colors.begin() + static_cast<std::ptrdiff_t>(bytes));
}

std::uint8_t LabelOf(TGIFExtensionType type) {
  switch (type) {
    case etGraphicControl: return gif::kGraphicControlLabel;
    case etPlainText: return gif::kPlainTextLabel;
    case etApplication: return gif::kApplicationLabel;
    case etComment: return gif::kCommentLabel;
  }
  return gif::kCommentLabel;
}

// The rows bottom-up, as a GIF wants them. One copy per depth, each with the
// coding loop inlined and registers of its own.
template <int Depth>
[[gnu::noinline]] void AddRows(LzwEncoder& encoder, const std::uint8_t* bits, std::size_t stride, int width,
                               int height, const std::function<void(int)>& rowDone) {
  for (int y = 0; y < height; ++y) {
    encoder.Add<Depth>(bits + static_cast<std::size_t>(height - 1 - y) * stride, width);
    if (rowDone) rowDone(y + 1);
  }
}

int PercentOf(int done, int total) {
  return total <= 0 ? 100 : static_cast<int>(std::lround(100.0 * done / total));
}

}  // namespace

std::vector<std::uint8_t> EncodeGIFPixels(const std::uint8_t* bits, std::size_t size, int width, int height,
                                          int depth, const std::function<void(int)>& rowDone) {
  if (depth != 1 && depth != 4 && depth != 8) throw EInvalidGraphicOperation(kEncodingError);
  const std::size_t stride = DibRowStride(width, depth);
  if (width < 0 || height < 0 || size < stride * static_cast<std::size_t>(height)) {
    throw EInvalidGraphicOperation(kEncodingError);
  }
  std::vector<std::uint8_t> out;
  out.reserve(size / 2 + 16);
  LzwEncoder encoder(depth == 1 ? 2 : depth, out);
  switch (depth) {
    case 1: AddRows<1>(encoder, bits, stride, width, height, rowDone); break;
    case 4: AddRows<4>(encoder, bits, stride, width, height, rowDone); break;
    default: AddRows<8>(encoder, bits, stride, width, height, rowDone); break;
  }
  encoder.Finish();
  return out;
}

std::vector<std::uint8_t> EncodeGIFImageData(const TDibImage& image,
                                             const std::function<void(int)>& rowDone) {
  return EncodeGIFPixels(image.bits.data(), image.bits.size(), image.width, image.height,
                         BitsPerPixel(image.format), rowDone);
}

// ---------------------------------------------------------------- TGIFImage writing

void TGIFImage::SaveToStream(std::ostream& stream) {
  WriteGIF(stream, false);
}

void TGIFImage::WriteData(std::ostream& stream) {
  WriteGIF(stream, true);
}

void TGIFImage::WriteGIF(std::ostream& stream, bool withLength) {
  const std::vector<std::uint8_t> gif = BuildGIF();
  if (withLength) {
    const std::uint32_t length = static_cast<std::uint32_t>(gif.size());
    const std::uint8_t prefix[4] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length >> 16),
                                    static_cast<std::uint8_t>(length >> 24)};
    stream.write(reinterpret_cast<const char*>(prefix), 4);
  }
  stream.write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));
}

void TGIFImage::EncodeFrame(TGIFFrame& frame) {
  const TBitmap* bitmap = frame.CurrentBitmap();
  if (bitmap == nullptr || bitmap->Empty()) throw EInvalidGraphicOperation(kNoData);
  Progress(psStarting, 0, std::string());
  try {
    // Palette bitmaps are coded straight from their pixel store; deeper ones
    // through the reduction's file form.
    TBitmap reduced;
    const TBitmap* source = bitmap;
    const int depth = bitmap->BitsPerPixel();
    if (depth != 1 && depth != 4 && depth != 8) {
      const std::vector<std::uint8_t> file =
          ReduceBitmap(bitmap, rt8Bit, frame.Grayscale() ? rmGrey : DefaultReduction());
      std::istringstream in(std::string(file.begin(), file.end()));
      reduced.LoadFromStream(in);
      source = &reduced;
    }
    const int bits = source->BitsPerPixel();
    const int width = source->Width();
    const int height = source->Height();
    if (bits != 1 && bits != 4 && bits != 8) throw EInvalidGraphicOperation(kEncodingError);
    frame.SetInterlaced(false);

    TGIFItem& item = frame.CodedImage();
    item.ColorTable.Clear();
    item.ColorTable.Count = std::min(256u, 1u << bits);
    const auto& palette = source->Palette();
    for (std::size_t i = 0; i < palette.size() && i < item.ColorTable.Count; ++i) {
      item.ColorTable.SetColor(static_cast<int>(i), palette[i].ToColor());
    }
    std::function<void(int)> rowDone;
    if (OnProgress) {
      rowDone = [this, height](int rows) { Progress(psRunning, PercentOf(rows, height), std::string()); };
    }
    item.ImageData = EncodeGIFPixels(source->Bits(), source->RowStride() * static_cast<std::size_t>(height),
                                     width, height, bits, rowDone);
    item.BitsPerPixel = static_cast<std::uint8_t>(GIFBitsForCount(item.ColorTable.Count));
    if (data_->ColorTable.Count > 0) {
      frame.SetLocalColorMap(true);
    } else {
      data_->ColorTable = item.ColorTable;
      data_->BitsPerPixel = item.BitsPerPixel;
      frame.SetLocalColorMap(false);
    }
    item.ImageSize = {width, height};
    const int right = frame.Origin().X + width;
    const int bottom = frame.Origin().Y + height;
    screenWidth_ = static_cast<std::uint16_t>(std::clamp<int>(std::max<int>(screenWidth_, right), 0, 0xFFFF));
    screenHeight_ =
        static_cast<std::uint16_t>(std::clamp<int>(std::max<int>(screenHeight_, bottom), 0, 0xFFFF));
  } catch (const Exception& e) {
    Progress(psEnding, 0, e.Message());
    throw;
  }
  Progress(psEnding, 100, std::string());
}

void TGIFImage::UpdateGraphicControl(TGIFFrame& frame) {
  auto& extensions = frame.Extensions();
  const auto isControl = [](const std::unique_ptr<TExtension>& e) { return e->ExtType == etGraphicControl; };
  const bool needed =
      frame.DelayTime() != 0 || frame.TransparentColor() != clNone || frame.DisposalMethod() != 0;
  if (needed && std::none_of(extensions.begin(), extensions.end(), isControl)) {
    auto control = std::make_unique<TExtension>();
    control->ExtType = etGraphicControl;
    control->ExtRecord = {gif::kGraphicControlBlockSize, 0, 0, 0, 0, gif::kBlockTerminator};
    extensions.push_back(std::move(control));
  }
  const auto last = std::find_if(extensions.rbegin(), extensions.rend(), isControl);
  if (last != extensions.rend()) {
    std::vector<std::uint8_t>& record = (*last)->ExtRecord;
    record.resize(gif::kGraphicControlBytes, 0);
    const unsigned delay = frame.DelayTime() / 10u;
    record[gif::kControlDelayLow] = static_cast<std::uint8_t>(delay & 0xFF);
    record[gif::kControlDelayHigh] = static_cast<std::uint8_t>(delay >> 8);
    const int index = frame.TransparentColor() == clNone
                          ? -1
                          : frame.CodedImage().ColorTable.IndexOf(ColorToRGB(frame.TransparentColor()));
    std::uint8_t& packed = record[gif::kControlPacked];
    if (index >= 0) {
      record[gif::kControlTransparent] = static_cast<std::uint8_t>(index);
      packed |= gif::kControlTransparentFlag;
    } else {
      packed &= static_cast<std::uint8_t>(~gif::kControlTransparentFlag);
    }
    packed = static_cast<std::uint8_t>((packed & gif::kControlKeepMask) |
                                       (frame.DisposalMethod() << gif::kControlDisposalShift));
  }
  std::erase_if(extensions, [](const std::unique_ptr<TExtension>& e) {
    return e->ExtType == etComment && (!e->ExtData || e->ExtData->Count() == 0);
  });
  if (!extensions.empty()) version_ = 2;
}

std::vector<std::uint8_t> TGIFImage::BuildGIF() {
  if (frames_.empty()) throw EInvalidGraphicOperation(kNoData);
  PrepareFrames();
  std::vector<std::uint8_t> out;
  PutScreen(out);
  PutLooping(out);
  for (auto& frame : frames_) PutFrame(out, *frame);
  PutPictureComment(out);
  out.push_back(gif::kTrailer);
  return out;
}

// Every frame gets coded data and an up-to-date graphic control; the version
// follows from what will be written.
void TGIFImage::PrepareFrames() {
  for (auto& frame : frames_) {
    TGIFItem& item = frame->CodedImage();
    if (!item.ImageData || item.ImageData->empty()) {
      item.ImageData.reset();
      EncodeFrame(*frame);
    }
    UpdateGraphicControl(*frame);
  }
  if (data_->Comment.Count() > 0) version_ = 2;
}

// Signature, logical screen descriptor and global colour table.
void TGIFImage::PutScreen(std::vector<std::uint8_t>& out) {
  const char* signature = version_ == 2 ? gif::kSignature89 : gif::kSignature87;
  out.insert(out.end(), signature, signature + gif::kSignatureBytes);
  RecomputeScreenSize();
  PutWord(out, screenWidth_);
  PutWord(out, screenHeight_);
  const TGIFColorTable& global = data_->ColorTable;
  std::uint8_t packed = 0;
  std::uint8_t background = 0;
  if (global.Count > 0) {
    const int e = GIFColorExponent(global.Count);
    // The size field must describe the table actually written.
    packed =
        static_cast<std::uint8_t>(gif::kColorTableFlag | ((e - 1) << gif::kColorResolutionShift) | (e - 1));
    if (backgroundColor_ != clNone) {
      background = static_cast<std::uint8_t>(std::max(global.IndexOf(ColorToRGB(backgroundColor_)), 0));
    }
  }
  out.push_back(packed);
  out.push_back(background);
  out.push_back(data_->AspectRatio);
  if (global.Count > 0) PutColorTable(out, global, global.Count);
}

void TGIFImage::PutLooping(std::vector<std::uint8_t>& out) const {
  if (!looping_ || frames_.size() < 2) return;
  out.push_back(gif::kExtensionIntroducer);
  out.push_back(gif::kApplicationLabel);
  out.push_back(static_cast<std::uint8_t>(gif::kApplicationIdBytes));
  out.insert(out.end(), gif::kLoopId, gif::kLoopId + gif::kApplicationIdBytes);
  out.push_back(gif::kLoopSubBlockBytes);
  out.push_back(gif::kLoopSubBlockId);
  PutWord(out, repeatCount_);
  out.push_back(gif::kBlockTerminator);
}

// The frame's extensions in list order, its image descriptor, local colour
// table and coded data.
void TGIFImage::PutFrame(std::vector<std::uint8_t>& out, TGIFFrame& frame) const {
  for (const auto& extension : frame.Extensions()) {
    out.push_back(gif::kExtensionIntroducer);
    out.push_back(LabelOf(extension->ExtType));
    switch (extension->ExtType) {
      case etGraphicControl: PutRecord(out, *extension, gif::kGraphicControlBytes); break;
      case etPlainText:
        PutRecord(out, *extension, gif::kPlainTextBytes);
        PutSubBlocks(out, extension->ExtData.get());
        break;
      case etApplication:
        PutRecord(out, *extension, gif::kApplicationBytes);
        PutSubBlocks(out, extension->ExtData.get());
        break;
      case etComment: PutSubBlocks(out, extension->ExtData.get()); break;
    }
  }
  TGIFItem& item = frame.CodedImage();
  out.push_back(gif::kImageIntroducer);
  PutWord(out, static_cast<unsigned>(frame.Origin().X));
  PutWord(out, static_cast<unsigned>(frame.Origin().Y));
  PutWord(out, static_cast<unsigned>(item.ImageSize.Width));
  PutWord(out, static_cast<unsigned>(item.ImageSize.Height));
  std::uint8_t descriptor = 0;
  int bits = 0;
  if (frame.LocalColorMap()) {
    bits = std::min(GIFBitsForCount(item.ColorTable.Count), 8);
    item.BitsPerPixel = static_cast<std::uint8_t>(bits);
    descriptor = static_cast<std::uint8_t>(gif::kColorTableFlag + bits - 1);
  }
  if (frame.Interlaced()) descriptor |= gif::kInterlacedFlag;
  out.push_back(descriptor);
  // The descriptor announces 2^bits entries: a shorter table is padded with
  // black so the image data that follows stays where the reader expects it.
  if (frame.LocalColorMap()) PutColorTable(out, item.ColorTable, std::size_t{1} << bits);
  out.insert(out.end(), item.ImageData->begin(), item.ImageData->end());
}

void TGIFImage::PutPictureComment(std::vector<std::uint8_t>& out) const {
  if (data_->Comment.Count() == 0) return;
  out.push_back(gif::kExtensionIntroducer);
  out.push_back(gif::kCommentLabel);
  PutSubBlocks(out, &data_->Comment);
}

}  // namespace qv
