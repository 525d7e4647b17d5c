// The running process's user and executable, from the password database and /proc.
#pragma once

#include "platform/SystemInfo.h"

namespace qv::platform {

class LinuxSystemInfo final : public ISystemInfo {
 public:
  // The name of the effective user: the one whose rights the program runs with.
  std::optional<std::string> LoginName() const override;
  // The executable's absolute path, symbolic links resolved; empty when the
  // kernel does not tell (no /proc).
  std::string ExecutablePath() const override;
};

}  // namespace qv::platform
