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
  // $QUORVANE_LOG when set; else beside the program when its folder is
  // writable (the source tree, a portable copy); else
  // $XDG_STATE_HOME/quorvane/ (default ~/.local/state/quorvane/), created 0700.
  std::string SystemLogPath(const std::string& programDir, const std::string& fileName) const override;
};

// Whether the process may create files in `dir`. A folder without any write
// permission bit counts as closed for root too, as files do in LinuxFileSystem.
bool WritableDirectory(const std::string& dir);

// Creates `path` and its missing parents with `mode`; true when it exists as a folder.
bool MakeDirectories(const std::string& path, unsigned mode);

}  // namespace qv::platform
