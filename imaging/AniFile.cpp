#include "imaging/AniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <mutex>
#include <unordered_map>

#include "imaging/IcoList.h"
#include "imaging/ImagingErrors.h"
#include "imaging/Quantize.h"
#include "toolkit/Canvas.h"
#include "toolkit/LittleEndian.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr std::uint32_t kRiff = FourCC("RIFF");
constexpr std::uint32_t kAcon = FourCC("ACON");
constexpr std::uint32_t kAnih = FourCC("anih");
constexpr std::uint32_t kRate = FourCC("rate");
constexpr std::uint32_t kSeq = FourCC("seq ");
constexpr std::uint32_t kList = FourCC("LIST");
constexpr std::uint32_t kFram = FourCC("fram");
constexpr std::uint32_t kIcon = FourCC("icon");
constexpr std::uint32_t kInfo = FourCC("INFO");
constexpr std::uint32_t kInam = FourCC("INAM");
constexpr std::uint32_t kIart = FourCC("IART");

constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kMaxText = 255;
constexpr std::size_t kValueSize = 4;  // "rate" and "seq " use their first value only
constexpr std::size_t kReadChunk = 64 * 1024;

// Icon resource layout used for the colour count and hot spot.
constexpr std::size_t kIconDirHeader = 6;
constexpr std::size_t kIconDirEntry = 16;
constexpr std::size_t kInfoBitCountAt = 14;

[[noreturn]] void ReadError() {
  throw EReadError("Stream read error");
}

constexpr std::uint64_t Even(std::uint32_t size) {
  return static_cast<std::uint64_t>(size) + (size & 1u);
}

// Sequential reading of the file held in memory; every step either succeeds
// whole or fails without moving past the end.
class ChunkReader {
 public:
  explicit ChunkReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t Left() const { return data_.size() - pos_; }
  std::size_t Size() const { return data_.size(); }

