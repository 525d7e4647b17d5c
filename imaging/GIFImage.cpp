#include "imaging/GIFImage.h"
#include "toolkit/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "imaging/GIFDecoder.h"
#include "imaging/GIFFormat.h"
#include "platform/Clipboard.h"
#include "platform/Services.h"
#include "toolkit/Canvas.h"
#include "toolkit/Picture.h"

namespace qv {

namespace {

bool gIgnoreCorrupt = true;

constexpr const char* kWrongColors = "Wrong number of colors; must be a power of 2";
constexpr const char* kReadError = "Stream read error";
constexpr const char* kSizeError = "Cannot change the Size of a GIF image";
constexpr const char* kPictureTooLarge = "GIF image too large: its decoded frames would pass 256 MB";

int DepthForBits(int bitsPerPixel) {
  if (bitsPerPixel == 1) return 1;
  if (bitsPerPixel >= 2 && bitsPerPixel <= 4) return 4;
  if (bitsPerPixel >= 5 && bitsPerPixel <= 8) return 8;
  throw EInvalidGraphicOperation(kWrongColors);
}

TPixelFormat FormatForDepth(int depth) {
  return depth == 1 ? pf1bit : depth == 4 ? pf4bit : pf8bit;
}

}  // namespace

bool GIFIgnoreCorrupt() {
  return gIgnoreCorrupt;
}

void SetGIFIgnoreCorrupt(bool value) {
  gIgnoreCorrupt = value;
}

// ---------------------------------------------------------------- colour tables

TColor TGIFColorTable::Color(int index) const {
  const auto i = static_cast<std::size_t>(index) * 3;
  return RGB(Colors[i], Colors[i + 1], Colors[i + 2]);
}

void TGIFColorTable::SetColor(int index, TColor rgb) {
  const auto i = static_cast<std::size_t>(index) * 3;
  Colors[i] = GetRValue(rgb);
  Colors[i + 1] = GetGValue(rgb);
  Colors[i + 2] = GetBValue(rgb);
}

int TGIFColorTable::IndexOf(TColor rgb) const {
  const int count = static_cast<int>(std::min<std::uint32_t>(Count, 256));
  for (int i = 0; i < count; ++i) {
    if (Color(i) == (rgb & 0xFFFFFF)) return i;
  }
  return -1;
}

int GIFColorExponent(std::uint32_t count) {
  for (int e = 1; e <= 8; ++e) {
    if (count == (1u << e)) return e;
  }
  throw EInvalidGraphicOperation(kWrongColors);
}

int GIFBitsForCount(std::uint32_t count) {
  int bits = 1;
  while (bits < 31 && (1u << bits) < count) ++bits;
  return bits;
}

// ---------------------------------------------------------------- shared parts

void TSharedImage::Release() noexcept {
  if (refCount_ <= 0) return;
  if (--refCount_ == 0) {
    FreeHandle();
    delete this;
  }
}

void TGIFData::FreeHandle() noexcept {
  Comment.Clear();
  ColorTable.Clear();
}

void TGIFItem::FreeHandle() noexcept {
  ImageData.reset();
  ColorTable.Clear();
}

std::unique_ptr<TExtension> TExtension::Copy() const {
  auto copy = std::make_unique<TExtension>();
  copy->ExtType = ExtType;
  copy->ExtRecord = ExtRecord;
  if (ExtData) {
    copy->ExtData = std::make_unique<TStringList>();
    copy->ExtData->Assign(*ExtData);
  }
  return copy;
}

// ---------------------------------------------------------------- frames

TGIFFrame::TGIFFrame(TGIFImage* owner) : owner_(owner), item_(TSharedRef<TGIFItem>::Make()) {}

TGIFFrame::~TGIFFrame() = default;

void TGIFFrame::Reset() {
  item_ = TSharedRef<TGIFItem>::Make();
  extensions_.clear();
  grayscale_ = false;
  corrupted_ = false;
  transparentColor_ = clNone;
  origin_ = TPoint{};
  interlaced_ = false;
  localColorMap_ = false;
  delayTime_ = 0;
  disposalMethod_ = 0;
}

TBitmap& TGIFFrame::Bitmap() {
  if ((!bitmap_ || bitmap_->Empty()) && item_->ImageData && !item_->ImageData->empty()) Decode();
  if (!bitmap_) bitmap_ = std::make_unique<TBitmap>();
  return *bitmap_;
}

void TGIFFrame::Decode() {
  if (!item_->ImageData) return;
  const int depth = DepthForBits(item_->BitsPerPixel);
  const TPixelFormat format = FormatForDepth(depth);
  const int width = item_->ImageSize.Width;
  const int height = item_->ImageSize.Height;
  CheckBitmapLimits(width, height, format);
  const std::size_t stride = DibRowStride(width, depth);
  const std::size_t bytes = stride * static_cast<std::size_t>(height);
  if (owner_ != nullptr && owner_->DecodedBytes(this) + bytes > kMaxBitmapBytes) {
    throw EInvalidGraphicOperation(kPictureTooLarge);
  }

  TGIFDecodeRequest request;
  request.imageData = *item_->ImageData;
  request.width = width;
  request.height = height;
  request.interlaced = interlaced_;
  request.bitsPerPixel = item_->BitsPerPixel;
  request.ignoreCorrupt = gIgnoreCorrupt;
  if (owner_ != nullptr && owner_->OnProgress) {
    TGIFImage* owner = owner_;
    request.progress = [owner](int stage, int percent, const std::string& message) {
      owner->Progress(static_cast<TProgressStage>(stage), percent, message);
    };
  }
  TGIFDecodeResult decoded = DecodeGIFFrame(request);

  TDibImage image;
  image.width = width;
  image.height = height;
  image.format = format;
  const std::size_t entries = std::size_t{1} << depth;
  image.palette.resize(entries, TPaletteEntry{128, 128, 128});
  for (std::size_t i = 0; i < entries && i < item_->ColorTable.Count; ++i) {
    image.palette[i] = TPaletteEntry::FromColor(item_->ColorTable.Color(static_cast<int>(i)));
  }
  image.bits.assign(bytes, 0);
  const std::size_t w = static_cast<std::size_t>(width);
  // A frame without columns has no pixel memory to copy into.
  for (int y = 0; w > 0 && y < height; ++y) {
    const std::uint8_t* src = decoded.pixels.data() + static_cast<std::size_t>(y) * w;
    std::uint8_t* dst = image.bits.data() + static_cast<std::size_t>(height - 1 - y) * stride;
    if (depth == 8) {
      std::memcpy(dst, src, w);
    } else if (depth == 4) {
      for (std::size_t x = 0; x < w; ++x) {
        dst[x >> 1] |= static_cast<std::uint8_t>((src[x] & 0x0F) << ((x & 1) ? 0 : 4));
      }
    } else {
      for (std::size_t x = 0; x < w; ++x) {
        dst[x >> 3] |= static_cast<std::uint8_t>((src[x] & 1) << (7 - (x & 7)));
      }
    }
  }
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImage(std::move(image));
  bitmap_ = std::move(bitmap);
  corrupted_ = corrupted_ || decoded.corrupt;
}

void TGIFFrame::Assign(const TGIFFrame* source) {
  if (source == this) return;
  if (source == nullptr) {
    Reset();
    bitmap_.reset();
  } else {
    item_ = source->item_;
    origin_ = source->origin_;
    interlaced_ = source->interlaced_;
    if (source->bitmap_) {
      bitmap_ = std::make_unique<TBitmap>();
      bitmap_->Assign(source->bitmap_.get());
    } else {
      bitmap_.reset();
    }
    transparentColor_ = source->transparentColor_;
    delayTime_ = source->delayTime_;
    disposalMethod_ = source->disposalMethod_;
    grayscale_ = source->grayscale_;
    corrupted_ = source->corrupted_;
    extensions_.clear();
    for (const auto& extension : source->extensions_) {
      if (extension->ExtType == etComment) extensions_.push_back(extension->Copy());
    }
    // A frame taken from another picture cannot rely on this picture's global table.
    localColorMap_ = source->localColorMap_ || source->owner_ != owner_;
  }
  if (owner_ != nullptr) owner_->RecomputeScreenSize();
}

void TGIFFrame::Assign(const TGraphic* source) {
  if (source == nullptr) {
    Assign(static_cast<const TGIFFrame*>(nullptr));
    return;
  }
  if (const auto* gif = dynamic_cast<const TGIFImage*>(source)) {
    if (gif->FrameCount() == 0) {
      Reset();
      if (owner_ != nullptr) owner_->RecomputeScreenSize();
      return;
    }
    const int index = gif->FrameIndex() >= 0 && gif->FrameIndex() < gif->FrameCount() ? gif->FrameIndex() : 0;
    Assign(&gif->Frames(index));
    return;
  }
  Reset();
  AssignGraphic(*source);
  if (owner_ != nullptr) owner_->RecomputeScreenSize();
}

void TGIFFrame::AssignGraphic(const TGraphic& graphic) {
  auto bitmap = std::make_unique<TBitmap>();
  try {
    bitmap->Assign(&graphic);
  } catch (const Exception&) {
    // A class the bitmap cannot copy still draws itself: paint it on a
    // background that marks what it leaves uncovered.
    bitmap->Canvas().Brush().SetColor(clFuchsia);
    bitmap->SetSize(graphic.Width(), graphic.Height());
    bitmap->Canvas().FillRect(Rect(0, 0, graphic.Width(), graphic.Height()));
    bitmap->Canvas().Draw(0, 0, const_cast<TGraphic*>(&graphic));
    const std::string cls = graphic.GraphicClassName();
    if (cls == "TIcon" || cls == "TMetafile") {
      const TColor brush = ColorToRGB(bitmap->Canvas().Brush().Color());
      transparentColor_ =
          IsIndexed(bitmap->PixelFormat()) && !bitmap->Palette().empty()
              ? bitmap->Palette()[static_cast<std::size_t>(TBitmap::NearestIndex(bitmap->Palette(), brush))]
                    .ToColor()
              : brush;
    }
  }
  item_->ImageSize = {bitmap->Width(), bitmap->Height()};
  bitmap_ = std::move(bitmap);
}

// Graphic control extensions in list order: the later transparency and
// disposal win, the longest delay wins.
void TGIFFrame::ApplyGraphicControls() {
  for (const auto& extension : extensions_) {
    const std::vector<std::uint8_t>& record = extension->ExtRecord;
    if (extension->ExtType != etGraphicControl || record.size() <= gif::kControlTransparent) continue;
    const std::uint8_t packed = record[gif::kControlPacked];
    const std::uint16_t delay =
        static_cast<std::uint16_t>(record[gif::kControlDelayLow] | (record[gif::kControlDelayHigh] << 8));
    const std::uint8_t index = record[gif::kControlTransparent];
    if ((packed & gif::kControlTransparentFlag) != 0) {
      if (index < item_->ColorTable.Count) transparentColor_ = item_->ColorTable.Color(index);
    } else {
      transparentColor_ = clNone;
    }
    const unsigned ms = std::min<unsigned>(delay * 10u, 0xFFFF);
    delayTime_ = static_cast<std::uint16_t>(std::max<unsigned>(delayTime_, ms));
    disposalMethod_ = (packed >> gif::kControlDisposalShift) & gif::kDisposalMask;
  }
}

// ---------------------------------------------------------------- the picture

TGIFImage::TGIFImage() {
  Reset();
}

TGIFImage::~TGIFImage() = default;

void TGIFImage::Reset() {
  data_ = TSharedRef<TGIFData>::Make();
  frames_.clear();
  frameIndex_ = -1;
  backgroundColor_ = clNone;
  repeatCount_ = 1;
  looping_ = false;
  version_ = 0;
  screenWidth_ = 0;
  screenHeight_ = 0;
}

TGIFFrame& TGIFImage::Frames(int index) const {
  if (index < 0 || index >= FrameCount()) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
  return *frames_[static_cast<std::size_t>(index)];
}

void TGIFImage::DeleteFrame(int index) {
  Frames(index);  // range check
  frames_.erase(frames_.begin() + index);
  if (frameIndex_ >= FrameCount()) frameIndex_ = FrameCount() - 1;
}

void TGIFImage::SetScreenSize(std::uint16_t width, std::uint16_t height) {
  screenWidth_ = width;
  screenHeight_ = height;
}

void TGIFImage::RecomputeScreenSize() {
  int width = 0, height = 0;
  for (const auto& frame : frames_) {
    const TGIFItem& item = frame->CodedImage();
    int w = item.ImageSize.Width, h = item.ImageSize.Height;
    if (!item.ImageData && frame->CurrentBitmap() != nullptr) {
      w = frame->CurrentBitmap()->Width();
      h = frame->CurrentBitmap()->Height();
    }
    width = std::max(width, frame->Origin().X + w);
    height = std::max(height, frame->Origin().Y + h);
  }
  screenWidth_ = static_cast<std::uint16_t>(std::clamp(width, 0, 0xFFFF));
  screenHeight_ = static_cast<std::uint16_t>(std::clamp(height, 0, 0xFFFF));
}

std::size_t TGIFImage::DecodedBytes(const TGIFFrame* except) const {
  std::size_t bytes = 0;
  for (const auto& frame : frames_) {
    if (frame.get() == except || frame->CurrentBitmap() == nullptr) continue;
    const TBitmap& bitmap = *frame->CurrentBitmap();
    bytes += bitmap.RowStride() * static_cast<std::size_t>(bitmap.Height());
  }
  return bytes;
}

int TGIFImage::Width() const {
  if (frameIndex_ < 0 || frameIndex_ >= FrameCount()) return 0;
  const TGIFFrame& frame = Frames(frameIndex_);
  if (frame.CurrentBitmap() != nullptr && !frame.CurrentBitmap()->Empty()) {
    return frame.CurrentBitmap()->Width();
  }
  // Decoding would give exactly the coded size; no need to decode for a size query.
  return frame.CodedImage().ImageData ? frame.CodedImage().ImageSize.Width : 0;
}

int TGIFImage::Height() const {
  if (frameIndex_ < 0 || frameIndex_ >= FrameCount()) return 0;
  const TGIFFrame& frame = Frames(frameIndex_);
  if (frame.CurrentBitmap() != nullptr && !frame.CurrentBitmap()->Empty()) {
    return frame.CurrentBitmap()->Height();
  }
  return frame.CodedImage().ImageData ? frame.CodedImage().ImageSize.Height : 0;
}

void TGIFImage::SetWidth(int) {
  throw EInvalidGraphicOperation(kSizeError);
}

void TGIFImage::SetHeight(int) {
  throw EInvalidGraphicOperation(kSizeError);
}

bool TGIFImage::Empty() const {
  const int index = std::max(frameIndex_, 0);
  if (index >= FrameCount()) return true;
  const TGIFFrame& frame = Frames(index);
  const bool coded = frame.CodedImage().ImageData && !frame.CodedImage().ImageData->empty();
  return !(frame.HasBitmap() || coded);
}

bool TGIFImage::Equals(const TGraphic* other) const {
  const auto* gif = dynamic_cast<const TGIFImage*>(other);
  return gif != nullptr && gif->data_.get() == data_.get();
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (frameIndex_ < 0 || frameIndex_ >= FrameCount()) return;
  TGIFFrame& frame = Frames(frameIndex_);
  TBitmap& bitmap = frame.Bitmap();
  TBlitOptions options;
  if (frame.TransparentColor() != clNone) {
    options.keyed = true;
    options.key = ColorToRGB(frame.TransparentColor()) & 0xFFFFFF;
  }
  canvas.StretchBlit(rect, bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), options);
}

