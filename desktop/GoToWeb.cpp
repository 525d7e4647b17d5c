#include "desktop/GoToWeb.h"

#include <array>
#include <cctype>

#include "platform/Launcher.h"
#include "platform/RegistryStore.h"
#include "platform/Services.h"

namespace qv {

namespace {

constexpr const char* kDefaultUrl = "https://www.quorvane.example/";
constexpr std::array<const char*, 4> kWebPageExtensions = {".htm", ".html", ".shtml", ".shtm"};
constexpr std::size_t kValueBuffer = 1024;

// The key's default value when it is there and does not start with a zero
// byte; the value's type is not looked at. Values beyond the buffer are cut.
bool ReadCommandValue(platform::IRegistryStore& store, platform::HKey key, std::string& text) {
  platform::RegValue value;
  if (store.QueryValue(key, "", &value) != platform::kErrorSuccess) return false;
  if (value.data.empty() || value.data[0] == 0) return false;
  std::string read(value.data.begin(), value.data.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                value.data.size(), kValueBuffer - 1)));
  const std::size_t end = read.find('\0');
  if (end != std::string::npos) read.resize(end);
  text = std::move(read);
  return true;
}

// The open command under `parent`\`path`, or empty.
std::string CommandAt(platform::IRegistryStore& store, platform::HKey parent, const std::string& path) {
  platform::HKey key = 0;
  if (store.OpenKey(parent, path, &key) != platform::kErrorSuccess) return {};
  std::string command;
  const bool found = ReadCommandValue(store, key, command);
  store.CloseKey(key);
  return found ? command : std::string();
}

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

TGoToWeb::TGoToWeb(TComponent* owner) : TComponent(owner), url_(kDefaultUrl) {}

std::string TGoToWeb::StripPlaceholders(std::string text) {
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '%' && i + 1 < text.size())
      text.erase(i, 2);
    else
      ++i;
  }
  return text;
}

std::string TGoToWeb::FindBrowserCommand() {
  platform::IRegistryStore* store = platform::Current().registry;
  if (store == nullptr) return {};
  for (const char* extension : kWebPageExtensions) {
    platform::HKey key = 0;
    if (store->OpenKey(platform::kHkeyClassesRoot, extension, &key) != platform::kErrorSuccess) continue;
    std::string fileType;
    std::string command;
    if (ReadCommandValue(*store, key, fileType)) {
      command = CommandAt(*store, platform::kHkeyClassesRoot, fileType + "\\shell\\open\\command");
    }
    // The extension's own command when its file type has none.
    if (command.empty()) command = CommandAt(*store, key, "shell\\open\\command");
    store->CloseKey(key);
    if (!command.empty()) return StripPlaceholders(command);
  }
  return {};
}

TGoToWeb::Start TGoToWeb::SplitCommand(const std::string& command, const std::string& url) {
  // The program ends at the last ".EXE", ".BAT" or ".COM", found in upper case;
  // the text itself keeps its case (Linux paths and options depend on it).
  std::string upper = command;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::size_t end = std::string::npos;
  for (const char* suffix : {".EXE", ".BAT", ".COM"}) {
    const std::size_t at = upper.rfind(suffix);
    if (at != std::string::npos && (end == std::string::npos || at + 4 > end)) end = at + 4;
  }
  if (end == std::string::npos) {
    // A command of this platform: the program is the first word, quoted or not.
    std::size_t from = 0;
    while (from < command.size() && IsBlankOrControl(command[from])) ++from;
    if (from < command.size() && command[from] == '"') {
      const std::size_t close = command.find('"', from + 1);
      end = close == std::string::npos ? command.size() : close + 1;
    } else {
      end = from;
      while (end < command.size() && !IsBlankOrControl(command[end])) ++end;
    }
  }
  Start start;
  std::string arguments;
  if (end < command.size()) {
    arguments = command.substr(end);
    std::size_t first = 0, last = arguments.size();
    while (first < last && IsBlankOrControl(arguments[first])) ++first;
    while (last > first && IsBlankOrControl(arguments[last - 1])) --last;
    arguments = arguments.substr(first, last - first);
    first = 0;
    while (first < arguments.size() && arguments[first] == '"') ++first;
    arguments.erase(0, first);
  }
  start.program = command.substr(0, end);
  std::size_t from = 0;
  while (from < start.program.size() && IsBlankOrControl(start.program[from])) ++from;
  start.program.erase(0, from);
  if (!start.program.empty() && start.program.front() == '"') start.program.erase(0, 1);
  if (!start.program.empty() && start.program.back() == '"') start.program.pop_back();
  start.arguments = arguments + " " + url;
  return start;
}

bool TGoToWeb::Execute() {
  const std::string command = FindBrowserCommand();
  if (command.empty()) return false;
  const Start start = SplitCommand(command, url_);
  platform::IProcessLauncher* launcher = platform::Current().launcher;
  if (launcher == nullptr || start.program.empty()) return false;
  // The program quoted, as the launcher splits command lines; the arguments as they are.
  return launcher->Execute("\"" + start.program + "\" " + start.arguments) > 32;
}

}  // namespace qv
