#include "imaging/Icon.h"

#include <istream>
#include <ostream>

#include "imaging/ImgList.h"
#include "toolkit/Canvas.h"
#include "toolkit/SysUtils.h"

namespace qv {

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::SetWidth(int) {
  throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::SetHeight(int) {
  throw EInvalidGraphicOperation("Cannot change the size of an icon");
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  const TRect whole = Rect(0, 0, image_.Width(), image_.Height());
  TBlitOptions blend;
  blend.sourceAlpha = true;
  canvas.StretchBlit(rect, image_, whole, blend);
  if (!inversion_.Empty()) {
    TBlitOptions invert;
    invert.mode = cmSrcInvert;
    invert.keyed = true;  // black leaves the target as it is anyway; skip it
    invert.key = clBlack;
    canvas.StretchBlit(rect, inversion_, whole, invert);
  }
}

void TIcon::LoadFromStream(std::istream& stream) {
  std::vector<std::uint8_t> data = TIconCodec::ReadFileBytes(stream);
  TDecodedIcon decoded = TIconCodec::Decode(data);
  Take(std::move(data), std::move(decoded));
}

void TIcon::SaveToStream(std::ostream& stream) {
  stream.write(reinterpret_cast<const char*>(data_.data()), static_cast<std::streamsize>(data_.size()));
  if (!stream) throw EWriteError("Stream write error");
}

void TIcon::LoadFromBytes(std::span<const std::uint8_t> file) {
  TDecodedIcon decoded = TIconCodec::Decode(file);
  Take(std::vector<std::uint8_t>(file.begin(), file.end()), std::move(decoded));
}

void TIcon::Take(std::vector<std::uint8_t> data, TDecodedIcon decoded) {
  TBitmap image, inversion;
  image.SetImage(std::move(decoded.pixels));
  if (!decoded.inversion.bits.empty()) inversion.SetImage(std::move(decoded.inversion));
  data_ = std::move(data);
  image_.Assign(&image);
  inversion_.Assign(&inversion);
  resourceType_ = decoded.resourceType;
  hotSpot_ = decoded.hotSpot;
  imageCount_ = static_cast<int>(decoded.entries.size());
  bitCount_ = decoded.bitCount;
  Changed();
}

void TIcon::Clear() {
  data_.clear();
  image_.Assign(nullptr);
  inversion_.Assign(nullptr);
  resourceType_ = 0;
  hotSpot_ = TPoint{};
  imageCount_ = 0;
  bitCount_ = 0;
}

void TIcon::CopyFrom(const TIcon& other) {
  data_ = other.data_;
  image_.Assign(&other.image_);
  inversion_.Assign(&other.inversion_);
  resourceType_ = other.resourceType_;
  hotSpot_ = other.hotSpot_;
  imageCount_ = other.imageCount_;
  bitCount_ = other.bitCount_;
}

void TIcon::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    Clear();
    Changed();
    return;
  }
  if (const auto* icon = dynamic_cast<const TIcon*>(source)) {
    CopyFrom(*icon);
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

std::unique_ptr<TGraphic> TIcon::Clone() const {
  auto copy = std::make_unique<TIcon>();
  copy->CopyFrom(*this);
  return copy;
}

TIcon& ApplicationIcon() {
  static TIcon icon;
  return icon;
}

}  // namespace qv
