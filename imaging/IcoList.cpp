#include "imaging/IcoList.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "toolkit/SysUtils.h"

namespace qv {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

[[noreturn]] void ReadError() {
  throw EReadError("Stream read error");
}

std::uint32_t ReadLe32(std::istream& in) {
  unsigned char b[4];
  if (!in.read(reinterpret_cast<char*>(b), 4)) ReadError();
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

void WriteLe32(std::ostream& out, std::uint32_t v) {
  const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
  out.write(b, 4);
}

// Reads `length` bytes, growing the buffer only as the data really arrives.
std::vector<std::uint8_t> ReadBlock(std::istream& in, std::size_t length) {
  std::vector<std::uint8_t> bytes;
  while (bytes.size() < length) {
    const std::size_t want = std::min(kReadChunk, length - bytes.size());
    const std::size_t old = bytes.size();
    bytes.resize(old + want);
    in.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want) ReadError();
  }
  return bytes;
}

}  // namespace

TIconList::TIconList() = default;
TIconList::~TIconList() = default;

void TIconList::Changed() {
  if (updateCount_ > 0) {
    changedInUpdate_ = true;
    return;
  }
  if (OnChange) OnChange(this);
}

void TIconList::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0 && changedInUpdate_) {
    changedInUpdate_ = false;
    Changed();
  }
}

void TIconList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
}

TIcon& TIconList::Icons(int index) const {
  CheckIndex(index);
  return *icons_[static_cast<std::size_t>(index)];
}

int TIconList::Add(const TIcon* icon) {
  auto copy = std::make_unique<TIcon>();
  if (icon != nullptr) copy->Assign(icon);
  icons_.push_back(std::move(copy));
  Changed();
  return Count() - 1;
}

void TIconList::Delete(int index) {
  CheckIndex(index);
  icons_.erase(icons_.begin() + index);
  Changed();
}

void TIconList::Clear() {
  if (icons_.empty()) return;
  icons_.clear();
  Changed();
}

void TIconList::Assign(const TIconList& other) {
  if (&other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (const auto& icon : other.icons_) Add(icon.get());
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TIconList::WriteData(std::ostream& out) const {
  WriteLe32(out, static_cast<std::uint32_t>(icons_.size()));
  for (const auto& icon : icons_) {
    const std::vector<std::uint8_t>& data = icon->Data();
    WriteLe32(out, static_cast<std::uint32_t>(data.size()));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  if (!out) throw EWriteError("Stream write error");
}

void TIconList::ReadData(std::istream& in) {
  const std::uint32_t count = ReadLe32(in);
  if (count > static_cast<std::uint32_t>(kMaxStoredIcons)) {
    throw EReadError(
        Format("Icon list data holds %u entries, more than the %d allowed", count, kMaxStoredIcons));
  }
  std::vector<std::unique_ptr<TIcon>> icons;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t length = ReadLe32(in);
    auto icon = std::make_unique<TIcon>();
    if (length > 0) {
      if (length > kMaxBitmapBytes) {
        throw EInvalidGraphicOperation(Format("Icon data of %u bytes is beyond the limit of %d MB", length,
                                              static_cast<int>(kMaxBitmapBytes >> 20)));
      }
      icon->LoadFromBytes(ReadBlock(in, length));
    }
    icons.push_back(std::move(icon));
  }
  icons_ = std::move(icons);
  Changed();
}

}  // namespace qv
