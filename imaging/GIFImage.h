// TGIFImage: a GIF picture held as a list of frames. Each frame keeps its
// LZW-coded data as read (or as encoded) and is decoded into a palette bitmap
// only when it is first needed, so loading, copying and saving stay cheap.
// The screen-level data and the coded frames are reference-counted and shared
// between pictures and frames after assignment.
//
// Hostile files are bounded: every read is checked against the bytes present,
// a frame is at most kMaxBitmapSide pixels a side and kMaxBitmapBytes large,
// and the decoded bitmaps of one picture together stay within kMaxBitmapBytes
// (beyond that EInvalidGraphicOperation is raised).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphic.h"

namespace qv::platform {
class IClipboard;
}

namespace qv {

class TGIFImage;

// Damaged data marks a frame Corrupted instead of failing (default true).
bool GIFIgnoreCorrupt();
void SetGIFIgnoreCorrupt(bool value);

// Up to 256 RGB triples, red first; entries beyond Count are zero.
struct TGIFColorTable {
  std::uint32_t Count = 0;
  std::array<std::uint8_t, 768> Colors{};

  TColor Color(int index) const;
  void SetColor(int index, TColor rgb);
  // The first entry below Count with that RGB value, or -1.
  int IndexOf(TColor rgb) const;
  void Clear() { *this = TGIFColorTable{}; }
  friend bool operator==(const TGIFColorTable&, const TGIFColorTable&) = default;
};

// The exponent of a colour count that is a power of two from 2 to 256; raises
// EInvalidGraphicOperation "Wrong number of colors; must be a power of 2" otherwise.
int GIFColorExponent(std::uint32_t count);
// The smallest b >= 1 with 2^b >= count.
int GIFBitsForCount(std::uint32_t count);

// Base of the shared parts: a reference count; the last release clears the
// contents and frees the object.
class TSharedImage {
 public:
  TSharedImage(const TSharedImage&) = delete;
  TSharedImage& operator=(const TSharedImage&) = delete;

  void Reference() noexcept { ++refCount_; }
  void Release() noexcept;
  int RefCount() const noexcept { return refCount_; }

 protected:
  TSharedImage() = default;
  virtual ~TSharedImage() = default;
  virtual void FreeHandle() noexcept = 0;

 private:
  int refCount_ = 0;
};

// Holds one reference to a shared part.
template <class T>
class TSharedRef {
 public:
  TSharedRef() = default;
  explicit TSharedRef(T* object) : object_(object) {
    if (object_ != nullptr) object_->Reference();
  }
  TSharedRef(const TSharedRef& other) : TSharedRef(other.object_) {}
  TSharedRef& operator=(const TSharedRef& other) {
    TSharedRef copy(other);
    std::swap(object_, copy.object_);
    return *this;
  }
  ~TSharedRef() {
    if (object_ != nullptr) object_->Release();
  }
  static TSharedRef Make() { return TSharedRef(new T()); }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// Screen-level data of one picture.
class TGIFData : public TSharedImage {
 public:
  TStringList Comment;
  std::uint8_t AspectRatio = 0;
  std::uint8_t BitsPerPixel = 0;
  std::uint8_t ColorResolution = 0;
  TGIFColorTable ColorTable;

 protected:
  void FreeHandle() noexcept override;
};

struct TGIFImageSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

// The coded image of one frame.
class TGIFItem : public TSharedImage {
 public:
  // Minimum code size byte, data sub-blocks with their length bytes, terminator.
  std::optional<std::vector<std::uint8_t>> ImageData;
  TGIFImageSize ImageSize;
  std::uint8_t PackedFields = 0;
  std::uint8_t BitsPerPixel = 0;  // 0 when no colour table applies
  TGIFColorTable ColorTable;

 protected:
  void FreeHandle() noexcept override;
};

enum TGIFExtensionType : std::uint8_t {
  etGraphicControl = 0,
  etPlainText = 1,
  etApplication = 2,
  etComment = 3,
};

// One extension kept with a frame.
struct TExtension {
  TGIFExtensionType ExtType = etGraphicControl;
  std::unique_ptr<TStringList> ExtData;  // one string per sub-block; may be absent
  // The fixed bytes after the label: 6 for graphic control (block size 4, packed,
  // delay low, delay high, transparent index, terminator), 13 for plain text,
  // 12 for application (block size 11 and the identifier).
  std::vector<std::uint8_t> ExtRecord;

