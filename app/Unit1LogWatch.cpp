// The log-file growth watch: the watch timer's log-file half and the choice of
// another file.
#include "app/Unit1.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/Services.h"

namespace qv {

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
      if (ok && size.value != WatchedLogSize) {
        PlaySoundFile(Edit4->Text());
        LogEvent("$$$ The monitored application has written new content to the monitor file");
        HistoryLogChange(path);
        LogLineReader::Result read = logReader_->Read(*files, file);
        ok = read.Ok();
        if (ok && read.newest) {
          LastLine = std::move(*read.newest);
          HaveLastLine = true;
        }
        // No line in this read nor any earlier one: there is nothing to copy.
        ok = ok && HaveLastLine;
        if (ok) {
          LogEvent("$$$ ==> " + LastLine);
          size = files->Size(file);
          ok = size.Ok();
          if (ok) WatchedLogSize = size.value;
        }
      }
      files->Close(file);
    }
  }
  if (!ok) LogEvent("File to monitor not found " + path);
}

void TForm1::WarmUpLogReader(const std::string& path) {
  platform::IFileSystem* files = platform::Current().files;
  platform::IEventLoop* loop = platform::Current().loop;
  if (files == nullptr || loop == nullptr) return;
  // Replacing the thread stops and joins an earlier one.
  logWarmUp_ = std::jthread([files, loop, path, target = std::weak_ptr(logReader_)](std::stop_token stop) {
    auto opened =
        files->Open(path, platform::kGenericRead, platform::kFileShareWrite, platform::kOpenExisting);
    if (!opened.Ok()) return;
    auto reader = std::make_shared<LogLineReader>();
    const bool read = reader->Read(*files, opened.value, stop).Ok();
    files->Close(opened.value);
    if (!read) return;
    // Handed over on the GUI thread; a window already gone takes nothing.
    loop->Post([target, reader] {
      if (auto watched = target.lock()) watched->TakeOver(std::move(*reader));
    });
  });
}

void TForm1::Panel9Click(TObject*) {
  SelectFile(*OpenDialog3, *logfile);
  MeasureWatchedLog();
}

}  // namespace qv
