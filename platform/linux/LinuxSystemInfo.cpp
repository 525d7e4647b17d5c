#include "platform/linux/LinuxSystemInfo.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qv::platform {
namespace {

// Generous ceilings; past them something is wrong and we give up quietly.
constexpr std::size_t kMaxPasswdBuffer = 1 << 20;
constexpr std::size_t kMaxPathBuffer = 1 << 16;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr unsigned kPrivateFolder = 0700;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::optional<std::string> LinuxSystemInfo::LoginName() const {
  long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
  for (;;) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    const int rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < kMaxPasswdBuffer) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc == EINTR) continue;
    if (rc != 0 || found == nullptr || found->pw_name == nullptr || found->pw_name[0] == '\0') {
      return std::nullopt;  // a user id without an entry (containers often have these)
    }
    return std::string(found->pw_name);
  }
}

std::string LinuxSystemInfo::ExecutablePath() const {
  // readlink does not say whether it truncated: grow until the answer fits.
  std::vector<char> buffer(256);
  while (buffer.size() <= kMaxPathBuffer) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

bool WritableDirectory(const std::string& dir) {
  struct stat info {};
  if (dir.empty() || ::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  return (info.st_mode & kAnyWriteBit) != 0 && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool MakeDirectories(const std::string& path, unsigned mode) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
      return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string LinuxSystemInfo::SystemLogPath(const std::string& programDir, const std::string& fileName) const {
  if (std::string chosen = Environment("QUORVANE_LOG"); !chosen.empty()) return chosen;
  if (WritableDirectory(programDir)) return programDir + fileName;
  // An installed program's folder (/usr/bin) is not the user's: the log goes
  // where per-user state lives.
  std::string state = Environment("XDG_STATE_HOME");
  if (state.empty() || state.front() != '/') {
    const std::string home = Environment("HOME");
    if (home.empty()) return programDir + fileName;  // nowhere better: the open reports it
    state = home + "/.local/state";
  }
  const std::string folder = state + "/quorvane";
  if (!MakeDirectories(folder, kPrivateFolder)) return programDir + fileName;
  return folder + "/" + fileName;
}

}  // namespace qv::platform
