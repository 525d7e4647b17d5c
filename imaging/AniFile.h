// TAnimatedCursorImage: an animated cursor file (RIFF form "ACON") read into a
// list of frames, each one icon with its hot spot and display time. It hands
// its frames to an icon, a bitmap strip, an icon list or (through a registered
// handler) another picture class; it cannot write the format.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "imaging/Icon.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Classes.h"

namespace qv {

class TIconList;

// Four-character chunk identifiers as stored (first character in the low byte).
constexpr std::uint32_t FourCC(const char (&id)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(id[0])) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(id[1])) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(id[2])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(id[3])) << 24);
}

// The "anih" chunk: nine 32-bit little-endian values.
struct TAniHeader {
  std::uint32_t HeaderSize = 0;
  std::uint32_t Frames = 0;  // icons stored
  std::uint32_t Steps = 0;   // frames shown
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint32_t BitCount = 0;
  std::uint32_t Planes = 0;
  std::uint32_t DisplayRate = 0;  // sixtieths of a second
  std::uint32_t Flags = 0;
  friend bool operator==(const TAniHeader&, const TAniHeader&) = default;
};
constexpr std::size_t kAniHeaderSize = 36;
constexpr std::uint32_t kAniFlagIcon = 1;  // frames are icon resources

class TIconFrame : public TObject {
 public:
  TIconFrame();
  ~TIconFrame() override;

  // Null until the frame's icon is found.
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(std::unique_ptr<TIcon> icon) { icon_ = std::move(icon); }
  // The chunk held an icon resource rather than a cursor resource.
  bool FromIcon() const { return fromIcon_; }
  void SetFromIcon(bool v) { fromIcon_ = v; }
  std::uint32_t ChunkId() const { return chunkId_; }
  std::uint32_t ChunkSize() const { return chunkSize_; }
  void SetChunk(std::uint32_t id, std::uint32_t size) {
    chunkId_ = id;
    chunkSize_ = size;
  }
  TPoint HotSpot() const { return hotSpot_; }
  void SetHotSpot(TPoint p) { hotSpot_ = p; }
  // Display time in sixtieths of a second.
  std::uint32_t JiffRate() const { return jiffRate_; }
  void SetJiffRate(std::uint32_t v) { jiffRate_ = v; }
  // The icon (in "fram" order) the frame shows; -1 for frames added for icons
  // that no frame asked for.
  std::int32_t SeqIndex() const { return seqIndex_; }
  void SetSeqIndex(std::int32_t v) { seqIndex_ = v; }

  void Assign(const TIconFrame& other);

 private:
  std::unique_ptr<TIcon> icon_;
  bool fromIcon_ = false;
  std::uint32_t chunkId_ = 0;
  std::uint32_t chunkSize_ = 0;
  TPoint hotSpot_;
  std::uint32_t jiffRate_ = 0;
  std::int32_t seqIndex_ = 0;
};

class TAnimatedCursorImage : public TObject {
 public:
  // Limits on what one file may make us hold: the file itself, the frames an
  // "anih" header may ask for, and the icon pixels and bytes of all frames.
  static constexpr std::size_t kMaxFileBytes = kMaxBitmapBytes;
  static constexpr std::uint32_t kMaxFrames = 65536;
  static constexpr std::size_t kMaxFrameBytes = kMaxBitmapBytes;

  // Lets another picture class receive the frames (AssignTo). A handler
  // returns false for destinations it does not know.
  using TAssignToHandler = std::function<bool(const TAnimatedCursorImage& source, TObject& destination)>;
  static void RegisterAssignTo(TAssignToHandler handler);

  TAnimatedCursorImage();
  ~TAnimatedCursorImage() override;

  const TAniHeader& Header() const { return header_; }
  // The "INAM" and "IART" texts, at most 255 characters each.
  std::string Title() const;
  std::string Author() const;
  // The largest colour count met among the icon images (2, 16 or 256; 0 when
  // only deeper images were met).
  std::uint16_t IconColors() const { return iconColors_; }

  int FrameCount() const { return static_cast<int>(frames_.size()); }
  // Raise EListError out of range.
  TIconFrame& Frames(int index) const;
  TIcon* Icons(int index) const { return Frames(index).Icon(); }

  // Frees all frames and zeroes the header, the texts and IconColors.
  void Clear();

  // Everything from the stream's position to its end; nothing happens for an
  // empty rest. A file that fails to parse leaves the image cleared.
  void LoadFromStream(std::istream& stream);
  void LoadFromBytes(std::span<const std::uint8_t> data);
  // On failure (opening or parsing) the image is cleared and the error raised.
  void LoadFromFile(const std::string& fileName);
  // Not supported: shows "Function not yet implemented" and raises EAbort.
  void SaveToStream(std::ostream& stream) const;

  // Reads a whole file held in memory. Not an "ACON" RIFF file, an "anih"
  // without the icon flag or with 0 steps, or no frame with an icon raise
  // EReadError "Stream read error"; other damage ends the reading quietly.
  void ParseANI(std::span<const std::uint8_t> data);
  // One "icon" chunk as an icon, or null when it holds none. Records the
  // colour count of its images in IconColors.
  std::unique_ptr<TIcon> LoadIconChunk(std::span<const std::uint8_t> chunk, bool& fromIcon, TPoint& hotSpot);

  // Null clears; another animated cursor is copied; anything else raises
  // EConvertError.
  void Assign(const TObject* source);
  // To a TIcon (the first frame's icon), a TBitmap (the frames side by side on
  // its brush colour, colour-reduced), a TIconList (every frame's icon, in one
  // update bracket), or a class of a registered handler; nothing happens to an
  // icon or bitmap when there are no frames. Else raises EConvertError.
  void AssignTo(TObject& destination) const;

  // All frames in one bitmap: the first icon's size times the frame count,
  // across or (vertical) down, on `background`; with `reduce`, reduced to
  // max(IconColors, 16) colours. No frames give an empty bitmap.
  void DrawStrip(TBitmap& bitmap, TColor background, bool vertical, bool reduce) const;

 private:
  struct ParseState;
  void ParseChunks(ParseState& state);
  void ParseFrameList(ParseState& state, std::int64_t remaining);
  void ParseInfoList(ParseState& state, std::int64_t remaining);
  void CopyFrom(const TAnimatedCursorImage& other);

  TAniHeader header_;
  std::array<char, 256> title_{};
  std::array<char, 256> author_{};
  std::vector<std::unique_ptr<TIconFrame>> frames_;
  std::uint16_t iconColors_ = 0;
};

}  // namespace qv