  std::unique_ptr<TExtension> Copy() const;
};

// Progress stages reported while decoding and encoding.
enum TProgressStage : int { psStarting = 0, psRunning = 1, psEnding = 2 };

using TGIFProgressEvent = std::function<void(TObject* Sender, TProgressStage stage, int percent,
                                             bool redrawNow, const TRect& rect, const std::string& message)>;

class TGIFFrame : public TObject {
 public:
  explicit TGIFFrame(TGIFImage* owner);
  ~TGIFFrame() override;

  TGIFImage* Owner() const { return owner_; }

  // The decoded bitmap, made on first use from the coded data.
  TBitmap& Bitmap();
  // The bitmap when it has been made (or assigned), else null; never decodes.
  const TBitmap* CurrentBitmap() const { return bitmap_.get(); }
  bool HasBitmap() const { return bitmap_ != nullptr; }
  void FreeBitmap() { bitmap_.reset(); }

  TGIFItem& CodedImage() const { return *item_; }
  const TSharedRef<TGIFItem>& CodedImageRef() const { return item_; }
  std::vector<std::unique_ptr<TExtension>>& Extensions() { return extensions_; }
  const std::vector<std::unique_ptr<TExtension>>& Extensions() const { return extensions_; }

  TPoint Origin() const { return origin_; }
  void SetOrigin(TPoint origin) { origin_ = origin; }
  bool Interlaced() const { return interlaced_; }
  void SetInterlaced(bool value) { interlaced_ = value; }
  bool Corrupted() const { return corrupted_; }
  void SetCorrupted(bool value) { corrupted_ = value; }
  bool Grayscale() const { return grayscale_; }
  void SetGrayscale(bool value) { grayscale_ = value; }
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor color) { transparentColor_ = color; }
  // Milliseconds.
  std::uint16_t DelayTime() const { return delayTime_; }
  void SetDelayTime(std::uint16_t ms) { delayTime_ = ms; }
  std::uint8_t DisposalMethod() const { return disposalMethod_; }
  void SetDisposalMethod(std::uint8_t method) { disposalMethod_ = method & 7; }
  bool LocalColorMap() const { return localColorMap_; }
  void SetLocalColorMap(bool value) { localColorMap_ = value; }

  // Fresh coded image, default properties, no extensions; the bitmap stays.
  void Reset();
  // Null resets and frees the bitmap; a frame shares its coded image; a GIF
  // picture gives its current frame; any other graphic becomes the bitmap.
  void Assign(const TGraphic* source);
  void Assign(const TGIFFrame* source);

  // Decodes the coded data into the bitmap now (what first use does).
  void Decode();

 private:
  friend class TGIFImage;
  void AssignGraphic(const TGraphic& graphic);
  void ApplyGraphicControls();

  TGIFImage* owner_;
  std::unique_ptr<TBitmap> bitmap_;
  TSharedRef<TGIFItem> item_;
  std::vector<std::unique_ptr<TExtension>> extensions_;
  TPoint origin_;
  bool interlaced_ = false;
  bool corrupted_ = false;
  bool grayscale_ = false;
  TColor transparentColor_ = clNone;
  std::uint16_t delayTime_ = 0;
  std::uint8_t disposalMethod_ = 0;
  bool localColorMap_ = false;
};

// One picture of an animation handed over by another image class (an icon
// and its display time in sixtieths of a second).
struct TGIFAnimationFrame {
  const TGraphic* icon = nullptr;
  std::uint32_t jiffies = 0;
};

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;

  // The size of the current frame's bitmap; 0 when empty or out of range.
  int Width() const override;
  int Height() const override;
  // A GIF keeps its frames' sizes: raises "Cannot change the Size of a GIF image".
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  bool Empty() const override;
  // True when `other` is a GIF picture sharing this one's screen data.
  bool Equals(const TGraphic* other) const;

  void Draw(TCanvas& canvas, const TRect& rect) override;

  // Reads the GIF from the stream's position to its end and decodes frame 0.
  void LoadFromStream(std::istream& stream) override;
  // Writes the GIF without a length prefix (encoding frames that lack coded data).
  void SaveToStream(std::ostream& stream) override;
  // Form data: a 32-bit little-endian length, then the GIF.
  void ReadData(std::istream& stream);
  void WriteData(std::ostream& stream);

  // The clipboard format "GIF Image" with a 32-bit length prefix, beside an
  // ordinary bitmap of the first frame.
  void LoadFromClipboard(platform::IClipboard& clipboard);
  void SaveToClipboard(platform::IClipboard& clipboard);

