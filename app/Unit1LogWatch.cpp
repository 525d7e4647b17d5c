// The log-file growth watch: the watch timer's log-file half and the choice of
// another file.
#include "app/Unit1.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/Services.h"

namespace qv {

namespace {

// A change that needs more than this read is read off the GUI thread: at memory
// speed a piece of this size costs about a millisecond.
constexpr std::int64_t kGuiReadLimit = 1024 * 1024;

platform::FileResult<platform::FileHandle> OpenWatchedLog(platform::IFileSystem& files,
                                                          const std::string& path) {
  // Read-only and sharing writes: the watched program may keep writing.
  return files.Open(path, platform::kGenericRead, platform::kFileShareWrite, platform::kOpenExisting);
}

}  // namespace

void TForm1::WatchLogFile() {
  if (ListBox1->Items().Count() > 1000) ListBox1->Items().Clear();
  const std::string path = logfile->Text();
  platform::IFileSystem* files = platform::Current().files;
  bool ok = false;
  if (files != nullptr) {
    auto opened = OpenWatchedLog(*files, path);
    if (opened.Ok()) {
      platform::FileHandle& file = opened.value;
      auto size = files->Size(file);
      ok = size.Ok();
      WatchedLog& log = *watchedLog_;
      // A change still waiting for its line takes in what comes meanwhile.
      if (ok && size.value != WatchedLogSize && !log.changePending) {
        PlaySoundFile(Edit4->Text());
        LogEvent("$$$ The monitored application has written new content to the monitor file");
        HistoryLogChange(path);
        if (log.reading != 0)
          log.changePending = true;
        else
          ok = CopyNewestLogLine(*files, file, path);
      }
      files->Close(file);
    }
  }
  if (!ok) LogEvent("File to monitor not found " + path);
}

bool TForm1::CopyNewestLogLine(platform::IFileSystem& files, const platform::FileHandle& file,
                               const std::string& path) {
  WatchedLog& log = *watchedLog_;
  const bool canWait = platform::Current().loop != nullptr;
  LogLineReader::Result read =
      log.reader.Read(files, file, {}, canWait ? kGuiReadLimit : LogLineReader::kNoLimit);
  if (read.tooLong) {
    log.changePending = true;
    auto away = std::make_shared<LogLineReader>(std::move(log.reader));
    log.reader.Forget();
    ReadLogInBackground(path, std::move(away));
    return true;
  }
  bool ok = read.Ok();
  if (ok && read.newest) {
    LastLine = std::move(*read.newest);
    HaveLastLine = true;
  }
  // No line in this read nor any earlier one: there is nothing to copy.
  ok = ok && HaveLastLine;
  if (ok) {
    LogEvent("$$$ ==> " + LastLine);
    auto size = files.Size(file);
    ok = size.Ok();
    if (ok) WatchedLogSize = size.value;
  }
  return ok;
}

void TForm1::ReadLogInBackground(const std::string& path, std::shared_ptr<LogLineReader> reader) {
  platform::IFileSystem* files = platform::Current().files;
  platform::IEventLoop* loop = platform::Current().loop;
  if (files == nullptr || loop == nullptr) return;
  WatchedLog& log = *watchedLog_;
  const std::uint64_t read = ++log.reads;
  log.reading = read;
  // Replacing the thread stops and joins an earlier one.
  logReadThread_ = std::jthread(
      [this, files, loop, path, read, reader, alive = std::weak_ptr(watchedLog_)](std::stop_token stop) {
        bool ok = false;
        if (auto opened = OpenWatchedLog(*files, path); opened.Ok()) {
          ok = reader->Read(*files, opened.value, stop).Ok();
          files->Close(opened.value);
        }
        if (stop.stop_requested()) return;
        // Taken back on the GUI thread, where the window is destroyed: a window
        // already gone takes nothing.
        loop->Post([this, read, reader, ok, alive] {
          if (alive.lock()) FinishLogRead(read, std::move(*reader), ok);
        });
      });
}

void TForm1::FinishLogRead(std::uint64_t read, LogLineReader&& reader, bool ok) {
  WatchedLog& log = *watchedLog_;
  if (read != log.reading) return;  // a later read replaced it
  log.reading = 0;
  log.reader = std::move(reader);
  if (!log.changePending) return;
  log.changePending = false;
  const std::string path = logfile->Text();
  platform::IFileSystem* files = platform::Current().files;
  if (ok && files != nullptr) {
    auto opened = OpenWatchedLog(*files, path);
    ok = opened.Ok() && CopyNewestLogLine(*files, opened.value, path);
    if (opened.Ok()) files->Close(opened.value);
  }
  if (!ok) LogEvent("File to monitor not found " + path);
}

void TForm1::Panel9Click(TObject*) {
  SelectFile(*OpenDialog3, *logfile);
  MeasureWatchedLog();
}

}  // namespace qv
