#include "app/LogLineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace qv {

namespace {

constexpr std::size_t kNone = std::string_view::npos;
// Large enough that a gigabyte costs few calls, small enough to stay in cache.
constexpr std::size_t kReadPiece = 1024 * 1024;

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// The position of the last CR or LF in text[from, to), or kNone.
std::size_t LastLineEnd(std::string_view text, std::size_t from, std::size_t to) {
  if (to <= from) return kNone;
  const char* begin = text.data() + from;
  const std::size_t length = to - from;
  const auto* cr = static_cast<const char*>(::memrchr(begin, '\r', length));
  const auto* lf = static_cast<const char*>(::memrchr(begin, '\n', length));
  const char* last = cr == nullptr ? lf : (lf == nullptr || cr > lf ? cr : lf);
  return last == nullptr ? kNone : static_cast<std::size_t>(last - text.data());
}

// Appends as much of `more` as fits below the line limit.
void AppendCapped(std::string& line, std::string_view more) {
  if (line.size() >= kMaxLogLine) return;
  line.append(more.substr(0, kMaxLogLine - line.size()));
}

}  // namespace

void LogLineScanner::Feed(std::string_view piece) {
  if (ended_) return;
  if (const void* stop = std::memchr(piece.data(), kEndOfText, piece.size()); stop != nullptr) {
    piece = piece.substr(0, static_cast<std::size_t>(static_cast<const char*>(stop) - piece.data()));
    ended_ = true;
    consumed_ += static_cast<std::int64_t>(piece.size()) + 1;
  } else {
    consumed_ += static_cast<std::int64_t>(piece.size());
  }
  if (piece.empty()) return;

  // The LF of a CR LF that the previous piece cut in two.
  const std::size_t from = afterCr_ && piece.front() == '\n' ? 1 : 0;
  afterCr_ = false;
  const std::size_t last = LastLineEnd(piece, from, piece.size());
  if (last == kNone) {
    AppendCapped(line_, piece.substr(from));
    return;
  }
  // The line that the last line end closes; a LF right after a CR belongs to it.
  const std::size_t close = piece[last] == '\n' && last > from && piece[last - 1] == '\r' ? last - 1 : last;
  const std::size_t opened = LastLineEnd(piece, from, close);
  if (opened == kNone) {
    newest_ = std::move(line_);
    AppendCapped(newest_, piece.substr(from, close - from));
  } else {
    newest_.clear();
    AppendCapped(newest_, piece.substr(opened + 1, close - opened - 1));
  }
  found_ = true;
  line_.clear();
  AppendCapped(line_, piece.substr(last + 1));
  afterCr_ = piece[last] == '\r' && last + 1 == piece.size();
}

void LogLineScanner::FeedZeros(std::int64_t count) {
  if (ended_ || count <= 0) return;
  consumed_ += count;
  afterCr_ = false;
  if (line_.size() < kMaxLogLine)
    line_.append(static_cast<std::size_t>(std::min<std::int64_t>(count, kMaxLogLine - line_.size())), '\0');
}

const std::string* LogLineScanner::Newest() const {
  if (!line_.empty()) return &line_;
  return found_ ? &newest_ : nullptr;
}

std::optional<std::string> PlainNewestLine(std::string_view text) {
  std::optional<std::string> newest;
  std::string line;
  bool afterCr = false;
  for (const char c : text) {
    if (c == kEndOfText) break;
    if (c == '\n' && afterCr) {
      afterCr = false;
      continue;
    }
    afterCr = c == '\r';
    if (IsLineEnd(c)) {
      newest = std::move(line);
      line.clear();
    } else if (line.size() < kMaxLogLine) {
      line += c;
    }
  }
  if (!line.empty()) newest = std::move(line);
  return newest;
}

namespace {

// Reads `length` bytes at `offset`; fewer when the file ends first.
platform::FileResult<std::string> ReadAt(platform::IFileSystem& files, const platform::FileHandle& file,
                                         std::int64_t offset, std::size_t length) {
  platform::FileResult<std::string> result;
  if (auto moved = files.Seek(file, offset, platform::SeekOrigin::kBegin); !moved.Ok()) {
    result.status = std::move(moved.status);
    return result;
  }
  result.value.resize(length);
  std::size_t have = 0;
  while (have < length) {
    auto got = files.Read(file, std::span<char>(result.value.data() + have, length - have));
    if (!got.Ok()) {
      result.status = std::move(got.status);
      return result;
    }
    if (got.value == 0) break;
    have += got.value;
  }
  result.value.resize(have);
  return result;
}

}  // namespace

