// Starts the real program in a directory of its own and talks to its window
// with xdotool, as a user would.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/fake/TempDir.h"

namespace qv::testing {

// How to start the program; the defaults are the ordinary test run.
struct RunOptions {
  std::string executable;                // empty: a copy of the program in the test's folder
  std::vector<std::string> arguments;    // after the program's name
  std::vector<std::string> environment;  // NAME=value, over the defaults
  std::string standardError;             // a file for its standard error, if not empty
};

class ProgramRun {
 public:
  // Copies the program into `dir` (its log lies beside the executable) and
  // starts it with the registry file `registryFile`. HOME and XDG_RUNTIME_DIR
  // are `dir`: each test has its own instance lock.
  ProgramRun(const platform::fake::TempDir& dir, const std::string& registryFile,
             const RunOptions& options = {});
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
