// Reading side of TGIFImage: the whole GIF is pulled into memory first, then
// parsed block by block (screen descriptor, extensions, image descriptors).
#include "imaging/GIFImage.h"
#include "toolkit/LittleEndian.h"
#include "toolkit/StreamBytes.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr const char* kReadError = "Stream read error";

constexpr std::uint8_t kExtensionIntroducer = '!';
constexpr std::uint8_t kImageIntroducer = ',';
constexpr std::uint8_t kTrailer = ';';
constexpr std::uint16_t kMaxRepeatCount = 30000;

constexpr std::size_t kGraphicControlBytes = 6;
constexpr std::size_t kPlainTextBytes = 13;
constexpr std::size_t kApplicationBytes = 12;

bool EqualsIgnoringCase(const std::uint8_t* bytes, const char* text) {
  for (int i = 0; i < 3; ++i) {
    if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- reading

// Reads from the in-memory copy. Byte() past the end gives 0, which is how the
// unchecked parts of the format (signature, screen descriptor, global table,
// fixed extension bytes) behave; Need() guards the checked ones.
struct TGIFImage::Reader {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;

  bool AtEnd() const { return pos >= data.size(); }
  std::size_t Remaining() const { return AtEnd() ? 0 : data.size() - pos; }
  std::uint8_t Byte() { return AtEnd() ? 0 : data[pos++]; }
  std::uint16_t Word() {
    const std::uint8_t lo = Byte();
    return static_cast<std::uint16_t>(lo | (Byte() << 8));
  }
  void Need(std::size_t count) const {
    if (Remaining() < count) throw EReadError(kReadError);
  }
  void Bytes(std::uint8_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out[i] = Byte();
  }
  void ColorTable(TGIFColorTable& table, int bits) {
    table.Clear();
    table.Count = 1u << bits;
    Bytes(table.Colors.data(), table.Count * 3);
  }
  // Data sub-blocks as strings until a zero length or the end of the data.
  std::unique_ptr<TStringList> SubBlocks() {
    auto list = std::make_unique<TStringList>();
    while (!AtEnd()) {
      const std::size_t length = Byte();
      if (length == 0) break;
      const std::size_t take = std::min(length, Remaining());
      list->Add(std::string(reinterpret_cast<const char*>(data.data() + pos), take));
      pos += take;
    }
    return list;
  }
};

void TGIFImage::LoadFromStream(std::istream& stream) {
  std::vector<std::uint8_t> data;
  ReadUpTo(stream, data, std::numeric_limits<std::size_t>::max());
  ReadGIF(data, true);
}

void TGIFImage::ReadData(std::istream& stream) {
  std::uint8_t prefix[4] = {};
  stream.read(reinterpret_cast<char*>(prefix), 4);
  if (stream.gcount() != 4) throw EReadError(kReadError);
  ReadGIF(LoadLe32(prefix), stream, true);
}

void TGIFImage::ReadGIF(std::size_t length, std::istream& stream, bool decodeFirst) {
  std::vector<std::uint8_t> data;
  ReadUpTo(stream, data, length);
  ReadGIF(data, decodeFirst);
}

void TGIFImage::ReadGIF(std::span<const std::uint8_t> bytes, bool decodeFirst) {
  Reset();
  if (bytes.empty()) {
    Changed();
    return;
  }
  Reader in{bytes};
  std::uint8_t signature[6];
  in.Bytes(signature, 6);
  if (!EqualsIgnoringCase(signature, "GIF")) throw EInvalidGraphicOperation("Unknown GIF version");
  if (EqualsIgnoringCase(signature + 3, "87a")) {
    version_ = 1;
  } else if (EqualsIgnoringCase(signature + 3, "89a")) {
    version_ = 2;
  } else {
    throw EInvalidGraphicOperation("Unknown GIF version");
  }

  screenWidth_ = in.Word();
  screenHeight_ = in.Word();
  const std::uint8_t packed = in.Byte();
  const std::uint8_t background = in.Byte();
  data_->AspectRatio = in.Byte();
  data_->BitsPerPixel = static_cast<std::uint8_t>((packed & 7) + 1);
  data_->ColorResolution = static_cast<std::uint8_t>(((packed >> 4) & 7) + 1);
  if ((packed & 0x80) != 0) {
    in.ColorTable(data_->ColorTable, data_->BitsPerPixel);
    if (background < data_->ColorTable.Count) backgroundColor_ = data_->ColorTable.Color(background);
  }

  std::vector<std::unique_ptr<TExtension>> collected;
  std::uint8_t introducer = in.Byte();
  while (introducer != 0 && introducer != kTrailer && !in.AtEnd()) {
    while (introducer == kExtensionIntroducer) {
      const std::uint8_t label = in.Byte();
      auto extension = std::make_unique<TExtension>();
      switch (label) {
        case kGraphicControlLabel:
          extension->ExtType = etGraphicControl;
          extension->ExtRecord.resize(kGraphicControlBytes);
          in.Bytes(extension->ExtRecord.data(), kGraphicControlBytes);
          break;
        case kCommentLabel:
          extension->ExtType = etComment;
          extension->ExtData = in.SubBlocks();
          break;
        case kPlainTextLabel:
          extension->ExtType = etPlainText;
          extension->ExtRecord.resize(kPlainTextBytes);
          in.Bytes(extension->ExtRecord.data(), kPlainTextBytes);
          extension->ExtData = in.SubBlocks();
          break;
        case kApplicationLabel:
          extension->ExtType = etApplication;
          extension->ExtRecord.resize(kApplicationBytes);
          in.Bytes(extension->ExtRecord.data(), kApplicationBytes);
          extension->ExtData = in.SubBlocks();
          break;
        default: throw EInvalidGraphicOperation(Format("Unrecognized extension block: %.2x", label));
      }
      if (extension->ExtType == etPlainText) {
        // Text drawn over the coming image is not kept, nor the controls meant for it.
        collected.clear();
      } else if (extension->ExtType == etApplication) {
        const std::size_t idLength = std::min<std::size_t>(extension->ExtRecord[0], 11);
        const std::string id(reinterpret_cast<const char*>(extension->ExtRecord.data() + 1), idLength);
        if ((id == "NETSCAPE2.0" || id == "ANIMEXTS1.0") && extension->ExtData->Count() > 0) {
          const std::string& block = extension->ExtData->Strings(0);
          if (block.size() >= 3 && block[0] == 1) {
            looping_ = true;
            const unsigned count = static_cast<unsigned char>(block[1]) |
                                   (static_cast<unsigned>(static_cast<unsigned char>(block[2])) << 8);
            repeatCount_ = static_cast<std::uint16_t>(std::min<unsigned>(count, kMaxRepeatCount));
          }
        }
      } else {
        collected.push_back(std::move(extension));
      }
      introducer = in.AtEnd() ? kTrailer : in.Byte();
    }

    if (introducer == kImageIntroducer) {
      auto frame = std::make_unique<TGIFFrame>(this);
      TGIFItem& item = frame->CodedImage();
      if (data_->ColorTable.Count > 0) {
        item.BitsPerPixel = static_cast<std::uint8_t>(GIFColorExponent(data_->ColorTable.Count));
      }
      frame->extensions_ = std::move(collected);
      collected.clear();
      ReadFrame(in, *frame);
      frames_.push_back(std::move(frame));
      introducer = 0;
      while (!in.AtEnd() && introducer == 0) introducer = in.Byte();
      if (introducer == 0) introducer = kTrailer;
      if (introducer != kExtensionIntroducer && introducer != kImageIntroducer) break;
    } else if (data_->Comment.Count() == 0 && !collected.empty()) {
      // Comments after the last image belong to the whole picture.
      bool first = true;
      for (const auto& extension : collected) {
        if (extension->ExtType != etComment) continue;
        if (!first && data_->Comment.Count() > 0) data_->Comment.Add("\r\n\r\n");
        first = false;
        for (const std::string& line : extension->ExtData->Lines()) data_->Comment.Add(line);
      }
      collected.clear();
    } else if (introducer != 0 && introducer != kTrailer) {
      throw EReadError(kReadError);
    }
  }

  if (!frames_.empty()) {
    frameIndex_ = 0;
    if (decodeFirst) {
      try {
        frames_[0]->Decode();
      } catch (...) {
        frames_.erase(frames_.begin());
        frameIndex_ = frames_.empty() ? -1 : 0;
        throw;
      }
    }
  }
  Changed();
}

void TGIFImage::ReadFrame(Reader& in, TGIFFrame& frame) {
  TGIFItem& item = frame.CodedImage();
  in.Need(9);
  const std::uint16_t left = in.Word();
  const std::uint16_t top = in.Word();
  std::int32_t width = in.Word();
  std::int32_t height = in.Word();
  const std::uint8_t packed = in.Byte();
  frame.interlaced_ = (packed & 0x40) != 0;
  if ((packed & 0x80) != 0) {
    item.BitsPerPixel = static_cast<std::uint8_t>((packed & 7) + 1);
    frame.localColorMap_ = true;
    in.Need(std::size_t{3} << item.BitsPerPixel);
    in.ColorTable(item.ColorTable, item.BitsPerPixel);
  } else {
    frame.localColorMap_ = false;
    item.ColorTable.Clear();
  }

  in.Need(1);
  std::vector<std::uint8_t> coded;
  coded.push_back(in.Byte());
  bool terminated = false;
  while (!in.AtEnd()) {
    const std::size_t length = in.data[in.pos];
    if (length == 0) {
      coded.push_back(in.Byte());
      terminated = true;
      break;
    }
    if (in.Remaining() < length + 1) break;  // runs past the end of the data
    coded.insert(coded.end(), in.data.begin() + static_cast<std::ptrdiff_t>(in.pos),
                 in.data.begin() + static_cast<std::ptrdiff_t>(in.pos + length + 1));
    in.pos += length + 1;
  }
  if (!terminated) {
    frame.corrupted_ = true;
    // The coded data is written back as stored: keep it a well-formed run of
    // sub-blocks so a later save does not swallow the blocks that follow it.
    coded.push_back(0);
  }
  if (frame.corrupted_ && !GIFIgnoreCorrupt()) throw EReadError(kReadError);
  item.ImageData = std::move(coded);

  if (width == 0) width = screenWidth_;
  if (height == 0) height = screenHeight_;
  frame.origin_ = Point(left, top);
  item.ImageSize = {width, height};
  item.PackedFields = packed;
  if (!frame.localColorMap_) item.ColorTable = data_->ColorTable;
  frame.ApplyGraphicControls();
}

}  // namespace qv
