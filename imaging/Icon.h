// TIcon: an icon or cursor picture read from the ICO/CUR file form. It shows
// the image of its file nearest to 32 x 32 pixels, drawn with its mask or
// alpha channel, and keeps the file's bytes so it can be written back as read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "imaging/IconCodec.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Graphic.h"

namespace qv {

class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;

  int Width() const override { return image_.Width(); }
  int Height() const override { return image_.Height(); }
  // An icon keeps the size of its image: raises EInvalidGraphicOperation.
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  bool Empty() const override { return image_.Empty(); }

  // Pixels under a clear mask bit (or with alpha 0) are left as they were;
  // mask bits over a colour invert what lies below, as cursors expect.
  void Draw(TCanvas& canvas, const TRect& rect) override;

  // One ICO or CUR file from the stream's position. On failure the icon keeps
  // what it held and the error is raised.
  void LoadFromStream(std::istream& stream) override;
  // The file's bytes as loaded; an empty icon writes nothing.
  void SaveToStream(std::ostream& stream) override;
  // A whole file held in memory.
  void LoadFromBytes(std::span<const std::uint8_t> file);
  const std::vector<std::uint8_t>& Data() const { return data_; }

  // Null empties the icon; another icon is copied; other classes are refused.
  void Assign(const TGraphic* source) override;
  std::unique_ptr<TGraphic> Clone() const override;

  // 1 for an icon, 2 for a cursor, 0 while empty.
  int ResourceType() const { return resourceType_; }
  // A cursor's hot spot from its directory; (0, 0) for icons.
  TPoint HotSpot() const { return hotSpot_; }
  int ImageCount() const { return imageCount_; }
  // Bits per pixel of the image shown (32 for PNG-coded images).
  int BitCount() const { return bitCount_; }
  // The image shown: 32 bits, the fourth byte its coverage (0 transparent).
  const TBitmap& Image() const { return image_; }

 private:
  void Clear();
  void Take(std::vector<std::uint8_t> data, TDecodedIcon decoded);
  void CopyFrom(const TIcon& other);

  std::vector<std::uint8_t> data_;
  TBitmap image_;
  TBitmap inversion_;  // empty when nothing inverts
  int resourceType_ = 0;
  TPoint hotSpot_;
  int imageCount_ = 0;
  int bitCount_ = 0;
};

}  // namespace qv