  void Assign(const TGraphic* source) override;
  bool AssignTo(TGraphic& destination) const override;
  // The frames of an animation (animated cursors hand theirs over so).
  void AssignAnimation(std::span<const TGIFAnimationFrame> frames);
  // Takes the frame's screen-level values and global table, and the frame itself.
  void AssignFrame(const TGIFFrame* source);
  std::unique_ptr<TGraphic> Clone() const override;

  // Creates a frame from `graphic`, appends it and makes it current.
  virtual int AddFrame(const TGraphic* graphic);

  // Reads `length` bytes of a GIF stream; see the class comment for limits.
  void ReadGIF(std::size_t length, std::istream& stream, bool decodeFirst);
  void ReadGIF(std::span<const std::uint8_t> data, bool decodeFirst);
  // Builds the whole GIF in memory (encoding frames as needed) and returns it.
  std::vector<std::uint8_t> BuildGIF();
  // Writes the GIF, with its 32-bit length first when asked; nothing reaches
  // the stream unless the whole GIF could be built.
  void WriteGIF(std::ostream& stream, bool withLength);

  // Back to the empty state (fresh screen data, no frames).
  void Reset();

  // The bitmap of the current frame (frame 0 when the index is out of range);
  // an empty picture first gets an empty frame.
  TBitmap& CurrentBitmap();

  int FrameCount() const { return static_cast<int>(frames_.size()); }
  TGIFFrame& Frames(int index) const;
  void DeleteFrame(int index);

  TGIFData& Data() const { return *data_; }
  const TSharedRef<TGIFData>& DataRef() const { return data_; }
  std::uint8_t Version() const { return version_; }
  void SetVersion(std::uint8_t version) { version_ = version; }
  int FrameIndex() const { return frameIndex_; }
  void SetFrameIndex(int index) { frameIndex_ = index; }
  std::uint16_t ScreenWidth() const { return screenWidth_; }
  std::uint16_t ScreenHeight() const { return screenHeight_; }
  void SetScreenSize(std::uint16_t width, std::uint16_t height);
  TColor BackgroundColor() const { return backgroundColor_; }
  void SetBackgroundColor(TColor color) { backgroundColor_ = color; }
  bool Looping() const { return looping_; }
  void SetLooping(bool value) { looping_ = value; }
  std::uint16_t RepeatCount() const { return repeatCount_; }
  void SetRepeatCount(std::uint16_t count) { repeatCount_ = count; }

  TGIFProgressEvent OnProgress;
  // Fires OnProgress (with an empty rectangle) when it is set.
  virtual void Progress(TProgressStage stage, int percent, const std::string& message);

  // The screen size becomes the largest left + width and top + height over all frames.
  void RecomputeScreenSize();

 private:
  friend class TGIFFrame;
  struct Reader;

  // Bytes of all decoded bitmaps but `except`'s; keeps the picture within limits.
  std::size_t DecodedBytes(const TGIFFrame* except) const;
  // Reading, stage by stage (GIFReader.cpp).
  void ReadSignature(Reader& in);
  void ReadScreen(Reader& in);
  void ReadExtension(Reader& in, std::vector<std::unique_ptr<TExtension>>& collected);
  void ReadLooping(const TExtension& application);
  std::uint8_t ReadImage(Reader& in, std::vector<std::unique_ptr<TExtension>>& collected);
  void ReadFrame(Reader& in, TGIFFrame& frame);
  void TakePictureComment(std::vector<std::unique_ptr<TExtension>>& collected);
  void FinishReading(bool decodeFirst);
  // Writing, stage by stage (GIFWriter.cpp).
  void PrepareFrames();
  void EncodeFrame(TGIFFrame& frame);
  void UpdateGraphicControl(TGIFFrame& frame);
  void PutScreen(std::vector<std::uint8_t>& out);
  void PutLooping(std::vector<std::uint8_t>& out) const;
  void PutFrame(std::vector<std::uint8_t>& out, TGIFFrame& frame) const;
  void PutPictureComment(std::vector<std::uint8_t>& out) const;

  TSharedRef<TGIFData> data_;
  std::uint8_t version_ = 0;
  std::vector<std::unique_ptr<TGIFFrame>> frames_;
  int frameIndex_ = -1;
  std::uint16_t screenWidth_ = 0;
  std::uint16_t screenHeight_ = 0;
  TColor backgroundColor_ = clNone;
  bool looping_ = false;
  std::uint16_t repeatCount_ = 1;
};

// The clipboard format name and the picture loader's registration.
constexpr const char* kGIFClipboardFormat = "GIF Image";
// Registers "gif" / "CompuServe GIF Image" with the picture loader and the
// "GIF Image" format with the clipboard of platform::Current(), if any.
void RegisterGIFFormat();

}  // namespace qv
