// The real backends (Qt 6 and Linux) wired into platform::Current() for the
// lifetime of this object. The program entry and the programs in bench/ that
// measure the real window use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "toolkit/Bitmap.h"

namespace qv {

namespace platform {
class InstanceLock;
}

// What happens before the GUI exists: the display is chosen (X11 whenever
// DISPLAY is set), a Wayland session's limit is told once, and the lock of
// one running copy per user and display is taken and held for the life of
// this object. When ExitStatus() is not negative the program stops with it:
// no X server (1), or already running (0, after asking the running copy to
// show its window).
class SessionGuard {
 public:
  explicit SessionGuard(const CommandLine& line);
  ~SessionGuard();
  SessionGuard(const SessionGuard&) = delete;
  SessionGuard& operator=(const SessionGuard&) = delete;

  int ExitStatus() const { return exitStatus_; }
  // Where this copy, holding the lock, listens for later starts; "" when it
  // does not hold it.
  const std::string& DoorbellPath() const { return doorbellPath_; }

 private:
  std::unique_ptr<platform::InstanceLock> lock_;
  std::string doorbellPath_;
  int exitStatus_ = -1;
};

// --autostart on|off: writes or removes the login-start entry; the exit status.
int SetAutostart(bool on);

class RealServices {
 public:
  RealServices(int& argc, char** argv);
  ~RealServices();
  RealServices(const RealServices&) = delete;
  RealServices& operator=(const RealServices&) = delete;

  // Opens the settings store; an empty text on success, else why not.
  std::string OpenRegistry();
  // The icon of the program's windows and taskbar entry: the installed theme
  // icon, else `art`; and the desktop entry they belong to.
  void SetProgramIcon(const TBitmap& art);

 private:
  struct Backends;
  std::unique_ptr<Backends> backends_;
};

// `quorvane --report ...` (the arguments after --report): reads the history
// file and writes the report; needs no display. Returns the exit status.
int RunReportCommand(const std::vector<std::string>& args);

}  // namespace qv
