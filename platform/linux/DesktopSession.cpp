#include "platform/linux/DesktopSession.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/linux/LinuxSystemInfo.h"

namespace qv::platform {

namespace {

constexpr unsigned kPrivateFolder = 0700;
constexpr mode_t kPrivateFile = 0600;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string ErrnoText(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

DisplayChoice ChooseDisplay(bool platformArgument) {
  if (platformArgument || !Environment("QT_QPA_PLATFORM").empty()) return DisplayChoice::kUserChoice;
  if (Environment("DISPLAY").empty()) return DisplayChoice::kNoDisplay;
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  return DisplayChoice::kX11;
}

bool X11Reachable(const std::string& display, std::string& why) {
  xcb_connection_t* connection = xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr);
  const int error = xcb_connection_has_error(connection);
  xcb_disconnect(connection);
  if (error == 0) return true;
  const std::string name = display.empty() ? Environment("DISPLAY") : display;
  why = "cannot connect to the X server \"" + name + "\"";
  return false;
}

bool WaylandSession() {
  return !Environment("WAYLAND_DISPLAY").empty() || Environment("XDG_SESSION_TYPE") == "wayland";
}

std::string RuntimeDirectory() {
  if (std::string runtime = Environment("XDG_RUNTIME_DIR"); !runtime.empty()) return runtime;
  // No session manager set one up (a plain ssh login, a container): a folder
  // of our own that only this user may enter.
  const std::string folder = "/tmp/quorvane-runtime-" + std::to_string(::geteuid());
  if (!MakeDirectories(folder, kPrivateFolder)) return {};
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return {};
  if ((info.st_mode & 077) != 0) ::chmod(folder.c_str(), kPrivateFolder);
  return folder;
}

std::string InstanceLockPath(const std::string& display) {
  std::string name;
  for (const char c : display) name += (c == '/' || c == '\0') ? '_' : c;
  return RuntimeDirectory() + "/quorvane-" + (name.empty() ? std::string("nodisplay") : name) + ".lock";
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // the file stays; the next start takes it over
}

InstanceLock::Result InstanceLock::Acquire(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kPrivateFile);
  if (fd < 0) {
    error_ = ErrnoText(path);
    return Result::kFailed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    error_ = held ? std::string() : ErrnoText(path);
    ::close(fd);
    return held ? Result::kHeldByAnother : Result::kFailed;
  }
  // For the next start: whose window to bring to the front.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) != 0 ||
      ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    // The lock holds all the same; only the raise of this window will not work.
  }
  fd_ = fd;
  return Result::kAcquired;
}

pid_t InstanceLock::HolderOf(const std::string& path) {
  std::ifstream in(path);
  long pid = 0;
  if (!(in >> pid) || pid <= 0) return 0;
  return static_cast<pid_t>(pid);
}

InstanceDoorbell::~InstanceDoorbell() {
  if (thread_.joinable()) {
    // An eventfd takes this write at once; the thread sees it and ends.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
    thread_.join();
  }
  if (socket_ >= 0) {
    ::close(socket_);
    ::unlink(path_.c_str());
  }
  if (wake_ >= 0) ::close(wake_);
}

bool InstanceDoorbell::Listen(const std::string& path, std::function<void()> onRing) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_ >= 0 || path.empty() || path.size() >= sizeof address.sun_path) {
    error_ = path + ": " + (socket_ >= 0 ? "already listening" : "not a usable socket path");
    return false;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error_ = ErrnoText("socket");
    return false;
  }
  // The lock is ours: a socket left there belongs to a copy that has died.
  ::unlink(path.c_str());
  // The folder is private already; the socket is made so too (not through
  // the umask, which other threads share).
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(path.c_str(), kPrivateFile) != 0 || ::listen(fd, 4) != 0) {
    error_ = ErrnoText(path);
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  const int wake = ::eventfd(0, EFD_CLOEXEC);
  if (wake < 0) {
    error_ = ErrnoText("eventfd");
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  socket_ = fd;
  wake_ = wake;
  path_ = path;
  thread_ = std::thread([this, onRing = std::move(onRing)] { Serve(onRing); });
  return true;
}

void InstanceDoorbell::Serve(const std::function<void()>& onRing) const {
  for (;;) {
    pollfd watched[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    const int caller = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (caller < 0) continue;
    ucred peer{};
    socklen_t length = sizeof peer;
    const bool ours =
        ::getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
    // A caller that says nothing does not keep the door for long.
    const timeval patience{1, 0};
    ::setsockopt(caller, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char word[8] = {};
    const ssize_t got = ours ? ::recv(caller, word, sizeof word, 0) : -1;
    ::close(caller);
    if (got == 4 && std::memcmp(word, "show", 4) == 0) onRing();
  }
}

bool InstanceDoorbell::Ring(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool rang = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                    ::send(fd, "show", 4, MSG_NOSIGNAL) == 4;
  ::close(fd);
  return rang;
}

std::string DesktopExecQuoted(const std::string& program) {
  constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string argument;
  const bool quote = program.find_first_of(kReserved) != std::string::npos;
  for (const char c : program) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
    argument += c;
  }
  if (quote) argument = "\"" + argument + "\"";
  // Then the value's own escapes: backslashes doubled, percent signs doubled.
  std::string value;
  for (const char c : argument) {
    if (c == '\\') value += '\\';
    if (c == '%') value += '%';
    value += c;
  }
  return value;
}

std::string SetAutostart(bool on, const std::string& appId, const std::string& executable,
                         std::string& error) {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/') {
    const std::string home = Environment("HOME");
    if (home.empty()) {
      error = "neither XDG_CONFIG_HOME nor HOME is set";
      return {};
    }
    config = home + "/.config";
  }
  const std::string folder = config + "/autostart";
  const std::string path = folder + "/" + appId + ".desktop";
  if (!on) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) error = ErrnoText(path);
    return path;
  }
  if (!MakeDirectories(folder, kPrivateFolder)) {
    error = ErrnoText(folder);
    return path;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quorvane\n"
         "Comment=Watchdog for the connection, a program and a log file\n"
         "Exec="
      << DesktopExecQuoted(executable)
      << "\n"
         "Icon="
      << appId
      << "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
  out.close();
  if (!out) error = "cannot write " + path;
  return path;
}

}  // namespace qv::platform
