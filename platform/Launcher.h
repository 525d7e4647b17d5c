// Starting another program without waiting for it, as the application watch
// restarts the watched program.
#pragma once

#include <string>
#include <vector>

namespace qv::platform {

// Results below 32 are failures, as the watch expects them.
enum LaunchResult : unsigned {
  kLaunchOutOfResources = 0,
  kLaunchFileNotFound = 2,
  kLaunchPathNotFound = 3,
  kLaunchAccessDenied = 5,
  kLaunchBadFormat = 11,
  kLaunchStarted = 33,
};

class IProcessLauncher {
 public:
  virtual ~IProcessLauncher() = default;
  // Starts the program a command line names, with the rest of the line as its
  // arguments, and returns at once: kLaunchStarted, or why it could not start.
  virtual unsigned Execute(const std::string& commandLine) = 0;
};

// The words of a command line: blanks separate them, double quotes group them
// (a quote is written \"); backslashes are kept, so Windows-style paths read
// as they are written. `quoted[i]` tells whether word i had quotes.
struct CommandWords {
  std::vector<std::string> words;
  std::vector<bool> quoted;
};
CommandWords SplitCommandLine(const std::string& commandLine);

}  // namespace qv::platform
