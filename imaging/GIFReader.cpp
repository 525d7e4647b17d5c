// Reading side of TGIFImage: the whole GIF is pulled into memory first, then
// parsed block by block (screen descriptor, extensions, image descriptors).
#include <algorithm>
#include <cctype>
#include <istream>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "imaging/GIFFormat.h"
#include "imaging/GIFImage.h"
#include "toolkit/LittleEndian.h"
#include "toolkit/StreamBytes.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr const char* kReadError = "Stream read error";

constexpr std::uint16_t kMaxRepeatCount = 30000;

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
  ReadSignature(in);
  ReadScreen(in);

  std::vector<std::unique_ptr<TExtension>> collected;
  std::uint8_t introducer = in.Byte();
  while (introducer != 0 && introducer != gif::kTrailer && !in.AtEnd()) {
    while (introducer == gif::kExtensionIntroducer) {
      ReadExtension(in, collected);
      introducer = in.AtEnd() ? gif::kTrailer : in.Byte();
    }

    if (introducer == gif::kImageIntroducer) {
      introducer = ReadImage(in, collected);
      if (introducer != gif::kExtensionIntroducer && introducer != gif::kImageIntroducer) break;
    } else if (data_->Comment.Count() == 0 && !collected.empty()) {
      TakePictureComment(collected);
    } else if (introducer != 0 && introducer != gif::kTrailer) {
      throw EReadError(kReadError);
    }
  }
  FinishReading(decodeFirst);
  Changed();
}

// "GIF" and a version we know, in any case.
void TGIFImage::ReadSignature(Reader& in) {
  std::uint8_t signature[gif::kSignatureBytes];
  in.Bytes(signature, gif::kSignatureBytes);
  if (!EqualsIgnoringCase(signature, "GIF")) throw EInvalidGraphicOperation("Unknown GIF version");
  if (EqualsIgnoringCase(signature + 3, "87a")) {
    version_ = 1;
  } else if (EqualsIgnoringCase(signature + 3, "89a")) {
    version_ = 2;
  } else {
    throw EInvalidGraphicOperation("Unknown GIF version");
  }
}

// The logical screen descriptor and the global colour table.
void TGIFImage::ReadScreen(Reader& in) {
  screenWidth_ = in.Word();
  screenHeight_ = in.Word();
  const std::uint8_t packed = in.Byte();
  const std::uint8_t background = in.Byte();
  data_->AspectRatio = in.Byte();
  data_->BitsPerPixel = static_cast<std::uint8_t>((packed & gif::kTableSizeMask) + 1);
  data_->ColorResolution =
      static_cast<std::uint8_t>(((packed >> gif::kColorResolutionShift) & gif::kTableSizeMask) + 1);
  if ((packed & gif::kColorTableFlag) != 0) {
    in.ColorTable(data_->ColorTable, data_->BitsPerPixel);
    if (background < data_->ColorTable.Count) backgroundColor_ = data_->ColorTable.Color(background);
  }
}

// One extension after its introducer. Graphic controls and comments wait in
// `collected` for the next image; a looping block sets the picture's looping;
// plain text drops what was collected, since it is not kept.
void TGIFImage::ReadExtension(Reader& in, std::vector<std::unique_ptr<TExtension>>& collected) {
  const std::uint8_t label = in.Byte();
  auto extension = std::make_unique<TExtension>();
  const auto record = [&](TGIFExtensionType type, std::size_t bytes) {
    extension->ExtType = type;
    extension->ExtRecord.resize(bytes);
    in.Bytes(extension->ExtRecord.data(), bytes);
  };
  switch (label) {
    case gif::kGraphicControlLabel: record(etGraphicControl, gif::kGraphicControlBytes); break;
    case gif::kCommentLabel:
      extension->ExtType = etComment;
      extension->ExtData = in.SubBlocks();
      break;
    case gif::kPlainTextLabel:
      record(etPlainText, gif::kPlainTextBytes);
      extension->ExtData = in.SubBlocks();
      break;
    case gif::kApplicationLabel:
      record(etApplication, gif::kApplicationBytes);
      extension->ExtData = in.SubBlocks();
      break;
    default: throw EInvalidGraphicOperation(Format("Unrecognized extension block: %.2x", label));
  }
  if (extension->ExtType == etPlainText) {
    // Text drawn over the coming image is not kept, nor the controls meant for it.
    collected.clear();
  } else if (extension->ExtType == etApplication) {
    ReadLooping(*extension);
  } else {
    collected.push_back(std::move(extension));
  }
}

