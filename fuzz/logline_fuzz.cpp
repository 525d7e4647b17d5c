// The log watch's line reader against the plain byte-at-a-time reader. The
// first bytes choose where the text is cut; the log then grows piece by piece
// (now and then rewritten in place), and after every piece the scanner and the
// file reader, with or without a limit, must give the line the plain reader
// gives for the whole text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/LogLineReader.h"
#include "platform/fake/FakeFiles.h"

namespace {

using qv::platform::FileHandle;
using qv::platform::fake::FakeFileSystem;

constexpr std::size_t kMaxCuts = 16;

void Check(bool agrees) {
  if (!agrees) std::abort();
}

void WriteLog(FakeFileSystem& files, std::string_view text, bool rewrite) {
  namespace p = qv::platform;
  auto opened = files.Open("log", p::kGenericWrite, p::kFileShareRead | p::kFileShareWrite,
                           rewrite ? p::kCreateAlways : p::kOpenExisting);
  Check(opened.Ok());
  if (!rewrite) Check(files.SeekToEnd(opened.value).Ok());
  Check(files.Write(opened.value, text).Ok());
  files.Close(opened.value);
}

// First with a limit, as the GUI thread reads: a read over it reads nothing
// and must leave the reader able to go on, as the background read does.
std::optional<std::string> ReadLog(FakeFileSystem& files, qv::LogLineReader& reader, std::int64_t limit) {
  namespace p = qv::platform;
  auto opened = files.Open("log", p::kGenericRead, p::kFileShareWrite, p::kOpenExisting);
  Check(opened.Ok());
  qv::LogLineReader::Result result = reader.Read(files, opened.value, {}, limit);
  if (result.tooLong) {
    Check(result.Ok() && !result.newest);
    result = reader.Read(files, opened.value);
  }
  files.Close(opened.value);
  Check(result.Ok());
  return result.newest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Cut lengths: one byte each, as many as the first byte says.
  const std::size_t cutCount = std::min<std::size_t>(data[0] % (kMaxCuts + 1), size - 1);
  std::vector<std::size_t> cuts(data + 1, data + 1 + cutCount);
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + cutCount), size - 1 - cutCount);

  FakeFileSystem files;
  files.SetFile("log", "");
  qv::LogLineReader reader;
  qv::LogLineScanner scanner;
  std::size_t at = 0;
  for (std::size_t i = 0; at < text.size(); ++i) {
    const std::size_t cut = i < cuts.size() ? cuts[i] : text.size();
    const std::size_t length = std::min(cut, text.size() - at);
    const std::string_view piece = text.substr(at, length);
    at += length;
    scanner.Feed(piece);
    // An odd cut rewrites the whole text in place instead of appending.
    const bool rewrite = cut % 2 == 1;
    WriteLog(files, rewrite ? text.substr(0, at) : piece, rewrite);

    const std::optional<std::string> expected = qv::PlainNewestLine(text.substr(0, at));
    const std::string* scanned = scanner.Newest();
    Check(expected.has_value() == (scanned != nullptr));
    Check(!expected || *expected == *scanned);
    Check(ReadLog(files, reader, static_cast<std::int64_t>(cut) * 4) == expected);
  }
  return 0;
}
