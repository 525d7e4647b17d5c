#include "toolkit/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "toolkit/BmpCodec.h"
#include "toolkit/Canvas.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr TColor kWhiteRGB = 0xFFFFFF;

unsigned ReadIndex(const std::uint8_t* row, int x, int bits) noexcept {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    default: return row[x];
  }
}

void WriteIndex(std::uint8_t* row, int x, int bits, unsigned index) noexcept {
  switch (bits) {
    case 1: {
      const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
      if (index & 1u) {
        row[x >> 3] |= mask;
      } else {
        row[x >> 3] &= static_cast<std::uint8_t>(~mask);
      }
      break;
    }
    case 4: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0u) | (index & 0x0Fu))
                  : static_cast<std::uint8_t>((b & 0x0Fu) | ((index & 0x0Fu) << 4));
      break;
    }
    default: row[x] = static_cast<std::uint8_t>(index); break;
  }
}

TPixelFormat Resolve(TPixelFormat format) {
  return format == pfDevice ? kDevicePixelFormat : format;
}

std::size_t PaletteCapacity(TPixelFormat format) {
  return IsIndexed(format) ? (std::size_t{1} << qv::BitsPerPixel(format)) : 0;
}

}  // namespace

void CheckBitmapLimits(int width, int height, TPixelFormat format) {
  if (width > kMaxBitmapSide || height > kMaxBitmapSide ||
      DibRowStride(width, qv::BitsPerPixel(format)) * static_cast<std::size_t>(std::max(height, 0)) >
          kMaxBitmapBytes) {
    throw EInvalidGraphicOperation(
        Format("Bitmap of %d x %d pixels is beyond the limit of %d pixels a side and %d MB", width, height,
               kMaxBitmapSide, static_cast<int>(kMaxBitmapBytes >> 20)));
  }
}

int BitsPerPixel(TPixelFormat format) {
  switch (Resolve(format)) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf24bit: return 24;
    default: return 32;
  }
}

bool IsIndexed(TPixelFormat format) {
  return format == pf1bit || format == pf4bit || format == pf8bit;
}

std::size_t DibRowStride(int width, int bitsPerPixel) {
  if (width <= 0) return 0;
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32) * 4;
}

// ---------------------------------------------------------------------------

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

void TBitmap::SetSize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == width_ && height == height_) return;
  CheckBitmapLimits(width, height, format_);
  Reallocate(width, height, format_, true);
  Changed();
}

TColor TBitmap::FillColorForNewArea() const {
  return canvas_ ? (ColorToRGB(canvas_->Brush().Color()) & 0xFFFFFF) : kWhiteRGB;
}

void TBitmap::Reallocate(int width, int height, TPixelFormat format, bool keepImage) {
  const std::size_t stride = DibRowStride(width, qv::BitsPerPixel(format));
  const int oldWidth = width_, oldHeight = height_;
  const std::size_t oldStride = stride_;
  std::vector<std::uint8_t> old = std::move(bits_);

  const TColor fill = FillColorForNewArea();
  bits_.assign(stride * static_cast<std::size_t>(height), 0);
  width_ = width;
  height_ = height;
  stride_ = stride;
  format_ = format;
  cachedColor_ = 0xFFFFFFFF;
  if (height_ > 0 && width_ > 0) {
    // One row is painted pixel by pixel, the others are copies of it.
    FillSpanRGB(height_ - 1, 0, width_, fill);
    for (int y = 0; y + 1 < height_; ++y) std::memcpy(RowFromTop(y), RowFromTop(height_ - 1), stride_);
  }

  const int rows = std::min(oldHeight, height_);
  const int cols = std::min(oldWidth, width_);
  if (!keepImage || rows <= 0 || cols <= 0) return;
  const int bits = qv::BitsPerPixel(format_);
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* src = old.data() + static_cast<std::size_t>(oldHeight - 1 - y) * oldStride;
    std::uint8_t* dst = RowFromTop(y);
    if (bits >= 8) {
      std::memcpy(dst, src, static_cast<std::size_t>(cols) * static_cast<std::size_t>(bits / 8));
    } else {
      for (int x = 0; x < cols; ++x) WriteIndex(dst, x, bits, ReadIndex(src, x, bits));
    }
  }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  format = Resolve(format);
  if (format == format_) return;
  std::vector<TPaletteEntry> palette;
  if (IsIndexed(format)) {
    const bool keep = IsIndexed(format_) && !palette_.empty() && palette_.size() <= PaletteCapacity(format);
    palette = keep ? palette_ : DefaultPalette(format);
  }
  ConvertPixels(format, std::move(palette));
  Changed();
}