TBitmap& TGIFImage::CurrentBitmap() {
  if (frames_.empty()) {
    TBitmap empty;
    AddFrame(&empty);
    frameIndex_ = 0;
  }
  const int index = frameIndex_ >= 0 && frameIndex_ < FrameCount() ? frameIndex_ : 0;
  return Frames(index).Bitmap();
}

int TGIFImage::AddFrame(const TGraphic* graphic) {
  frames_.push_back(std::make_unique<TGIFFrame>(this));
  frameIndex_ = FrameCount() - 1;
  frames_.back()->Assign(graphic);
  if (version_ == 0) version_ = 1;
  if (FrameCount() > 1) version_ = 2;
  return frameIndex_;
}

void TGIFImage::Progress(TProgressStage stage, int percent, const std::string& message) {
  if (OnProgress) OnProgress(this, stage, percent, false, TRect{}, message);
}

// ---------------------------------------------------------------- assignment

void TGIFImage::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    Reset();
  } else if (const auto* gif = dynamic_cast<const TGIFImage*>(source)) {
    // Keep the source's frames alive while rebuilding: it may share nothing
    // with us, but a frame list of our own is about to go.
    data_ = gif->data_;
    version_ = gif->version_;
    backgroundColor_ = gif->backgroundColor_;
    repeatCount_ = gif->repeatCount_;
    looping_ = gif->looping_;
    frames_.clear();
    for (const auto& sourceFrame : gif->frames_) {
      frames_.push_back(std::make_unique<TGIFFrame>(this));
      frames_.back()->Assign(sourceFrame.get());
      frames_.back()->SetLocalColorMap(sourceFrame->LocalColorMap());
    }
    screenWidth_ = gif->screenWidth_;
    screenHeight_ = gif->screenHeight_;
    frameIndex_ = gif->frameIndex_;
  } else if (dynamic_cast<const TBitmap*>(source) != nullptr) {
    Reset();
    AddFrame(source);
  } else {
    TGraphic::Assign(source);
    return;  // AssignTo of the source has done the work (and told listeners)
  }
  Changed();
}

