// The connection history of the main window: what the watches record, the
// figures shown as the hint of the scope and the lamp, and the report written
// from the window's menu.
#include <cstdio>
#include <iostream>

#include "app/Unit1.h"
#include "history/Recorder.h"
#include "history/ReportCommand.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/History.h"
#include "platform/Launcher.h"
#include "platform/Services.h"

namespace qv {

namespace {

constexpr unsigned kHintRefreshMs = 5000;
constexpr const char* kReportFolderTitle = "Connection report: choose a folder";

// A problem with the history file is told once; the watches go on.
void ReportHistoryProblem(const std::string& message) {
  std::cerr << "quorvane: " << message << "\n";
  platform::IEventLoop* loop = platform::Current().loop;
  if (loop == nullptr) return;
  loop->Post([message] {
    if (platform::IDialogs* dialogs = platform::Current().dialogs; dialogs != nullptr)
      dialogs->MessageBox(message + "\nThe watches go on; this run's history is kept in memory only.",
                          "Quorvane", platform::kMbOk);
  });
}

// A word of a command line for the launcher: quoted, quotes escaped.
std::string QuotedWord(const std::string& text) {
  std::string word = "\"";
  for (char c : text) word += c == '"' ? std::string("\\\"") : std::string(1, c);
  return word + "\"";
}

std::string FileStamp(std::int64_t wallMs) {
  const std::string local = history::LocalTime(wallMs);  // "YYYY-MM-DD HH:MM:SS"
  std::string stamp;
  for (char c : local)
    if (c != '-' && c != ':') stamp += c == ' ' ? '-' : c;
  return stamp;
}

}  // namespace

void TForm1::StartHistory() {
  platform::Services& services = platform::Current();
  if (services.clock == nullptr || services.history == nullptr) return;
  History = std::make_shared<history::Recorder>(services.history, *services.clock, history::RecorderOptions{},
                                                ReportHistoryProblem);
  // The figures are worked out on the recorder's thread; this only picks
  // up the latest text.
  HistoryHintTimer = new TTimer(this);
  HistoryHintTimer->SetInterval(kHintRefreshMs);
  HistoryHintTimer->SetOnTimer([this](TObject*) {
    const std::string hint = History->Summary();
    if (hint.empty() || hint == Scope1->Hint()) return;
    for (TControl* c : {static_cast<TControl*>(Scope1), static_cast<TControl*>(GraphicLight1)}) {
      c->SetHint(hint);
      c->SetShowHint(true);
    }
  });
  HistoryHintTimer->SetEnabled(true);
}

void TForm1::HistoryEcho(const std::string& destination, bool reply, std::uint32_t status,
                         std::uint32_t roundTripMs) {
  if (History)
    History->RecordEcho(destination, reply, static_cast<std::int32_t>(status),
                        static_cast<std::int32_t>(roundTripMs));
}

void TForm1::HistoryStart(bool automatic, const std::string& command, unsigned result) {
  if (History) History->RecordStart(automatic, command, static_cast<std::int32_t>(result));
}

void TForm1::HistoryLogChange(const std::string& path) {
  if (History) History->RecordLogChange(path);
}

void TForm1::ConnectionReport1Click(TObject*) {
  platform::Services& services = platform::Current();
  if (services.dialogs == nullptr) return;
  if (!History) {
    services.dialogs->MessageBox("The connection history is switched off (QUORVANE_HISTORY=off).", "Quorvane",
                                 platform::kMbOk);
    return;
  }
  std::string folder;
  const char* home = std::getenv("HOME");
  if (!services.dialogs->ChooseFolder(kReportFolderTitle, home != nullptr ? home : "/", folder)) return;
  const std::int64_t now = services.clock->Now().wallMs;
  const history::ReportSpan span{now - history::kDayMs, now + 1};
  const std::string base = folder + "/quorvane-report-" + FileStamp(now);
  if (const std::string error = history::WriteChartAndCsv(History->Recent(), span, base); !error.empty()) {
    services.dialogs->MessageBox("The connection report could not be written: " + error, "Quorvane",
                                 platform::kMbOk);
    return;
  }
  if (services.launcher != nullptr) services.launcher->Execute("xdg-open " + QuotedWord(folder));
}

}  // namespace qv
