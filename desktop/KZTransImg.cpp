#include "desktop/KZTransImg.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "toolkit/Forms.h"

namespace qv {

TKZTransImage::TKZTransImage(TComponent* owner) : TImage(owner) {
  adjustFormSize_ = true;
  transColor_ = clWhite;
  SetAlign(TAlign::alClient);
}

namespace {

// The scan looks at a row in blocks of this many pixels. Its result for a
// block is a mask, bit j set when pixel x + j has the key colour.
constexpr int kBlock = 16;
using KeyMask = std::uint32_t;

// Pixels of exactly `r`, `g`, `b` in 24-bit (B, G, R) or 32-bit (B, G, R,
// unused) rows.
class KeyColour {
 public:
  KeyColour(std::uint8_t r, std::uint8_t g, std::uint8_t b, int bytesPerPixel)
      : r_(r), g_(g), b_(b), bytes_(bytesPerPixel) {
#if defined(__SSE2__)
    alignas(16) std::uint8_t pattern[3 * kBlock];
    for (int i = 0; i < 3 * kBlock; i += 3) {
      pattern[i] = b;
      pattern[i + 1] = g;
      pattern[i + 2] = r;
    }
    for (int i = 0; i < 3; ++i) pattern24_[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern) + i);
    key32_ = _mm_set1_epi32(static_cast<int>(b | g << 8 | r << 16));
#endif
  }

  // The key mask of the `count` (at most kBlock) pixels from x on.
  KeyMask Block(const std::uint8_t* row, int x, int count) const {
#if defined(__SSE2__)
    if (count == kBlock) {
      if (bytes_ == 4) return Block32(row + 4 * x);
      if (const std::optional<KeyMask> uniform = Uniform24(row + 3 * x)) return *uniform;
    }
#endif
    KeyMask mask = 0;
    for (int j = 0; j < count; ++j) {
      const std::uint8_t* p = row + bytes_ * (x + j);
      mask |= static_cast<KeyMask>(p[0] == b_ && p[1] == g_ && p[2] == r_) << j;
    }
    return mask;
  }

  // The first x from `x` on, in steps of whole blocks, where a block is not
  // all `keyed` (all key) or all opaque (not `keyed`); `width` when none.
  // Runs of a picture are long, so most of a row goes by here, a few vector
  // compares a block.
  int SkipUniform(const std::uint8_t* row, int x, int width, bool keyed) const {
#if defined(__SSE2__)
    const KeyMask wanted = keyed ? 0xFFFF : 0;
    if (bytes_ == 4) {
      while (x + kBlock <= width && Block32(row + 4 * x) == wanted) x += kBlock;
    } else {
      while (x + kBlock <= width && Uniform24(row + 3 * x) == wanted) x += kBlock;
    }
#else
    (void)row;
    (void)width;
    (void)keyed;
#endif
    return x;
  }

 private:
#if defined(__SSE2__)
  // 16 pixels of 32 bits: the unused byte masked off, four pixels a compare.
  KeyMask Block32(const std::uint8_t* p) const {
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
    KeyMask mask = 0;
    for (int i = 0; i < 4; ++i) {
      const __m128i px = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + i), rgb);
      const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(px, key32_)));
      mask |= static_cast<KeyMask>(same) << (4 * i);
    }
    return mask;
  }

  // 16 pixels of 24 bits (48 bytes) against the key repeated: the mask when
  // all or none of them have the key colour; a mixed block is left to the
  // pixel by pixel test.
  std::optional<KeyMask> Uniform24(const std::uint8_t* p) const {
    std::uint64_t bytes = 0;  // bit i: byte i equals the pattern's
    for (int i = 0; i < 3; ++i) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p) + i);
      const auto same = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern24_[i])));
      bytes |= static_cast<std::uint64_t>(same) << (16 * i);
    }
    constexpr std::uint64_t kFirstBytes = 0x249249249249;  // bits 0, 3, ..., 45
    const std::uint64_t pixels = bytes & bytes >> 1 & bytes >> 2 & kFirstBytes;
    if (pixels == 0) return KeyMask{0};
    if (pixels == kFirstBytes) return KeyMask{0xFFFF};
    return std::nullopt;
  }

  __m128i pattern24_[3];
  __m128i key32_;
#endif
  std::uint8_t r_, g_, b_;
  int bytes_;
};

// Appends the runs of one row: each maximal stretch of pixels that do not
// have the key colour, as a one-row rectangle, left to right.
void AppendRuns(std::vector<TRect>& out, int y, int width, const std::uint8_t* row, const KeyColour& key) {
  bool inRun = false;
  int start = 0;
  for (int x = key.SkipUniform(row, 0, width, true); x < width; x = key.SkipUniform(row, x, width, !inRun)) {
    const int count = std::min(kBlock, width - x);
    const KeyMask keyed = key.Block(row, x, count);
    const KeyMask opaque = ~keyed & ((KeyMask{1} << count) - 1);
    for (int j = 0;;) {
      const KeyMask ahead = (inRun ? keyed : opaque) >> j;
      if (ahead == 0) break;
      j += std::countr_zero(ahead);
      if (inRun) out.push_back(Rect(start, y, x + j, y + 1));
      start = x + j;
      inRun = !inRun;
    }
    x += count;
  }
  if (inRun) out.push_back(Rect(start, y, width, y + 1));
}

}  // namespace

std::optional<std::vector<TRect>> BuildShapeRegion(const TBitmap* bitmap, TColor key) {
  if (bitmap == nullptr || bitmap->Empty()) return std::nullopt;
  const TColor rgb = ColorToRGB(key);
  const int w = bitmap->Width(), h = bitmap->Height();
  // Every pixel is compared as B, G, R; depths other than 24 and 32 bits are
  // read through a 32-bit copy so that each pixel reads the same way.
  TBitmap converted;
  const TBitmap* source = bitmap;
  if (bitmap->PixelFormat() != pf32bit && bitmap->PixelFormat() != pf24bit) {
    converted.Assign(bitmap);
    converted.SetPixelFormat(pf32bit);
    source = &converted;
  }
  const KeyColour colour(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb),
                         source->PixelFormat() == pf32bit ? 4 : 3);
  std::vector<TRect> rects;
  rects.reserve(static_cast<size_t>(h) * 2);
  for (int y = 0; y < h; ++y) AppendRuns(rects, y, w, source->ScanLine(y), colour);
  return rects;
}

void TKZTransImage::UpdateShape() {
  TWinControl* parent = Parent();
  if (parent == nullptr) return;
  auto* form = dynamic_cast<TForm*>(parent);
  if (form != nullptr) {
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    if (adjustFormSize_) {
      SetAlign(TAlign::alClient);
      SetAutoSize(true);
      form->SetBounds(form->Left(), form->Top(), Picture().Width(), Picture().Height());
    }
  }
  const TBitmap* bitmap = Picture().Graphic() != nullptr ? &Picture().Bitmap() : nullptr;
  std::optional<std::vector<TRect>> region = BuildShapeRegion(bitmap, transColor_);
  if (form != nullptr) {
    if (region)
      form->SetShape(std::move(*region));
    else
      form->ClearShape();
  } else if (parent->Peer() != nullptr) {
    // Any other windowed parent takes the outline on its own window.
    if (region) {
      std::vector<platform::PeerRect> rects;
      rects.reserve(region->size());
      for (const TRect& rc : *region) rects.push_back({rc.Left, rc.Top, rc.Right, rc.Bottom});
      parent->Peer()->SetShape(rects);
    } else {
      parent->Peer()->ClearShape();
    }
  }
}

}  // namespace qv
