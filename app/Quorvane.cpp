// Program entry: wires the real backends and runs the main window.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Pictures.h"
#include "app/RealServices.h"
#include "app/Unit1.h"
#include "imaging/GIFImage.h"
#include "imaging/IconCodec.h"
#include "imaging/ImageFormats.h"
#include "imaging/ImgList.h"
#include "platform/EventLoop.h"
#include "platform/Services.h"
#include "platform/linux/DesktopSession.h"
#include "toolkit/Application.h"

namespace {

std::string ProgramName(const char* argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "quorvane";
  return path.substr(path.find_last_of('/') + 1);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv;
  // The report reads the history file and needs no display.
  if (argc > 1 && std::string(argv[1]) == "--report") return RunReportCommand({argv + 2, argv + argc});
  // The options of our own answer at once, without a display: package scripts
  // and terminals call them.
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  switch (line.action) {
    case CommandLine::Action::kHelp: std::fputs(UsageText(ProgramName(argv[0])).c_str(), stdout); return 0;
    case CommandLine::Action::kVersion: std::puts(defaults::kVersionBanner); return 0;
    case CommandLine::Action::kUsageError:
      std::fprintf(stderr, "%s: %s\n%s", ProgramName(argv[0]).c_str(), line.error.c_str(),
                   UsageText(ProgramName(argv[0])).c_str());
      return 2;
    case CommandLine::Action::kAutostart: return SetAutostart(line.autostartOn);
    case CommandLine::Action::kRun: break;
  }
  // Before anything is opened: a second copy must not empty the first one's
  // log or write over its settings.
  const SessionGuard session(line);
  if (session.ExitStatus() >= 0) return session.ExitStatus();
  RealServices services(argc, argv);
  TApplication application;
  Application->Initialize();
  // Every picture of the program can load the image formats of the imaging library.
  RegisterImageFormats();
  RegisterGIFFormat();
  // The indicator picture is the program's icon (shown in the notification area).
  TPicture indicator;
  LoadPicture(indicator, PictureId::Indicator);
  ApplicationIcon().LoadFromBytes(EncodeIconFile(indicator.Bitmap()));
  // ... and of its windows and taskbar entry.
  services.SetProgramIcon(indicator.Bitmap());
  Application->SetTitle("Quorvane");
  // A damaged or unreadable store is left as it is: the settings keep their
  // defaults for this run and every save reports that it could not write.
  if (const std::string error = services.OpenRegistry(); !error.empty())
    Application->ShowException(Exception(error));
  auto form = std::make_unique<TForm1>(nullptr);
  if (Application->ShowMainForm()) form->ShowForm();
  // A later start rings here: the window comes back, from the notification
  // area too. Stopped before the window and the loop go.
  platform::InstanceDoorbell doorbell;
  if (!session.DoorbellPath().empty() &&
      !doorbell.Listen(session.DoorbellPath(), [loop = platform::Current().loop] {
        loop->Post([] {
          if (Form1 != nullptr) Form1->ShowOnSecondStart();
        });
      })) {
    std::fprintf(stderr, "Quorvane: a second start will not bring this window back: %s\n",
                 doorbell.Error().c_str());
  }
  const int exitCode = Application->Run();
  form.reset();
  return exitCode;
}
