// The application watch: the presence watcher's reports, the watch timer's
// application half and the manual start.
#include "app/Unit1.h"
#include "desktop/TrayIcon.h"
#include "platform/Launcher.h"
#include "platform/Services.h"
#include "toolkit/Application.h"
#include "widgets/Spin.h"

namespace qv {

namespace {
// The status line while the window list cannot be read.
std::string UnreadableListText(const std::string& problem) {
  return "Window list unreadable (" + problem + ") - nothing is started";
}
}  // namespace

// The reports only record and show the state; starting the program is the
// watch timer's business.
void TForm1::OnlyIfRunning1ApplicationFound(TObject*, const std::string&) {
  WindowListProblem.clear();
  AppFound = true;
  Image3->Show();
  Label1->SetCaption(AppMonitorActive->Checked() ? Edit2->Text() + " up and running"
                                                 : "Application monitoring suspended");
}

void TForm1::OnlyIfRunning1ApplicationNotFound(TObject*) {
  WindowListProblem.clear();
  Label1->SetCaption(AppMonitorActive->Checked()
                         ? Edit2->Text() + " not active - trying to start: " + Edit1->Text()
                         : "Application monitoring suspended");
  AppFound = false;
  Image3->Hide();
}

// A list that cannot be read says nothing about the watched program: AppFound
// keeps its value, and the watch timer starts nothing until the list is back.
void TForm1::OnlyIfRunning1WindowListUnavailable(TObject*, const std::string& Reason) {
  WindowListProblem = Reason.empty() ? std::string("no window list") : Reason;
  Label1->SetCaption(UnreadableListText(WindowListProblem));
}

void TForm1::Timer1Timer(TObject*) {
  if (!AppMonitorActive->Checked()) return;
  // A changed restart delay applies from the next tick on.
  Timer1->SetInterval(IntervalMs(*SpinEdit1));
  WatchLogFile();
  WatchApplication();
}

void TForm1::WatchApplication() {
  if (!WindowListProblem.empty()) {
    Label1->SetCaption(UnreadableListText(WindowListProblem));
    return;
  }
  if (AppFound) {
    Label1->SetCaption(Edit2->Text() + " is up and running");
    return;
  }
  // Missing at this tick: started again, at every tick until its window shows.
  PlaySoundFile(Edit3->Text());
  systemtray->RestoreFromTray();  // the user should see what happens
  const std::string command = Edit1->Text();
  Application->ProcessMessages();
  if (StartWatchedProgram(command, true)) LogEvent("Automatic restart of " + command + "successfull");
  Timer1->SetInterval(IntervalMs(*SpinEdit1));
  Application->ProcessMessages();
}

void TForm1::Label4DblClick(TObject*) {
  PlaySoundFile(Edit3->Text());
  const std::string command = Edit1->Text();
  LogEvent("Manual start of " + command);
  Application->ProcessMessages();
  StartWatchedProgram(command, false);
  Application->ProcessMessages();
}

bool TForm1::StartWatchedProgram(const std::string& command, bool automatic) {
  // The whole command line is handed on: a cut one would start another program.
  platform::IProcessLauncher* launcher = platform::Current().launcher;
  const unsigned result = launcher != nullptr ? launcher->Execute(command) : platform::kLaunchFileNotFound;
  HistoryStart(automatic, command, result);
  if (result >= 32) return true;
  Label1->SetCaption(Edit2->Text() + " start failed - check your settings");
  return false;
}

}  // namespace qv
