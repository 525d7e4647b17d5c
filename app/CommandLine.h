// The program's command line: a few options of our own that answer without a
// display, and the GUI toolkit's options, handed on untouched.
#pragma once

#include <string>
#include <vector>

namespace qv {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kAutostart, kUsageError };
  Action action = Action::kRun;
  bool autostartOn = false;     // kAutostart: on or off
  bool platformChosen = false;  // -platform is among the toolkit's options
  std::string display;          // -display's value, if any
  std::string error;            // kUsageError: what was wrong
};

// Reads argv[1..]. Our options: -h/--help, --version, --autostart on|off.
// The toolkit's options (-platform xcb, -style=Fusion, ...) pass; anything
// else is a usage error.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text, with `program` as the name called.
std::string UsageText(const std::string& program);

// The application id used for the desktop entry, icons, metainfo and autostart.
inline constexpr const char* kApplicationId = QV_APPLICATION_ID;

}  // namespace qv
