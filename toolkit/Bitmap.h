// TBitmap: a device-independent raster picture. Pixels are kept in the layout of
// the BMP file form (bottom row first, each row padded to a multiple of 4 bytes,
// 24- and 32-bit pixels as blue, green, red[, unused]) so file reading, writing
// and scan-line users need no conversion; ScanLine(y) still counts y from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/Colors.h"
#include "toolkit/Graphic.h"

namespace qv {

enum TPixelFormat : unsigned char {
  pfDevice,  // "whatever the display uses": stored as kDevicePixelFormat
  pf1bit,
  pf4bit,
  pf8bit,
  pf24bit,
  pf32bit,
};

constexpr TPixelFormat kDevicePixelFormat = pf24bit;

enum TTransparentMode : unsigned char {
  tmAuto,   // the bottom-left pixel's colour is the transparent one
  tmFixed,  // TransparentColor as set
};

// Limits that keep a hostile file or a runaway size from exhausting memory.
constexpr int kMaxBitmapSide = 16384;
constexpr std::size_t kMaxBitmapBytes = std::size_t{256} << 20;

struct TPaletteEntry {
  std::uint8_t Red = 0, Green = 0, Blue = 0;
  constexpr TColor ToColor() const { return RGB(Red, Green, Blue); }
  static constexpr TPaletteEntry FromColor(TColor rgb) {
    return {GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)};
  }
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

int BitsPerPixel(TPixelFormat format);  // 0 for pfDevice's own value is never returned
bool IsIndexed(TPixelFormat format);
// Bytes of one stored row: width * bits rounded up to a multiple of 32 bits.
std::size_t DibRowStride(int width, int bitsPerPixel);
// Raises EInvalidGraphicOperation when an image of that size and format would
// pass kMaxBitmapSide or kMaxBitmapBytes.
void CheckBitmapLimits(int width, int height, TPixelFormat format);

// A whole image in the stored layout; what the file codec produces and consumes.
struct TDibImage {
  int width = 0;
  int height = 0;
  TPixelFormat format = kDevicePixelFormat;
  std::vector<TPaletteEntry> palette;  // indexed formats only, at most 2^bits entries
  std::vector<std::uint8_t> bits;      // DibRowStride(width, bits) * height bytes, bottom row first
};

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetWidth(int width) override { SetSize(width, height_); }
  void SetHeight(int height) override { SetSize(width_, height); }
  // Keeps the image at the top-left; new area takes the canvas brush colour
  // (white until a canvas was used). Negative sizes count as 0. Raises
  // EInvalidGraphicOperation beyond kMaxBitmapSide or kMaxBitmapBytes.
  void SetSize(int width, int height);
  bool Empty() const override { return width_ == 0 || height_ == 0; }

  // Never pfDevice: that request is stored as kDevicePixelFormat.
  TPixelFormat PixelFormat() const { return format_; }
  // Converts the pixels. To an indexed format every colour goes to its nearest
  // entry of the palette kept from an indexed source when it fits, else of
  // DefaultPalette(format).
  void SetPixelFormat(TPixelFormat format);
  // Converts to an indexed format with the given palette (nearest entry).
  void ConvertToIndexed(TPixelFormat format, std::vector<TPaletteEntry> palette);
  int BitsPerPixel() const { return qv::BitsPerPixel(format_); }

  // The colour table of an indexed bitmap (empty otherwise). Setting it keeps the
  // pixel indexes, as a colour-table change does; extra entries beyond 2^bits
  // are dropped. Ignored for 24- and 32-bit bitmaps.
  const std::vector<TPaletteEntry>& Palette() const { return palette_; }
  void SetPalette(std::vector<TPaletteEntry> palette);
  // 2 entries black/white; the 16 standard colours; those plus a 6x6x6 colour
  // cube and a grey ramp for 8 bits.
  static std::vector<TPaletteEntry> DefaultPalette(TPixelFormat format);
  // Index of the entry nearest to `rgb` (squared RGB distance, lowest index on ties).
  static int NearestIndex(const std::vector<TPaletteEntry>& palette, TColor rgb);

  // Row y counted from the top; raises EInvalidGraphicOperation out of range.
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  std::size_t RowStride() const { return stride_; }
  // The whole pixel store, bottom row first.
  std::uint8_t* Bits() { return bits_.data(); }
  const std::uint8_t* Bits() const { return bits_.data(); }

  // Checked pixel access in RGB (system colours are resolved on the way in).
  // Raises EInvalidGraphicOperation outside the bitmap.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  // Unchecked access for the raster code: (x, y) must lie inside the bitmap and
  // `rgb` must be a plain RGB value. Indexed pixels take the nearest entry.
  TColor PixelRGB(int x, int y) const noexcept;
  void PutPixelRGB(int x, int y, TColor rgb) noexcept;
  // Fills columns [x0, x1) of row y with one colour; unchecked like PutPixelRGB.
  void FillSpanRGB(int y, int x0, int x1, TColor rgb) noexcept;

  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);
  // tmAuto: the colour of the bottom-left pixel (clNone while empty).
  TColor TransparentColor() const;
  // Stores the colour and switches to tmFixed; clDefault switches back to tmAuto.
  void SetTransparentColor(TColor color);

  // The canvas that draws on this bitmap; made on first use, owned.
  TCanvas& Canvas();

  void Draw(TCanvas& canvas, const TRect& rect) override;
  // BMP file form. Reading accepts the usual header versions, 1 to 32 bits per
  // pixel and the RLE and bit-field encodings; writing produces the plain 40-byte
  // header form without compression.
  void LoadFromStream(std::istream& stream) override;
  void SaveToStream(std::ostream& stream) override;
  void Assign(const TGraphic* source) override;
  std::unique_ptr<TGraphic> Clone() const override;

  // Replaces the whole image (validated: sizes, limits, buffer length, palette).
  void SetImage(TDibImage image);
  // A copy of the whole image.
  TDibImage Image() const;

  // Lets code that wrote through ScanLine or Bits tell listeners.
  void Modified() { Changed(); }

 private:
  void Reallocate(int width, int height, TPixelFormat format, bool keepImage);
  void ConvertPixels(TPixelFormat format, std::vector<TPaletteEntry> palette);
  TColor FillColorForNewArea() const;
  std::uint8_t* RowFromTop(int y) noexcept {
    return bits_.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
  }
  const std::uint8_t* RowFromTop(int y) const noexcept {
    return bits_.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
  }
  int IndexFor(TColor rgb) const noexcept;

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = kDevicePixelFormat;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> bits_;
  std::vector<TPaletteEntry> palette_;
  TTransparentMode transparentMode_ = tmAuto;
  TColor transparentColor_ = clDefault;
  std::unique_ptr<TCanvas> canvas_;
  // One-entry cache for indexed drawing: the last colour asked for and its index.
  mutable TColor cachedColor_ = 0xFFFFFFFF;
  mutable int cachedIndex_ = 0;
};

}  // namespace qv