void TGIFImage::AssignFrame(const TGIFFrame* source) {
  Reset();
  if (source != nullptr) {
    if (const TGIFImage* owner = source->Owner()) {
      screenWidth_ = owner->screenWidth_;
      screenHeight_ = owner->screenHeight_;
      backgroundColor_ = owner->backgroundColor_;
      data_->AspectRatio = owner->Data().AspectRatio;
      data_->BitsPerPixel = owner->Data().BitsPerPixel;
      data_->ColorResolution = owner->Data().ColorResolution;
      data_->ColorTable = owner->Data().ColorTable;
    }
    frames_.push_back(std::make_unique<TGIFFrame>(this));
    frameIndex_ = 0;
    frames_.back()->Assign(source);
    version_ = std::max<std::uint8_t>(version_, 1);
  }
  Changed();
}

void TGIFImage::AssignAnimation(std::span<const TGIFAnimationFrame> frames) {
  Reset();
  backgroundColor_ = clWindow;
  for (const TGIFAnimationFrame& source : frames) {
    const int index = AddFrame(source.icon);
    const std::uint64_t ms = static_cast<std::uint64_t>(source.jiffies) * 100 / 6;
    Frames(index).SetDelayTime(static_cast<std::uint16_t>(std::min<std::uint64_t>(ms, 0xFFFF)));
  }
  Changed();
}