void TBitmap::ConvertToIndexed(TPixelFormat format, std::vector<TPaletteEntry> palette) {
  if (!IsIndexed(format) || palette.empty()) {
    throw EInvalidGraphicOperation("A palette conversion needs a 1-, 4- or 8-bit format and a palette");
  }
  if (palette.size() > PaletteCapacity(format)) palette.resize(PaletteCapacity(format));
  ConvertPixels(format, std::move(palette));
  Changed();
}

void TBitmap::ConvertPixels(TPixelFormat format, std::vector<TPaletteEntry> palette) {
  CheckBitmapLimits(width_, height_, format);
  const std::size_t stride = DibRowStride(width_, qv::BitsPerPixel(format));
  std::vector<std::uint8_t> bits(stride * static_cast<std::size_t>(height_), 0);
  const int targetBits = qv::BitsPerPixel(format);
  std::unordered_map<TColor, unsigned> nearest;  // photos repeat colours a lot
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* dst = bits.data() + static_cast<std::size_t>(height_ - 1 - y) * stride;
    for (int x = 0; x < width_; ++x) {
      const TColor rgb = PixelRGB(x, y);
      if (IsIndexed(format)) {
        auto it = nearest.find(rgb);
        if (it == nearest.end()) {
          it = nearest.emplace(rgb, static_cast<unsigned>(NearestIndex(palette, rgb))).first;
        }
        WriteIndex(dst, x, targetBits, it->second);
      } else {
        std::uint8_t* p = dst + static_cast<std::size_t>(x) * static_cast<std::size_t>(targetBits / 8);
        p[0] = GetBValue(rgb);
        p[1] = GetGValue(rgb);
        p[2] = GetRValue(rgb);
        if (targetBits == 32) p[3] = 0;
      }
    }
  }
  bits_ = std::move(bits);
  stride_ = stride;
  format_ = format;
  palette_ = IsIndexed(format) ? std::move(palette) : std::vector<TPaletteEntry>{};
  cachedColor_ = 0xFFFFFFFF;
}

void TBitmap::SetPalette(std::vector<TPaletteEntry> palette) {
  if (!IsIndexed(format_)) return;
  if (palette.size() > PaletteCapacity(format_)) palette.resize(PaletteCapacity(format_));
  palette_ = std::move(palette);
  cachedColor_ = 0xFFFFFFFF;
  Changed();
}

std::vector<TPaletteEntry> TBitmap::DefaultPalette(TPixelFormat format) {
  static constexpr TPaletteEntry kStandard16[16] = {
      {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
      {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
      {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  switch (Resolve(format)) {
    case pf1bit: return {{0, 0, 0}, {255, 255, 255}};
    case pf4bit: return {std::begin(kStandard16), std::end(kStandard16)};
    case pf8bit: {
      std::vector<TPaletteEntry> p(std::begin(kStandard16), std::end(kStandard16));
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b)
            p.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                         static_cast<std::uint8_t>(b * 51)});
      for (int i = 0; i < 24; ++i) {
        const auto v = static_cast<std::uint8_t>(8 + 10 * i);
        p.push_back({v, v, v});
      }
      return p;
    }
    default: return {};
  }
}

int TBitmap::NearestIndex(const std::vector<TPaletteEntry>& palette, TColor rgb) {
  int best = 0;
  long bestDistance = -1;
  const int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = palette[i].Red - r, dg = palette[i].Green - g, db = palette[i].Blue - b;
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

int TBitmap::IndexFor(TColor rgb) const noexcept {
  if (rgb != cachedColor_) {
    cachedIndex_ = NearestIndex(palette_, rgb);
    cachedColor_ = rgb;
  }
  return cachedIndex_;
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return RowFromTop(y);
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
  return RowFromTop(y);
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    throw EInvalidGraphicOperation("Pixel position out of range");
  }
  return PixelRGB(x, y);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    throw EInvalidGraphicOperation("Pixel position out of range");
  }
  PutPixelRGB(x, y, ColorToRGB(color) & 0xFFFFFF);
  Changed();
}

TColor TBitmap::PixelRGB(int x, int y) const noexcept {
  const std::uint8_t* row = RowFromTop(y);
  switch (format_) {
    case pf24bit: {
      const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
      return RGB(p[2], p[1], p[0]);
    }
    case pf32bit: {
      const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
      return RGB(p[2], p[1], p[0]);
    }
    default: {
      const unsigned index = ReadIndex(row, x, BitsPerPixel());
      // An index beyond a short colour table shows black, as display drivers do.
      return index < palette_.size() ? palette_[index].ToColor() : clBlack;
    }
  }
}