void LogLineReader::Forget() {
  valid_ = false;
  scanner_.Reset();
  head_.clear();
  tail_.clear();
}

bool LogLineReader::SameFileAsBefore(platform::IFileSystem& files, const platform::FileHandle& file,
                                     const platform::FileId& id, std::int64_t size) {
  if (!valid_ || !(id == id_)) return false;
  const std::int64_t known = scanner_.Consumed();
  if (size < known) return false;
  // A file emptied and written again in place keeps its identity; its first
  // bytes or those just before the point we reached tell it apart.
  auto head = ReadAt(files, file, 0, head_.size());
  if (!head.Ok() || head.value != head_) return false;
  auto tail = ReadAt(files, file, known - static_cast<std::int64_t>(tail_.size()), tail_.size());
  return tail.Ok() && tail.value == tail_;
}

void LogLineReader::Remember(std::string_view piece) {
  if (head_.size() < kCheckBytes) head_.append(piece.substr(0, kCheckBytes - head_.size()));
  if (piece.size() >= kCheckBytes) {
    tail_.assign(piece.substr(piece.size() - kCheckBytes));
  } else {
    tail_.append(piece);
    if (tail_.size() > kCheckBytes) tail_.erase(0, tail_.size() - kCheckBytes);
  }
}

void LogLineReader::SkipHole(platform::IFileSystem& files, const platform::FileHandle& file) {
  // A failed search (no data left, or none the file system can name) leaves the
  // position where it was: the read goes on there.
  const std::int64_t at = scanner_.Consumed();
  auto data = files.Seek(file, at, platform::SeekOrigin::kData);
  if (!data.Ok() || data.value <= at) return;
  const std::int64_t hole = data.value - at;
  scanner_.FeedZeros(hole);
  static const std::string zeros(kCheckBytes, '\0');
  Remember(
      std::string_view(zeros).substr(0, static_cast<std::size_t>(std::min<std::int64_t>(hole, kCheckBytes))));
}

LogLineReader::Result LogLineReader::Read(platform::IFileSystem& files, const platform::FileHandle& file,
                                          std::stop_token stop, std::int64_t limit) {
  Result result;
  auto id = files.Identity(file);
  if (!id.Ok()) {
    result.status = std::move(id.status);
    return result;
  }
  auto size = files.Size(file);
  if (!size.Ok()) {
    result.status = std::move(size.status);
    return result;
  }
  const bool same = SameFileAsBefore(files, file, id.value, size.value);
  const std::int64_t from = !same ? 0 : scanner_.Ended() ? size.value : scanner_.Consumed();
  if (size.value - from > limit) {
    result.tooLong = true;
    return result;
  }
  if (!same) {
    Forget();
    id_ = id.value;
  }
  // Whatever fails below leaves nothing to go on from.
  valid_ = false;
  if (!scanner_.Ended()) {
    if (auto moved = files.Seek(file, scanner_.Consumed(), platform::SeekOrigin::kBegin); !moved.Ok()) {
      result.status = std::move(moved.status);
      return result;
    }
    // Not cleared: a small growth touches only the pages it is read into.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadPiece);
    while (!scanner_.Ended()) {
      if (stop.stop_requested()) {
        result.status = platform::FileStatus::Failure(ECANCELED, "read: stopped");
        return result;
      }
      SkipHole(files, file);
      auto got = files.Read(file, std::span<char>(buffer.get(), kReadPiece));
      if (!got.Ok()) {
        result.status = std::move(got.status);
        return result;
      }
      if (got.value == 0) break;
      const std::int64_t before = scanner_.Consumed();
      scanner_.Feed(std::string_view(buffer.get(), got.value));
      Remember(std::string_view(buffer.get(), static_cast<std::size_t>(scanner_.Consumed() - before)));
    }
  }
  valid_ = true;
  if (const std::string* newest = scanner_.Newest()) result.newest = *newest;
  return result;
}

}  // namespace qv