bool TGIFImage::AssignTo(TGraphic& destination) const {
  if (auto* gif = dynamic_cast<TGIFImage*>(&destination)) {
    gif->Assign(this);
    return true;
  }
  if (Empty()) return true;
  // Decoding is a cache fill: the picture's content does not change.
  auto& self = const_cast<TGIFImage&>(*this);
  const int index = frameIndex_ >= 0 && frameIndex_ < FrameCount() ? frameIndex_ : 0;
  destination.Assign(&self.Frames(index).Bitmap());
  return true;
}

std::unique_ptr<TGraphic> TGIFImage::Clone() const {
  auto copy = std::make_unique<TGIFImage>();
  copy->Assign(this);
  return copy;
}

// ---------------------------------------------------------------- clipboard

void TGIFImage::LoadFromClipboard(platform::IClipboard& clipboard) {
  const unsigned format = clipboard.RegisterFormat(kGIFClipboardFormat);
  if (clipboard.HasFormat(format)) {
    const std::vector<std::uint8_t> block = clipboard.GetData(format).value_or(std::vector<std::uint8_t>{});
    if (block.size() < 4) throw EReadError(kReadError);
    const std::size_t length = std::min<std::size_t>(LoadLe32(block.data()), block.size() - 4);
    ReadGIF(std::span<const std::uint8_t>(block).subspan(4, length), false);
    if (!frames_.empty()) {
      frameIndex_ = 0;
      if (const auto bmp = clipboard.GetData(platform::IClipboard::kBitmapFormat)) {
        std::istringstream in(std::string(bmp->begin(), bmp->end()));
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->LoadFromStream(in);
        frames_[0]->bitmap_ = std::move(bitmap);
      }
    }
    return;
  }
  const auto bmp = clipboard.GetData(platform::IClipboard::kBitmapFormat);
  if (!bmp) throw EInvalidGraphic("Unsupported clipboard format");
  std::istringstream in(std::string(bmp->begin(), bmp->end()));
  TBitmap bitmap;
  bitmap.LoadFromStream(in);
  Assign(&bitmap);
}

