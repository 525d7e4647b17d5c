// The event log: one line per event in the list and in the system log file.
#include "app/Unit1.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"
#include "platform/Services.h"
#include "toolkit/Application.h"
#include "toolkit/DateTime.h"

namespace qv {

namespace {
constexpr const char* kListFullNotice =
    "GETLOG* short on memory, log flush forced, log still complete on file ";
}

TForm1::PendingLine TForm1::StampLine(const std::string& message) const {
  platform::CivilTime now;
  if (platform::Current().locale != nullptr) now = platform::Current().locale->Now();
  PendingLine line;
  line.listLine = FormatTimeText(formats_, now) + "   " + message;
  line.fileLine = FormatDateText(formats_, now) + " " + line.listLine;
  return line;
}

void TForm1::LogEvent(const std::string& message) {
  // The line is stamped and queued under the lock, so lines from any thread keep
  // the order of the calls; only the GUI thread touches the list and the file.
  {
    std::lock_guard<std::mutex> lock(logMutex_);
    logQueue_.push_back(StampLine(message));
  }
  platform::IEventLoop* loop = platform::Current().loop;
  if (loop == nullptr || loop->IsLoopThread())
    DrainLog();
  else
    loop->Post([this] { DrainLog(); });
}

void TForm1::DrainLog() {
  // A message box shown while writing runs a nested loop that may drain again:
  // the outer drain goes on with whatever is queued, in order.
  if (draining_) return;
  draining_ = true;
  for (;;) {
    PendingLine line;
    {
      std::lock_guard<std::mutex> lock(logMutex_);
      if (logQueue_.empty()) break;
      line = std::move(logQueue_.front());
      logQueue_.pop_front();
    }
    try {
      WriteLogLine(line);
    } catch (...) {
      draining_ = false;
      throw;
    }
  }
  draining_ = false;
}

void TForm1::WriteLogLine(const PendingLine& line) {
  try {
    ListBox1->Items().Add(line.listLine);
  } catch (const EOutOfResources&) {
    // The list is full: empty it and say so; the refused line is dropped, the
    // file holds everything logged before it.
    ListBox1->Items().Clear();
    WriteLogLine(StampLine(kListFullNotice));
    return;
  }
  ListBox1->SetItemIndex(ListBox1->Items().Count() - 1);
  AppendToSysLog(line.fileLine);
}

void TForm1::AppendToSysLog(const std::string& line) {
  platform::IFileSystem* files = platform::Current().files;
  bool ok = false;
  if (files != nullptr) {
    // Opened and closed per line, so each line is on disk when the call returns.
    auto opened = files->Open(SysLogPath, platform::kGenericRead | platform::kGenericWrite,
                              platform::kFileShareRead, platform::kOpenExisting);
    if (opened.Ok()) {
      ok = files->SeekToEnd(opened.value).Ok() && files->Write(opened.value, line + "\r\n").Ok();
      ok = files->Close(opened.value).Ok() && ok;
    }
  }
  if (!ok) Application->MessageBox("Error during write Log", Application->Title(), platform::kMbOk);
}

void TForm1::Timer4Timer(TObject*) {
  LogEvent("System is alive");
}

}  // namespace qv
