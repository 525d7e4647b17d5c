#include "platform/linux/XdgWebBrowser.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace qv::platform {

namespace {

constexpr const char* kFileType = "QuorvaneWebPage";
// Desktops record the user's browser as the handler of the web's URL schemes;
// text/html is what opens local pages and may name another program.
constexpr const char* kWebMimeTypes[] = {"x-scheme-handler/https", "x-scheme-handler/http", "text/html"};

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The value of `key` in section `section` of a desktop-entry style file.
std::string IniValue(const std::string& path, const std::string& section, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inSection = line == "[" + section + "]";
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string name = line.substr(0, equals);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name != key) continue;
    std::size_t from = equals + 1;
    while (from < line.size() && line[from] == ' ') ++from;
    return line.substr(from);
  }
  return {};
}

// The desktop entry's Exec line, with the entry's own escapes undone (the
// field codes stay: the launcher deletes them).
std::string ExecOf(const std::string& desktopFile) {
  const std::string exec = IniValue(desktopFile, "Desktop Entry", "Exec");
  std::string out;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      const char next = exec[++i];
      out += next == 's' ? ' ' : next == 't' ? '\t' : next;
    } else {
      out += exec[i];
    }
  }
  return out;
}

bool Readable(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

std::vector<std::string> ApplicationDirs(const XdgPaths& paths) {
  std::vector<std::string> dirs{paths.dataHome + "/applications"};
  for (const std::string& dir : paths.dataDirs) dirs.push_back(dir + "/applications");
  return dirs;
}

// The Exec line of the first listed desktop entry that is installed.
std::string FirstInstalled(const std::string& list, const XdgPaths& paths) {
  for (const std::string& id : SplitList(list, ';')) {
    for (const std::string& dir : ApplicationDirs(paths)) {
      const std::string file = dir + "/" + id;
      if (!Readable(file)) continue;
      std::string exec = ExecOf(file);
      if (!exec.empty()) return exec;
    }
  }
  return {};
}

}  // namespace

XdgPaths XdgPaths::FromEnvironment() {
  XdgPaths paths;
  const std::string home = Environment("HOME");
  paths.configHome = Environment("XDG_CONFIG_HOME");
  if (paths.configHome.empty()) paths.configHome = home + "/.config";
  paths.configDirs = SplitList(Environment("XDG_CONFIG_DIRS"), ':');
  if (paths.configDirs.empty()) paths.configDirs = {"/etc/xdg"};
  paths.dataHome = Environment("XDG_DATA_HOME");
  if (paths.dataHome.empty()) paths.dataHome = home + "/.local/share";
  paths.dataDirs = SplitList(Environment("XDG_DATA_DIRS"), ':');
  if (paths.dataDirs.empty()) paths.dataDirs = {"/usr/local/share", "/usr/share"};
  return paths;
}

std::string DefaultBrowserCommand(const XdgPaths& paths) {
  // The user's choice first, then the system's, then what is installed; in
  // each place the scheme handlers before text/html.
  std::vector<std::string> lists{paths.configHome + "/mimeapps.list"};
  for (const std::string& dir : paths.configDirs) lists.push_back(dir + "/mimeapps.list");
  for (const std::string& dir : ApplicationDirs(paths)) lists.push_back(dir + "/mimeapps.list");
  for (const std::string& list : lists) {
    for (const char* mime : kWebMimeTypes) {
      const std::string exec = FirstInstalled(IniValue(list, "Default Applications", mime), paths);
      if (!exec.empty()) return exec;
    }
  }
  for (const std::string& dir : ApplicationDirs(paths)) {
    for (const char* mime : kWebMimeTypes) {
      const std::string exec = FirstInstalled(IniValue(dir + "/mimeinfo.cache", "MIME Cache", mime), paths);
      if (!exec.empty()) return exec;
    }
  }
  if (!paths.fallbackBrowser.empty() && ::access(paths.fallbackBrowser.c_str(), X_OK) == 0) {
    return paths.fallbackBrowser + " %u";
  }
  return {};
}

bool XdgClassesRoot::Shown(HKey parent, const std::string& subKey, std::string* value) {
  if (parent != kHkeyClassesRoot) return false;
  std::string path = FoldRegistryName(subKey);
  if (!path.empty() && path.back() == '\\') path.pop_back();
  const bool extension = path == ".htm" || path == ".html" || path == ".shtml" || path == ".shtm";
  const bool command = path == FoldRegistryName(kFileType) + "\\shell\\open\\command";
  if (!extension && !command) return false;
  const std::string browser = DefaultBrowserCommand(paths_);
  if (browser.empty()) return false;  // no browser: the store's own keys, if any
  *value = extension ? kFileType : browser;
  return true;
}

RegStatus XdgClassesRoot::OpenKey(HKey parent, const std::string& subKey, HKey* result) {
  // Below a shown key there is nothing.
  if (IsShownHandle(parent)) return shown_.count(parent) != 0 ? kErrorFileNotFound : kErrorInvalidHandle;
  std::string value;
  if (!Shown(parent, subKey, &value)) return inner_.OpenKey(parent, subKey, result);
  const HKey handle = nextShown_++;
  if (!IsShownHandle(nextShown_)) nextShown_ = kFirstShownHandle;
  shown_[handle] = value;
  *result = handle;
  return kErrorSuccess;
}

RegStatus XdgClassesRoot::CreateKey(HKey parent, const std::string& subKey, HKey* result) {
  std::string value;
  if (IsShownHandle(parent) || Shown(parent, subKey, &value)) return kErrorAccessDenied;
  return inner_.CreateKey(parent, subKey, result);
}

RegStatus XdgClassesRoot::CloseKey(HKey key) {
  if (!IsShownHandle(key)) return inner_.CloseKey(key);
  return shown_.erase(key) != 0 ? kErrorSuccess : kErrorInvalidHandle;
}

RegStatus XdgClassesRoot::QueryValue(HKey key, const std::string& name, RegValue* value) {
  if (!IsShownHandle(key)) return inner_.QueryValue(key, name, value);
  const auto found = shown_.find(key);
  if (found == shown_.end()) return kErrorInvalidHandle;
  if (!name.empty()) return kErrorFileNotFound;
  value->type = kRegSz;
  value->data.assign(found->second.begin(), found->second.end());
  value->data.push_back(0);
  return kErrorSuccess;
}

RegStatus XdgClassesRoot::SetValue(HKey key, const std::string& name, RegType type,
                                   const std::vector<std::uint8_t>& data) {
  if (IsShownHandle(key)) return kErrorAccessDenied;
  return inner_.SetValue(key, name, type, data);
}

bool XdgClassesRoot::KeyExists(HKey parent, const std::string& subKey) {
  std::string value;
  if (IsShownHandle(parent)) return false;
  return Shown(parent, subKey, &value) || inner_.KeyExists(parent, subKey);
}

}  // namespace qv::platform