void TGIFImage::SaveToClipboard(platform::IClipboard& clipboard) {
  if (frames_.empty()) throw EInvalidGraphicOperation("No GIF Data to write");
  std::ostringstream bmp;
  frames_[0]->Bitmap().SaveToStream(bmp);
  const bool allCoded = std::all_of(frames_.begin(), frames_.end(), [](const auto& frame) {
    return frame->CodedImage().ImageData && !frame->CodedImage().ImageData->empty();
  });
  std::vector<std::uint8_t> gif;
  if (allCoded) {
    std::ostringstream out;
    WriteGIF(out, true);
    const std::string bytes = out.str();
    gif.assign(bytes.begin(), bytes.end());
  }
  const unsigned format = clipboard.RegisterFormat(kGIFClipboardFormat);
  clipboard.Clear();
  const std::string bmpBytes = bmp.str();
  clipboard.SetData(platform::IClipboard::kBitmapFormat,
                    std::vector<std::uint8_t>(bmpBytes.begin(), bmpBytes.end()));
  if (allCoded) clipboard.SetData(format, std::move(gif));
}

// ---------------------------------------------------------------- registration

void RegisterGIFFormat() {
  TPicture::RegisterFileFormat("gif", "CompuServe GIF Image", [] { return std::make_unique<TGIFImage>(); });
  if (platform::IClipboard* clipboard = platform::Current().clipboard)
    clipboard->RegisterFormat(kGIFClipboardFormat);
}

}  // namespace qv
