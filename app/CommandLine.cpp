#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace qv {

namespace {

// The GUI toolkit's own options; it reads them itself, with one dash or two.
constexpr std::array<std::string_view, 15> kToolkitWithValue = {"platform",        "platformpluginpath",
                                                                "platformtheme",   "plugin",
                                                                "qwindowgeometry", "geometry",
                                                                "qwindowtitle",    "title",
                                                                "qwindowicon",     "icon",
                                                                "display",         "name",
                                                                "session",         "style",
                                                                "stylesheet"};
constexpr std::array<std::string_view, 6> kToolkitFlags = {"reverse", "nograb",      "dograb",
                                                           "sync",    "widgetcount", "testability"};

template <std::size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

CommandLine UsageError(std::string text) {
  CommandLine line;
  line.action = CommandLine::Action::kUsageError;
  line.error = std::move(text);
  return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool ours = false;  // one of our actions is already chosen
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    auto choose = [&](CommandLine::Action action) {
      if (ours) return false;
      ours = true;
      line.action = action;
      return true;
    };
    if (argument == "-h" || argument == "--help") {
      if (!choose(CommandLine::Action::kHelp))
        return UsageError("only one of --help, --version, --autostart");
      continue;
    }
    if (argument == "--version") {
      if (!choose(CommandLine::Action::kVersion))
        return UsageError("only one of --help, --version, --autostart");
      continue;
    }
    if (argument == "--autostart" || argument.rfind("--autostart=", 0) == 0) {
      std::string value;
      if (argument.size() > 11) {
        value = argument.substr(12);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      }
      if (value != "on" && value != "off") return UsageError("--autostart takes on or off");
      if (!choose(CommandLine::Action::kAutostart))
        return UsageError("only one of --help, --version, --autostart");
      line.autostartOn = value == "on";
      continue;
    }
    // The toolkit's options: -name value, --name value or -name=value.
    std::string_view name = argument;
    if (name.rfind("--", 0) == 0) name.remove_prefix(1);
    if (name.size() < 2 || name[0] != '-') return UsageError("unknown argument: " + argument);
    name.remove_prefix(1);
    const std::size_t equals = name.find('=');
    const std::string_view key = name.substr(0, equals);
    if (equals != std::string_view::npos && (Among(kToolkitWithValue, key) || key == "qmljsdebugger")) {
      if (key == "platform") line.platformChosen = true;
      if (key == "display") line.display = std::string(name.substr(equals + 1));
      continue;
    }
    if (Among(kToolkitFlags, name)) continue;
    if (Among(kToolkitWithValue, name)) {
      if (i + 1 >= arguments.size()) return UsageError("option " + argument + " needs a value");
      if (name == "platform") line.platformChosen = true;
      if (name == "display") line.display = arguments[i + 1];
      ++i;
      continue;
    }
    return UsageError("unknown option: " + argument);
  }
  return line;
}

std::string UsageText(const std::string& program) {
  return "Usage: " + program +
         " [OPTION]\n"
         "Desktop watchdog: pings a host, keeps a program running and watches a log file.\n"
         "\n"
         "  -h, --help              show this help and exit\n"
         "      --version           show the version and exit\n"
         "      --autostart on|off  start Quorvane at login (on) or no more (off), then exit\n"
         "      --report [...]      write a connection report from the history and exit\n"
         "                          (--report --help tells its options)\n"
         "\n"
         "The GUI toolkit's options are accepted too, for instance -platform xcb, -display :1,\n"
         "-style Fusion. Only one Quorvane runs per user and display: a second start brings\n"
         "the running window to the front and exits.\n"
         "\n"
         "Environment: QUORVANE_REGISTRY (settings file), QUORVANE_LOG (log file),\n"
         "QUORVANE_HISTORY (history file, or off),\n"
         "XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_RUNTIME_DIR, DISPLAY, QT_QPA_PLATFORM.\n"
         "Exit status: 0 on success or when already running, 1 on failure, 2 on a usage error.\n";
}

}  // namespace qv
