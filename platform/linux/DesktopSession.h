// The desktop session around the process: which display server the window
// goes to, one running copy per user and display, and the start at login.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <thread>

namespace qv::platform {

enum class DisplayChoice {
  kUserChoice,  // QT_QPA_PLATFORM or -platform: left as the user set it
  kX11,         // DISPLAY is set: the xcb platform, also on Wayland desktops (XWayland)
  kNoDisplay,   // no X server named at all
};

// Picks the Qt platform before the application object exists: xcb whenever
// DISPLAY is set and the user has not chosen one (shaping, placing and
// stay-on-top need X11). `platformArgument`: -platform is on the command line.
DisplayChoice ChooseDisplay(bool platformArgument);

// Whether the X server `display` ("" = $DISPLAY) takes a connection; else why not.
bool X11Reachable(const std::string& display, std::string& why);

// A Wayland session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland): its
// native windows are out of the window list's sight.
bool WaylandSession();

// $XDG_RUNTIME_DIR, else a private folder of this user under /tmp; "" when
// neither can be had.
std::string RuntimeDirectory();

// One lock per user and display: a file in the runtime folder, locked with
// flock for the life of the process. The kernel drops the lock when the
// process ends in any way, so a file left by a killed process takes the next
// lock at once. The descriptor is not inherited by programs we start.
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  enum class Result { kAcquired, kHeldByAnother, kFailed };
  // Takes the lock at `path` and writes our process id into it.
  Result Acquire(const std::string& path);
  // The process id written by the holder, 0 when unknown.
  static pid_t HolderOf(const std::string& path);
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// The lock file of this user for `display` (e.g. ":0").
std::string InstanceLockPath(const std::string& display);

// The running copy's doorbell: a Unix socket beside its lock, where a second
// start asks it to show its window, from the notification area too. Only
// processes of this user are heard.
class InstanceDoorbell {
 public:
  InstanceDoorbell() = default;
  ~InstanceDoorbell();  // stops listening and removes the socket
  InstanceDoorbell(const InstanceDoorbell&) = delete;
  InstanceDoorbell& operator=(const InstanceDoorbell&) = delete;

  // Listens at `path`, replacing what a copy that died left there (call it
  // with the instance lock held). `onRing` runs on the doorbell's own thread.
  // False, with Error() saying why, when it cannot.
  bool Listen(const std::string& path, std::function<void()> onRing);
  // Rings the copy listening at `path`; false when none answers.
  static bool Ring(const std::string& path);
  const std::string& Error() const { return error_; }

  // The doorbell of the copy holding the lock file `lockPath`.
  static std::string PathFor(const std::string& lockPath) { return lockPath + ".bell"; }

 private:
  void Serve(const std::function<void()>& onRing) const;

  int socket_ = -1;
  int wake_ = -1;  // ends the thread
  std::string path_;
  std::string error_;
  std::thread thread_;
};

// Writes (on) or removes (off) the login-start entry `<appId>.desktop` in
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart) that starts
// `executable`. Returns the entry's path; `error` says what failed.
std::string SetAutostart(bool on, const std::string& appId, const std::string& executable,
                         std::string& error);

// A desktop entry's Exec value for `program` without arguments, quoted and
// escaped as desktop entries want.
std::string DesktopExecQuoted(const std::string& program);

}  // namespace qv::platform
