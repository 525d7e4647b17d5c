// Starts the real program in a directory of its own and talks to its window
// with xdotool, as a user would.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/fake/TempDir.h"

namespace qv::testing {

class ProgramRun {
 public:
  // Copies the program into `dir` (its log lies beside the executable) and
  // starts it with the registry file `registryFile`.
  ProgramRun(const platform::fake::TempDir& dir, const std::string& registryFile);
  ~ProgramRun();

  // Waits (bounded) until the main window is mapped; returns its X window id.
  std::string WaitForWindow(int timeoutMs);
  // A left click at a point of the main window's client area.
  void Click(int x, int y);
  void Key(const std::string& keys);
  void Type(const std::string& text);
  // Waits until the program has shown `text` in a message box.
  bool WaitForDialog(const std::string& text, int timeoutMs);
  // Waits for the process to end; returns its exit status or -1 on time-out.
  int WaitForExit(int timeoutMs);
  void Kill();
  pid_t Pid() const { return pid_; }
  std::string Dialogs() const;

 private:
  const platform::fake::TempDir& dir_;
  pid_t pid_ = -1;
  std::string window_;
};

// Runs a command (no shell), returns its standard output; `status` gets the exit code.
std::string RunCommand(const std::vector<std::string>& argv, int* status = nullptr);
bool HaveDisplay();

}  // namespace qv::testing
