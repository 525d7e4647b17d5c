// Starting programs with posix_spawn in a session of their own, so that they
// outlive the watchdog and its terminal. Finished children are reaped at the
// next start and when the launcher goes.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/Launcher.h"

namespace qv::platform {

class LinuxLauncher final : public IProcessLauncher {
 public:
  LinuxLauncher() = default;
  ~LinuxLauncher() override;
  LinuxLauncher(const LinuxLauncher&) = delete;
  LinuxLauncher& operator=(const LinuxLauncher&) = delete;

  // The program is the first word; an unquoted path with blanks is found the
  // way the watched program's settings expect ("/opt/my app/run" is tried
  // before "/opt/my"). A name without '/' is looked up in PATH.
  unsigned Execute(const std::string& commandLine) override;

  // Children started and not yet reaped (for tests).
  std::size_t Running();

 private:
  void Reap();
  std::vector<pid_t> children_;
};

}  // namespace qv::platform
