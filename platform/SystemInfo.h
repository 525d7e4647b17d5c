// Facts about the running process and its user.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;
  // Login name of the user that runs the process; nullopt when it cannot be had.
  virtual std::optional<std::string> LoginName() const = 0;
  // Full path of the running executable.
  virtual std::string ExecutablePath() const = 0;
  // Where the system log named `fileName` goes for a program in `programDir`
  // (ends in "/"): beside the program when that folder takes the file, else a
  // per-user place. The folders of the returned path exist.
  virtual std::string SystemLogPath(const std::string& programDir, const std::string& fileName) const {
    return programDir + fileName;
  }
};

}  // namespace qv::platform
