// The newest line of the watched log file.
//
// The log is read as 8-bit text: a line ends at CR, LF or CR LF, a Ctrl-Z ends
// the text, and the text after the last line end is a line only when it is not
// empty. A line longer than kMaxLine keeps its beginning, so a file without line
// ends is never held in memory whole.
//
// Logs grow to gigabytes while the GUI thread waits for the answer, so the
// scanner works on whole pieces at memory speed (memchr-class searches) and
// the reader remembers how far an unchanged file has been read: a log that only
// grew costs the bytes it grew by. The holes of a sparse file (zeros, never a
// line end nor a Ctrl-Z) are stepped over, not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/Files.h"

namespace qv {

inline constexpr std::size_t kMaxLogLine = 64 * 1024;
inline constexpr char kEndOfText = 26;  // Ctrl-Z

// Follows a text fed in pieces of any size; the answer is the same however the
// text is cut.
class LogLineScanner {
 public:
  void Feed(std::string_view piece);
  // Feeds `count` zero bytes, as a hole of a sparse file reads.
  void FeedZeros(std::int64_t count);
  void Reset() { *this = LogLineScanner(); }

  // The newest line of the text fed so far, taken as ending here; nullptr when
  // the text holds no line.
  const std::string* Newest() const;
  // A Ctrl-Z has been fed: nothing after it counts.
  bool Ended() const { return ended_; }
  // Bytes that counted: everything fed, up to and including the Ctrl-Z.
  std::int64_t Consumed() const { return consumed_; }

 private:
  std::string line_;    // the line still open, up to kMaxLogLine bytes
  std::string newest_;  // the newest line already ended
  bool found_ = false;  // newest_ holds a line
  bool afterCr_ = false;
  bool ended_ = false;
  std::int64_t consumed_ = 0;
};

// The definition the scanner keeps to, one byte at a time: the newest line of
// `text`, or nothing when it has none.
std::optional<std::string> PlainNewestLine(std::string_view text);

// Finds the newest line of the watched file at each reported change. Between
// reads it keeps the scanner's state at the end of what it read, and goes on
// from there when the file is still the same one (same identity, not shorter,
// and the same bytes at the head and just before that point); otherwise it
// reads the file from its start again.
class LogLineReader {
 public:
  struct Result {
    platform::FileStatus status;
    std::optional<std::string> newest;  // the file's newest line, if it has one
    bool tooLong = false;               // more than the limit to read: nothing was read
    bool Ok() const { return status.Ok(); }
  };
  static constexpr std::int64_t kNoLimit = INT64_MAX;

  // Reads the open `file` to its end (or its Ctrl-Z). Moves the file position.
  // When more than `limit` bytes would have to be read, reads none and keeps
  // what it knows, so that a later Read (on another thread) can go on.
  // A stop request ends the read early, as a failure.
  Result Read(platform::IFileSystem& files, const platform::FileHandle& file, std::stop_token stop = {},
              std::int64_t limit = kNoLimit);
  // Bytes of the last file read that a later read need not read again.
  std::int64_t Resumable() const { return valid_ ? scanner_.Consumed() : 0; }
  void Forget();

  // How much is compared at each end of the remembered part.
  static constexpr std::size_t kCheckBytes = 16 * 1024;

 private:
  bool SameFileAsBefore(platform::IFileSystem& files, const platform::FileHandle& file,
                        const platform::FileId& id, std::int64_t size);
  // Steps over a hole at the read position, feeding the scanner its zeros.
  void SkipHole(platform::IFileSystem& files, const platform::FileHandle& file);
  // Keeps the first and the last kCheckBytes of what has been read.
  void Remember(std::string_view piece);

  bool valid_ = false;
  platform::FileId id_;
  LogLineScanner scanner_;
  std::string head_;
  std::string tail_;
};

}  // namespace qv
