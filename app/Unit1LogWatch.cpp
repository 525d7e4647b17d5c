// The log-file growth watch: the watch timer's log-file half and the choice of
// another file.
#include <array>
#include <span>

#include "app/Unit1.h"
#include "platform/Files.h"
#include "platform/Services.h"

namespace qv {

namespace {

constexpr char kEndOfText = 26;  // Ctrl-Z
// A line longer than this keeps its beginning: a file without line ends must
// not be held in memory whole.
constexpr std::size_t kMaxLine = 64 * 1024;

// Reads the open file from its start to its end (or its Ctrl-Z) as 8-bit text
// and leaves its newest line in `newest`. A line ends at CR, CR LF or LF; the
// text after the last line end is a line only when it is not empty. Returns
// false when reading fails; `found` tells whether the file held a line at all.
bool ReadNewestLine(platform::IFileSystem& files, const platform::FileHandle& file, std::string& newest,
                    bool& found) {
  if (!files.Seek(file, 0, platform::SeekOrigin::kBegin).Ok()) return false;
  found = false;
  std::string line;
  bool afterCr = false;
  std::array<char, 64 * 1024> buffer;
  for (bool ended = false; !ended;) {
    const auto got = files.Read(file, std::span<char>(buffer));
    if (!got.Ok()) return false;
    ended = got.value == 0;
    for (std::size_t i = 0; i < got.value && !ended; ++i) {
      const char c = buffer[i];
      ended = c == kEndOfText;
      if (ended || (c == '\n' && afterCr)) {  // the text's end, or the LF of a CR LF
        afterCr = false;
        continue;
      }
      afterCr = c == '\r';
      if (c == '\r' || c == '\n') {
        newest = std::move(line);
        found = true;
        line.clear();
      } else if (line.size() < kMaxLine) {
        line += c;
      }
    }
  }
  if (!line.empty()) {
    newest = std::move(line);
    found = true;
  }
  return true;
}

}  // namespace

void TForm1::WatchLogFile() {
  if (ListBox1->Items().Count() > 1000) ListBox1->Items().Clear();
  const std::string path = logfile->Text();
  platform::IFileSystem* files = platform::Current().files;
  bool ok = false;
  if (files != nullptr) {
    // Read-only and sharing writes: the watched program may keep writing.
    auto opened =
        files->Open(path, platform::kGenericRead, platform::kFileShareWrite, platform::kOpenExisting);
    if (opened.Ok()) {
      platform::FileHandle& file = opened.value;
      auto size = files->Size(file);
      ok = size.Ok();
      // Compared as stored: a file beyond 2 GB does not count as changed at every tick.
      if (ok && static_cast<std::int32_t>(size.value) != WatchedLogSize) {
        PlaySoundFile(Edit4->Text());
        LogEvent("$$$ The monitored application has written new content to the monitor file");
        HistoryLogChange(path);
        bool found = false;
        std::string newest;
        ok = ReadNewestLine(*files, file, newest, found);
        if (ok && found) {
          LastLine = std::move(newest);
          HaveLastLine = true;
        }
        // No line in this read nor any earlier one: there is nothing to copy.
        ok = ok && HaveLastLine;
        if (ok) {
          LogEvent("$$$ ==> " + LastLine);
          size = files->Size(file);
          ok = size.Ok();
          if (ok) WatchedLogSize = static_cast<std::int32_t>(size.value);
        }
      }
      files->Close(file);
    }
  }
  if (!ok) LogEvent("File to monitor not found " + path);
}

void TForm1::Panel9Click(TObject*) {
  SelectFile(*OpenDialog3, *logfile);
  MeasureWatchedLog();
}

}  // namespace qv
