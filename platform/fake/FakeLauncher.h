// A launcher for tests: records every command line and answers with the
// result a test sets.
#pragma once

#include <string>
#include <vector>

#include "platform/Launcher.h"

namespace qv::platform::fake {

class FakeLauncher : public IProcessLauncher {
 public:
  unsigned Execute(const std::string& commandLine) override {
    commands.push_back(commandLine);
    return result;
  }

  unsigned result = kLaunchStarted;
  std::vector<std::string> commands;
};

}  // namespace qv::platform::fake