  bool Header(std::uint32_t& id, std::uint32_t& size) {
    if (Left() < kChunkHeaderSize) return false;
    id = LoadLe32(data_.data() + pos_);
    size = LoadLe32(data_.data() + pos_ + 4);
    pos_ += kChunkHeaderSize;
    return true;
  }
  bool Read(void* to, std::size_t n) {
    if (Left() < n) return false;
    std::memcpy(to, data_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  bool Take(std::size_t n, std::span<const std::uint8_t>& out) {
    if (Left() < n) return false;
    out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(std::uint64_t n) {
    if (Left() < n) {
      pos_ = data_.size();
      return false;
    }
    pos_ += static_cast<std::size_t>(n);
    return true;
  }
  bool SeekTo(std::uint64_t at) {
    if (at > data_.size()) {
      pos_ = data_.size();
      return false;
    }
    pos_ = static_cast<std::size_t>(at);
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

std::size_t IconBytes(const TIcon& icon) {
  return icon.Data().size() + icon.Image().RowStride() * static_cast<std::size_t>(icon.Image().Height());
}

std::string TextOf(const std::array<char, 256>& text) {
  return std::string(text.data(), strnlen(text.data(), text.size()));
}

struct AssignToRegistry {
  std::mutex lock;
  std::vector<TAnimatedCursorImage::TAssignToHandler> handlers;
};

AssignToRegistry& Handlers() {
  static AssignToRegistry registry;
  return registry;
}

}  // namespace

// --- TIconFrame ------------------------------------------------------------------

TIconFrame::TIconFrame() = default;
TIconFrame::~TIconFrame() = default;

void TIconFrame::Assign(const TIconFrame& other) {
  if (&other == this) return;
  if (other.icon_) {
    auto icon = std::make_unique<TIcon>();
    icon->Assign(other.icon_.get());
    icon_ = std::move(icon);
  } else {
    icon_.reset();
  }
  fromIcon_ = other.fromIcon_;
  chunkId_ = other.chunkId_;
  chunkSize_ = other.chunkSize_;
  hotSpot_ = other.hotSpot_;
  jiffRate_ = other.jiffRate_;
  seqIndex_ = other.seqIndex_;
}

// --- Parsing ---------------------------------------------------------------------

struct TAnimatedCursorImage::ParseState {
  explicit ParseState(std::span<const std::uint8_t> data) : in(data) {}

  ChunkReader in;
  int rateChunks = 0;
  int seqChunks = 0;
  std::int32_t iconNumber = 0;
  // Frames by the icon they ask for, so each icon finds its frames at once.
  std::unordered_map<std::int32_t, std::vector<TIconFrame*>> bySeq;
  std::size_t frameBytes = 0;

  void Index(TIconFrame* frame) { bySeq[frame->SeqIndex()].push_back(frame); }
  void Reindex(TIconFrame* frame, std::int32_t seq) {
    auto& old = bySeq[frame->SeqIndex()];
    old.erase(std::remove(old.begin(), old.end(), frame), old.end());
    frame->SetSeqIndex(seq);
    Index(frame);
  }
  // Every icon copy a frame keeps counts against one budget for the file.
  void Charge(const TIcon& icon) {
    frameBytes += IconBytes(icon);
    if (frameBytes > kMaxFrameBytes) {
      throw EInvalidGraphicOperation(Format("Animated cursor frames are beyond the limit of %d MB",
                                            static_cast<int>(kMaxFrameBytes >> 20)));
    }
  }
};

void TAnimatedCursorImage::ParseANI(std::span<const std::uint8_t> data) {
  ParseState state(data);
  std::uint32_t id = 0, size = 0, form = 0;
  if (!state.in.Header(id, size) || id != kRiff) ReadError();
  std::uint8_t formBytes[4];
  if (!state.in.Read(formBytes, 4)) ReadError();
  form = LoadLe32(formBytes);
  if (form != kAcon) ReadError();
  Clear();
  try {
    ParseChunks(state);
    frames_.erase(
        std::remove_if(frames_.begin(), frames_.end(), [](const auto& f) { return f->Icon() == nullptr; }),
        frames_.end());
    header_.Steps = static_cast<std::uint32_t>(frames_.size());
    if (frames_.empty()) ReadError();
  } catch (...) {
    Clear();
    throw;
  }
}

void TAnimatedCursorImage::ParseChunks(ParseState& state) {
  ChunkReader& in = state.in;
  std::uint32_t id = 0, size = 0;
  while (in.Header(id, size)) {
    if (id == kAnih) {
      std::uint8_t raw[kAniHeaderSize] = {};
      const std::size_t n = std::min<std::size_t>(size, kAniHeaderSize);
      if (!in.Read(raw, n)) return;
      // A longer header than we know keeps its excess unread.
      if (!in.Skip(Even(size) - n)) return;
      std::uint32_t v[9];
      for (std::size_t i = 0; i < 9; ++i) v[i] = LoadLe32(raw + 4 * i);
      header_ = TAniHeader{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
      if ((header_.Flags & kAniFlagIcon) == 0 || header_.Steps == 0) ReadError();
      // A frame needs an "icon" or "seq " chunk of at least 8 bytes to keep, so
      // more frames than that cannot survive; the rest is a hostile count.
      const std::uint64_t frames = std::min<std::uint64_t>(header_.Frames, in.Size() / kChunkHeaderSize);
      if (frames > kMaxFrames) {
        throw EInvalidGraphicOperation(
            Format("Animated cursor of %u frames is beyond the limit of %u", header_.Frames, kMaxFrames));
      }
      for (std::uint64_t i = 0; i < frames; ++i) {
        auto frame = std::make_unique<TIconFrame>();
        frame->SetSeqIndex(static_cast<std::int32_t>(i));
        frame->SetJiffRate(header_.DisplayRate);
        state.Index(frame.get());
        frames_.push_back(std::move(frame));
      }
    } else if (id == kRate || id == kSeq) {
      std::uint8_t raw[kValueSize] = {};
      const std::size_t n = std::min<std::size_t>(size, kValueSize);
      if (!in.Read(raw, n)) return;
      const std::uint32_t value = LoadLe32(raw);
      int& counter = id == kRate ? state.rateChunks : state.seqChunks;
      const int j = counter++;
      if (j < FrameCount()) {
        TIconFrame* frame = frames_[static_cast<std::size_t>(j)].get();
        if (id == kRate) {
          frame->SetJiffRate(value);
        } else {
          state.Reindex(frame, static_cast<std::int32_t>(value));
        }
      }
      if (!in.Skip(Even(size) - n)) return;
    } else if (id == kList) {
      const std::uint64_t listEnd = in.Position() + Even(size);
      std::uint8_t typeBytes[4];
      if (!in.Read(typeBytes, 4)) return;
      const std::uint32_t type = LoadLe32(typeBytes);
      const std::int64_t remaining = static_cast<std::int64_t>(Even(size)) - 4;
      if (type == kFram) {
        ParseFrameList(state, remaining);
      } else if (type == kInfo) {
        ParseInfoList(state, remaining);
      }
      // However the list ended, the next chunk starts after it (or after its
      // type, for a list too short to hold one).
      if (!in.SeekTo(std::max<std::uint64_t>(listEnd, in.Position()))) return;
    } else {
      if (!in.Skip(Even(size))) return;
    }
  }
}

void TAnimatedCursorImage::ParseFrameList(ParseState& state, std::int64_t remaining) {
  ChunkReader& in = state.in;
  std::uint32_t id = 0, size = 0;
  while (remaining > 7) {
    if (!in.Header(id, size)) return;
    remaining -= 8;
    if (id != kIcon) {
      if (!in.Skip(Even(size))) return;
      remaining -= static_cast<std::int64_t>(Even(size));
      continue;
    }
    std::span<const std::uint8_t> chunk;
    if (!in.Take(size, chunk)) return;
    // The pad byte after an odd-sized icon is stepped over, so the next
    // sub-chunk is read where it really starts.
    if ((size & 1) != 0) in.Skip(1);
    bool fromIcon = false;
    TPoint hotSpot;
    std::unique_ptr<TIcon> icon = LoadIconChunk(chunk, fromIcon, hotSpot);
    if (!icon) return;
    const auto give = [&](TIconFrame& frame) {
      auto copy = std::make_unique<TIcon>();
      copy->Assign(icon.get());
      state.Charge(*copy);
      frame.SetIcon(std::move(copy));
      frame.SetFromIcon(fromIcon);
      frame.SetChunk(id, size);
      frame.SetHotSpot(hotSpot);
    };
    const auto found = state.bySeq.find(state.iconNumber);
    if (found != state.bySeq.end() && !found->second.empty()) {
      for (TIconFrame* frame : found->second) give(*frame);
    } else {
      auto frame = std::make_unique<TIconFrame>();
      frame->SetSeqIndex(-1);
      frame->SetJiffRate(header_.DisplayRate);
      give(*frame);
      state.Index(frame.get());
      frames_.push_back(std::move(frame));
    }
    ++state.iconNumber;
    remaining -= static_cast<std::int64_t>(Even(size));
  }
}

void TAnimatedCursorImage::ParseInfoList(ParseState& state, std::int64_t remaining) {
  ChunkReader& in = state.in;
  std::uint32_t id = 0, size = 0;
  while (remaining > 7) {
    if (!in.Header(id, size)) return;
    remaining -= 8;
    if (static_cast<std::int64_t>(size) > remaining) return;
    if (id == kInam || id == kIart) {
      std::array<char, 256>& text = id == kInam ? title_ : author_;
      text.fill(0);
      const std::size_t n = std::min<std::size_t>(size, kMaxText);
      if (!in.Read(text.data(), n)) return;
      if (!in.Skip(Even(size) - n)) return;
    } else if (!in.Skip(Even(size))) {
      return;
    }
    remaining -= static_cast<std::int64_t>(Even(size));
  }
}

std::unique_ptr<TIcon> TAnimatedCursorImage::LoadIconChunk(std::span<const std::uint8_t> chunk,
                                                           bool& fromIcon, TPoint& hotSpot) {
  std::vector<std::uint8_t> buffer(chunk.begin(), chunk.end());
  hotSpot = TPoint{};
  fromIcon = false;
  if (buffer.size() < kIconDirHeader) return nullptr;
  const std::uint16_t type = LoadLe16(buffer.data() + 2);
  fromIcon = type == kIconResource;
  if (type == kCursorResource) {
    buffer[2] = static_cast<std::uint8_t>(kIconResource);  // loads as an icon
  } else if (type != kIconResource) {
    return nullptr;
  }
  const std::size_t count = LoadLe16(buffer.data() + 4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kIconDirHeader + i * kIconDirEntry;
    if (buffer.size() < at + kIconDirEntry) break;
    const std::uint32_t length = LoadLe32(buffer.data() + at + 8);
    const std::uint32_t offset = LoadLe32(buffer.data() + at + 12);
    // Colour count from the image's info header; a PNG-coded image has none.
    if (offset <= buffer.size() && length >= kInfoBitCountAt + 2 &&
        buffer.size() - offset >= kInfoBitCountAt + 2 && LoadLe32(buffer.data() + offset) != 0x474E5089u) {
      const std::uint16_t bits = LoadLe16(buffer.data() + offset + kInfoBitCountAt);
      const std::uint16_t colors = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
      iconColors_ = std::max(iconColors_, colors);
    }
    hotSpot = Point(LoadLe16(buffer.data() + at + 4), LoadLe16(buffer.data() + at + 6));
  }
  auto icon = std::make_unique<TIcon>();
  try {
    icon->LoadFromBytes(buffer);
  } catch (const EInvalidGraphic&) {
    return nullptr;
  } catch (const EInvalidGraphicOperation&) {
    return nullptr;
  }
  if (fromIcon) hotSpot = Point(icon->Width() / 2, icon->Height() / 2);
  return icon;
}

// --- TAnimatedCursorImage --------------------------------------------------------

TAnimatedCursorImage::TAnimatedCursorImage() = default;
TAnimatedCursorImage::~TAnimatedCursorImage() = default;

void TAnimatedCursorImage::RegisterAssignTo(TAssignToHandler handler) {
  std::lock_guard<std::mutex> guard(Handlers().lock);
  Handlers().handlers.push_back(std::move(handler));
}

std::string TAnimatedCursorImage::Title() const {
  return TextOf(title_);
}
std::string TAnimatedCursorImage::Author() const {
  return TextOf(author_);
}

TIconFrame& TAnimatedCursorImage::Frames(int index) const {
  if (index < 0 || index >= FrameCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return *frames_[static_cast<std::size_t>(index)];
}

void TAnimatedCursorImage::Clear() {
  frames_.clear();
  title_.fill(0);
  author_.fill(0);
  header_ = TAniHeader{};
  iconColors_ = 0;
}

void TAnimatedCursorImage::LoadFromStream(std::istream& stream) {
  std::vector<std::uint8_t> bytes;
  while (stream) {
    const std::size_t old = bytes.size();
    bytes.resize(old + kReadChunk);
    stream.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(kReadChunk));
    bytes.resize(old + static_cast<std::size_t>(stream.gcount()));
    if (bytes.size() > kMaxFileBytes) {
      throw EInvalidGraphicOperation(
          Format("Animated cursor file is beyond the limit of %d MB", static_cast<int>(kMaxFileBytes >> 20)));
    }
  }
  if (!bytes.empty()) ParseANI(bytes);
}

void TAnimatedCursorImage::LoadFromBytes(std::span<const std::uint8_t> data) {
  if (data.size() > kMaxFileBytes) {
    throw EInvalidGraphicOperation(
        Format("Animated cursor file is beyond the limit of %d MB", static_cast<int>(kMaxFileBytes >> 20)));
  }
  if (!data.empty()) ParseANI(data);
}

void TAnimatedCursorImage::LoadFromFile(const std::string& fileName) {
  try {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
      throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
    }
    LoadFromStream(in);
  } catch (...) {
    Clear();
    throw;
  }
}

void TAnimatedCursorImage::SaveToStream(std::ostream&) const {
  AbortNotImplemented();
}

void TAnimatedCursorImage::CopyFrom(const TAnimatedCursorImage& other) {
  header_ = other.header_;
  title_ = other.title_;
  author_ = other.author_;
  iconColors_ = other.iconColors_;
  for (const auto& source : other.frames_) {
    auto frame = std::make_unique<TIconFrame>();
    frame->Assign(*source);
    frames_.push_back(std::move(frame));
  }
}

void TAnimatedCursorImage::Assign(const TObject* source) {
  if (source == this) return;
  if (source == nullptr) {
    Clear();
    return;
  }
  const auto* other = dynamic_cast<const TAnimatedCursorImage*>(source);
  if (other == nullptr) {
    throw EConvertError(Format("Cannot assign a %s to a TAnimatedCursorImage", ClassNameOf(*source).c_str()));
  }
  Clear();
  try {
    CopyFrom(*other);
  } catch (...) {
    Clear();
    throw;
  }
}

void TAnimatedCursorImage::AssignTo(TObject& destination) const {
  if (auto* icon = dynamic_cast<TIcon*>(&destination)) {
    if (!frames_.empty()) icon->Assign(frames_.front()->Icon());
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(&destination)) {
    if (!frames_.empty()) DrawStrip(*bitmap, bitmap->Canvas().Brush().Color(), false, true);
    return;
  }
  if (auto* list = dynamic_cast<TIconList*>(&destination)) {
    list->BeginUpdate();
    try {
      list->Clear();
      for (const auto& frame : frames_) list->Add(frame->Icon());
    } catch (...) {
      list->EndUpdate();
      throw;
    }
    list->EndUpdate();
    return;
  }
  std::vector<TAssignToHandler> handlers;
  {
    std::lock_guard<std::mutex> guard(Handlers().lock);
    handlers = Handlers().handlers;
  }
  for (const TAssignToHandler& handler : handlers) {
    if (handler(*this, destination)) return;
  }
  throw EConvertError(
      Format("Cannot assign a TAnimatedCursorImage to a %s", ClassNameOf(destination).c_str()));
}

void TAnimatedCursorImage::DrawStrip(TBitmap& bitmap, TColor background, bool vertical, bool reduce) const {
  if (frames_.empty()) {
    const TBitmap empty;
    bitmap.Assign(&empty);
    return;
  }
  const TIcon* first = frames_.front()->Icon();
  const long long w = first != nullptr ? first->Width() : 0;
  const long long h = first != nullptr ? first->Height() : 0;
  const auto n = static_cast<long long>(frames_.size());
  const long long stripWidth = vertical ? w : w * n;
  const long long stripHeight = vertical ? h * n : h;
  // Checked before the int conversion so a long strip cannot wrap around.
  const auto clampSide = [](long long v) {
    return static_cast<int>(std::min<long long>(v, kMaxBitmapSide + 1));
  };
  CheckBitmapLimits(clampSide(stripWidth), clampSide(stripHeight), pf24bit);

  TBitmap strip;
  strip.SetSize(static_cast<int>(stripWidth), static_cast<int>(stripHeight));
  TCanvas& canvas = strip.Canvas();
  canvas.Brush().SetColor(background);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(Rect(0, 0, strip.Width(), strip.Height()));
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    TIcon* icon = frames_[i]->Icon();
    if (icon == nullptr) continue;
    const int at = static_cast<int>(i);
    canvas.Draw(vertical ? 0 : at * icon->Width(), vertical ? at * icon->Height() : 0, icon);
  }
  if (reduce && !strip.Empty()) ReduceColors(&strip, std::max<int>(iconColors_, 16));
  bitmap.Assign(&strip);
}

}  // namespace qv
