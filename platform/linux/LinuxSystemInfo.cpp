#include "platform/linux/LinuxSystemInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace qv::platform {
namespace {

// Generous ceilings; past them something is wrong and we give up quietly.
constexpr std::size_t kMaxPasswdBuffer = 1 << 20;
constexpr std::size_t kMaxPathBuffer = 1 << 16;

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

}  // namespace qv::platform