void TGIFImage::ReadLooping(const TExtension& application) {
  const std::size_t idLength = std::min<std::size_t>(application.ExtRecord[0], gif::kApplicationIdBytes);
  const std::string id(reinterpret_cast<const char*>(application.ExtRecord.data() + 1), idLength);
  if ((id != gif::kLoopId && id != gif::kLoopIdAlternative) || application.ExtData->Count() == 0) return;
  const std::string& block = application.ExtData->Strings(0);
  if (block.size() >= gif::kLoopSubBlockBytes && block[0] == gif::kLoopSubBlockId) {
    looping_ = true;
    const unsigned count = static_cast<unsigned char>(block[1]) |
                           (static_cast<unsigned>(static_cast<unsigned char>(block[2])) << 8);
    repeatCount_ = static_cast<std::uint16_t>(std::min<unsigned>(count, kMaxRepeatCount));
  }
}

// One image after its introducer, taking the collected extensions; returns
// the introducer of what follows (the trailer at the end of the data).
std::uint8_t TGIFImage::ReadImage(Reader& in, std::vector<std::unique_ptr<TExtension>>& collected) {
  auto frame = std::make_unique<TGIFFrame>(this);
  TGIFItem& item = frame->CodedImage();
  if (data_->ColorTable.Count > 0) {
    item.BitsPerPixel = static_cast<std::uint8_t>(GIFColorExponent(data_->ColorTable.Count));
  }
  frame->extensions_ = std::move(collected);
  collected.clear();
  ReadFrame(in, *frame);
  frames_.push_back(std::move(frame));
  std::uint8_t introducer = 0;
  while (!in.AtEnd() && introducer == 0) introducer = in.Byte();
  return introducer == 0 ? gif::kTrailer : introducer;
}

// Comments after the last image belong to the whole picture.
void TGIFImage::TakePictureComment(std::vector<std::unique_ptr<TExtension>>& collected) {
  bool first = true;
  for (const auto& extension : collected) {
    if (extension->ExtType != etComment) continue;
    if (!first && data_->Comment.Count() > 0) data_->Comment.Add("\r\n\r\n");
    first = false;
    for (const std::string& line : extension->ExtData->Lines()) data_->Comment.Add(line);
  }
  collected.clear();
}

// The first frame becomes current and, when asked, is decoded; a first frame
// that fails to decode is dropped before the failure goes on.
void TGIFImage::FinishReading(bool decodeFirst) {
  if (frames_.empty()) return;
  frameIndex_ = 0;
  if (!decodeFirst) return;
  try {
    frames_[0]->Decode();
  } catch (...) {
    frames_.erase(frames_.begin());
    frameIndex_ = frames_.empty() ? -1 : 0;
    throw;
  }
}

void TGIFImage::ReadFrame(Reader& in, TGIFFrame& frame) {
  TGIFItem& item = frame.CodedImage();
  in.Need(gif::kImageDescriptorBytes);
  const std::uint16_t left = in.Word();
  const std::uint16_t top = in.Word();
  std::int32_t width = in.Word();
  std::int32_t height = in.Word();
  const std::uint8_t packed = in.Byte();
  frame.interlaced_ = (packed & gif::kInterlacedFlag) != 0;
  if ((packed & gif::kColorTableFlag) != 0) {
    item.BitsPerPixel = static_cast<std::uint8_t>((packed & gif::kTableSizeMask) + 1);
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
