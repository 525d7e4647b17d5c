#include "app/RealServices.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "history/ReportCommand.h"
#include "platform/Dialogs.h"
#include "platform/Services.h"
#include "platform/linux/CanberraSound.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/FreetypeFontEngine.h"
#include "platform/linux/LinuxClock.h"
#include "platform/linux/LinuxFiles.h"
#include "platform/linux/LinuxIcmp.h"
#include "platform/linux/LinuxLauncher.h"
#include "platform/linux/LinuxLocale.h"
#include "platform/linux/LinuxResolver.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/LinuxThreads.h"
#include "platform/linux/SqliteHistoryStore.h"
#include "platform/linux/SqliteRegistryStore.h"
#include "platform/linux/X11DesktopWindows.h"
#include "platform/linux/XdgWebBrowser.h"
#include "platform/qt/QtBackend.h"
#include "platform/qt/QtFontEngine.h"

namespace qv {

namespace {

// With QUORVANE_DIALOG_LOG set, every message box text is appended to that file
// before the box shows, so end-to-end tests can see what the user is asked.
class RecordingDialogs final : public platform::IDialogs {
 public:
  RecordingDialogs(platform::IDialogs& inner, std::string path) : inner_(inner), path_(std::move(path)) {}
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    if (std::FILE* f = std::fopen(path_.c_str(), "ab")) {
      std::fprintf(f, "%s\n", text.c_str());
      std::fclose(f);
    }
    return inner_.MessageBox(text, caption, flags);
  }
  bool OpenFile(const platform::FileDialogRequest& request, std::string& chosen) override {
    return inner_.OpenFile(request, chosen);
  }
  bool ChooseFolder(const std::string& title, const std::string& initialDirectory,
                    std::string& chosen) override {
    return inner_.ChooseFolder(title, initialDirectory, chosen);
  }
  void Beep() override { inner_.Beep(); }

 private:
  platform::IDialogs& inner_;
  std::string path_;
};

}  // namespace

struct RealServices::Backends {
  Backends(int& argc, char** argv) : qt(argc, argv) {}
  platform::qt::QtBackend qt;
  platform::LinuxFileSystem files;
  platform::LinuxLocale locale;
  platform::LinuxSystemInfo system;
  platform::qt::QtFontEngine fonts;
  platform::SqliteRegistryStore registry;
  // The web page keys of HKEY_CLASSES_ROOT come from the desktop's default browser.
  platform::XdgClassesRoot classesRoot{registry, platform::XdgPaths::FromEnvironment()};
  platform::LinuxIcmp icmp;
  platform::CanberraSound sounds;
  platform::LinuxThreads threads;
  platform::X11DesktopWindows desktop;
  platform::LinuxLauncher launcher;
  platform::LinuxClock clock;
  platform::SqliteHistoryStore history{platform::SqliteHistoryStore::DefaultPath()};
  // After the Qt backend: the resolver posts to its loop and must go first.
  platform::LinuxResolver resolver;
  std::unique_ptr<RecordingDialogs> recording;
};

RealServices::RealServices(int& argc, char** argv) : backends_(std::make_unique<Backends>(argc, argv)) {
  Backends& b = *backends_;
  platform::Services& services = platform::Current();
  services.loop = &b.qt.Loop();
  services.windows = &b.qt.Windows();
  services.dialogs = &b.qt.Dialogs();
  services.clipboard = &b.qt.Clipboard();
  services.tray = &b.qt.Tray();
  if (const char* log = std::getenv("QUORVANE_DIALOG_LOG"); log != nullptr && *log != '\0') {
    b.recording = std::make_unique<RecordingDialogs>(b.qt.Dialogs(), log);
    services.dialogs = b.recording.get();
  }
  services.files = &b.files;
  services.locale = &b.locale;
  services.system = &b.system;
  services.fonts = &b.fonts;
  services.registry = &b.classesRoot;
  services.icmp = &b.icmp;
  services.resolver = &b.resolver;
  services.sounds = &b.sounds;
  services.threads = &b.threads;
  services.desktop = &b.desktop;
  services.launcher = &b.launcher;
  services.clock = &b.clock;
  // QUORVANE_HISTORY=off: nothing is recorded.
  if (platform::SqliteHistoryStore::EnabledByEnvironment()) services.history = &b.history;
}

RealServices::~RealServices() {
  platform::Current() = platform::Services{};
}

std::string RealServices::OpenRegistry() {
  return backends_->registry.Open();
}