void TBitmap::PutPixelRGB(int x, int y, TColor rgb) noexcept {
  std::uint8_t* row = RowFromTop(y);
  switch (format_) {
    case pf24bit: {
      std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
      p[0] = GetBValue(rgb);
      p[1] = GetGValue(rgb);
      p[2] = GetRValue(rgb);
      break;
    }
    case pf32bit: {
      std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
      p[0] = GetBValue(rgb);
      p[1] = GetGValue(rgb);
      p[2] = GetRValue(rgb);
      p[3] = 0;
      break;
    }
    default: WriteIndex(row, x, BitsPerPixel(), static_cast<unsigned>(IndexFor(rgb))); break;
  }
}

void TBitmap::FillSpanRGB(int y, int x0, int x1, TColor rgb) noexcept {
  if (x0 >= x1) return;
  std::uint8_t* row = RowFromTop(y);
  if (format_ == pf32bit) {
    const std::uint8_t px[4] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb), 0};
    for (int x = x0; x < x1; ++x) std::memcpy(row + static_cast<std::size_t>(x) * 4, px, 4);
  } else if (format_ == pf24bit) {
    const std::uint8_t px[3] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};
    for (int x = x0; x < x1; ++x) std::memcpy(row + static_cast<std::size_t>(x) * 3, px, 3);
  } else {
    const auto index = static_cast<unsigned>(IndexFor(rgb));
    for (int x = x0; x < x1; ++x) WriteIndex(row, x, BitsPerPixel(), index);
  }
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == transparentMode_) return;
  transparentMode_ = mode;
  if (mode == tmAuto) transparentColor_ = clDefault;
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == tmFixed) return transparentColor_;
  if (Empty()) return clNone;
  return PixelRGB(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TCanvas>(*this);
    canvas_->OnChange = [this](TObject*) { Changed(); };
  }
  return *canvas_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  TBlitOptions options;
  options.mode = canvas.CopyMode();
  if (Transparent()) {
    options.keyed = true;
    options.key = ColorToRGB(TransparentColor()) & 0xFFFFFF;
  }
  canvas.StretchBlit(rect, *this, Rect(0, 0, width_, height_), options);
}

void TBitmap::LoadFromStream(std::istream& stream) {
  const std::vector<std::uint8_t> file = TBmpCodec::ReadFileBytes(stream);
  SetImage(TBmpCodec::Decode(file));
}

void TBitmap::SaveToStream(std::ostream& stream) {
  TBmpCodec::Write(*this, stream);
}

void TBitmap::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    Reallocate(0, 0, format_, false);
    Changed();
    return;
  }
  const auto* other = dynamic_cast<const TBitmap*>(source);
  if (other == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  bits_ = other->bits_;
  palette_ = other->palette_;
  width_ = other->width_;
  height_ = other->height_;
  stride_ = other->stride_;
  format_ = other->format_;
  transparentMode_ = other->transparentMode_;
  transparentColor_ = other->transparentColor_;
  cachedColor_ = 0xFFFFFFFF;
  if (Transparent() != other->Transparent()) {
    SetTransparent(other->Transparent());  // fires Changed itself
    return;
  }
  Changed();
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(this);
  return copy;
}

void TBitmap::SetImage(TDibImage image) {
  const TPixelFormat format = Resolve(image.format);
  if (image.width < 0 || image.height < 0) {
    throw EInvalidGraphicOperation("Bitmap image has a negative size");
  }
  CheckBitmapLimits(image.width, image.height, format);
  const std::size_t stride = DibRowStride(image.width, qv::BitsPerPixel(format));
  if (image.bits.size() != stride * static_cast<std::size_t>(image.height)) {
    throw EInvalidGraphicOperation("Bitmap image data does not match its size");
  }
  if (IsIndexed(format)) {
    if (image.palette.size() > PaletteCapacity(format)) image.palette.resize(PaletteCapacity(format));
  } else {
    image.palette.clear();
  }
  bits_ = std::move(image.bits);
  palette_ = std::move(image.palette);
  width_ = image.width;
  height_ = image.height;
  stride_ = stride;
  format_ = format;
  cachedColor_ = 0xFFFFFFFF;
  Changed();
}

TDibImage TBitmap::Image() const {
  TDibImage image;
  image.width = width_;
  image.height = height_;
  image.format = format_;
  image.palette = palette_;
  image.bits = bits_;
  return image;
}

}  // namespace qv