void RealServices::SetProgramIcon(const TBitmap& art) {
  std::vector<std::uint32_t> argb;
  argb.reserve(static_cast<std::size_t>(art.Width()) * static_cast<std::size_t>(art.Height()));
  for (int y = 0; y < art.Height(); ++y) {
    for (int x = 0; x < art.Width(); ++x) {
      const TColor c = art.GetPixel(x, y);  // 0x00BBGGRR
      argb.push_back(0xFF000000u | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu));
    }
  }
  backends_->qt.SetProgramIdentity(kApplicationId, art.Width(), art.Height(), argb);
}

SessionGuard::SessionGuard(const CommandLine& line) {
  const platform::DisplayChoice choice = platform::ChooseDisplay(line.platformChosen);
  std::string display = line.display;
  if (display.empty()) {
    const char* named = std::getenv("DISPLAY");
    display = named != nullptr ? named : "";
  }
  if (choice != platform::DisplayChoice::kUserChoice) {
    std::string why;
    if (choice == platform::DisplayChoice::kNoDisplay) why = "DISPLAY is not set";
    if (why.empty()) platform::X11Reachable(line.display, why);
    if (!why.empty()) {
      std::fprintf(stderr,
                   "Quorvane needs an X server (X11, or XWayland on a Wayland desktop): %s.\n"
                   "Start it from a desktop session, or under xvfb-run.\n",
                   why.c_str());
      exitStatus_ = 1;
      return;
    }
  }
  if (platform::WaylandSession()) {
    std::fprintf(stderr,
                 "Quorvane: this is a Wayland session. Quorvane runs through XWayland and sees X11 windows "
                 "only: a program watched by its window caption must run under XWayland too (for instance "
                 "with QT_QPA_PLATFORM=xcb or GDK_BACKEND=x11), or it is never found.\n");
  }
  const std::string lockPath = platform::InstanceLockPath(display);
  lock_ = std::make_unique<platform::InstanceLock>();
  switch (lock_->Acquire(lockPath)) {
    case platform::InstanceLock::Result::kAcquired:
      doorbellPath_ = platform::InstanceDoorbell::PathFor(lockPath);
      return;
    case platform::InstanceLock::Result::kFailed:
      // Better two copies than none: say so and go on.
      std::fprintf(stderr, "Quorvane: cannot take the instance lock (%s); starting anyway.\n",
                   lock_->Error().c_str());
      return;
    case platform::InstanceLock::Result::kHeldByAnother: break;
  }
  const pid_t holder = platform::InstanceLock::HolderOf(lockPath);
  // The running copy shows its window itself, from the notification area too;
  // one that does not answer (an older one) is raised when it is on screen.
  bool raised = platform::InstanceDoorbell::Ring(platform::InstanceDoorbell::PathFor(lockPath));
  if (!raised && holder > 0 && choice != platform::DisplayChoice::kNoDisplay) {
    platform::X11DesktopWindows desktop(line.display);
    for (const platform::DesktopWindow& window : desktop.List()) {
      if (window.threadId == static_cast<std::uint32_t>(holder) && window.caption == "Quorvane" &&
          window.visible) {
        desktop.Activate(window.handle);
        raised = true;
        break;
      }
    }
  }
  const std::string process = holder > 0 ? " (process " + std::to_string(holder) + ")" : "";
  std::fprintf(stderr, "Quorvane is already running on this display%s%s.\n", process.c_str(),
               raised ? "; its window was brought to the front" : "");
  exitStatus_ = 0;
}

SessionGuard::~SessionGuard() = default;

int SetAutostart(bool on) {
  std::string error;
  const std::string path =
      platform::SetAutostart(on, kApplicationId, platform::LinuxSystemInfo().ExecutablePath(), error);
  if (!error.empty()) {
    std::fprintf(stderr, "Quorvane: cannot %s the login start: %s\n", on ? "set up" : "remove",
                 error.c_str());
    return 1;
  }
  std::printf(on ? "Quorvane starts at login: %s\n" : "Quorvane no longer starts at login (%s removed).\n",
              path.c_str());
  return 0;
}

int RunReportCommand(const std::vector<std::string>& args) {
  // The chart's text is drawn with the system's fonts, without a display.
  platform::FreetypeFontEngine fonts;
  platform::FontSpec chartFont;
  chartFont.name = "DejaVu Sans";
  if (fonts.Finds(chartFont)) platform::Current().fonts = &fonts;
  platform::LinuxClock clock;
  platform::SqliteHistoryStore store(platform::SqliteHistoryStore::DefaultPath());
  const int status = history::RunReport(
      args, clock.Now().wallMs, store, [&] { return store.OpenForReading(); }, std::cout, std::cerr);
  platform::Current().fonts = nullptr;
  return status;
}

}  // namespace qv
