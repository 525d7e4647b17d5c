// Where the web browser comes from on a Linux desktop: the default handler of
// https, then http, then text/html as the XDG rules name it (mimeapps.list,
// then the installed associations, then Debian's x-www-browser), and its
// desktop entry's Exec line. XdgClassesRoot shows that command in the registry's web page keys,
// read-only, the way the web launcher looks for it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace qv::platform {

struct XdgPaths {
  std::string configHome;               // $XDG_CONFIG_HOME or ~/.config
  std::vector<std::string> configDirs;  // $XDG_CONFIG_DIRS or /etc/xdg
  std::string dataHome;                 // $XDG_DATA_HOME or ~/.local/share
  std::vector<std::string> dataDirs;    // $XDG_DATA_DIRS or /usr/local/share:/usr/share
  std::string fallbackBrowser = "/usr/bin/x-www-browser";

  static XdgPaths FromEnvironment();
};

// The default browser's Exec line (field codes such as %u left in), or empty.
std::string DefaultBrowserCommand(const XdgPaths& paths);

// The registry with HKEY_CLASSES_ROOT\.htm, .html, .shtml and .shtm naming the
// file type "QuorvaneWebPage", whose shell\open\command holds the default
// browser's command, looked up at every opening. Everything else goes to
// `inner`; the shown keys take no writes.
class XdgClassesRoot final : public IRegistryStore {
 public:
  XdgClassesRoot(IRegistryStore& inner, XdgPaths paths) : inner_(inner), paths_(std::move(paths)) {}

  RegStatus OpenKey(HKey parent, const std::string& subKey, HKey* result) override;
  RegStatus CreateKey(HKey parent, const std::string& subKey, HKey* result) override;
  RegStatus CloseKey(HKey key) override;
  RegStatus QueryValue(HKey key, const std::string& name, RegValue* value) override;
  RegStatus SetValue(HKey key, const std::string& name, RegType type,
                     const std::vector<std::uint8_t>& data) override;
  bool KeyExists(HKey parent, const std::string& subKey) override;

 private:
  // Whether `parent`\`subKey` is a shown key; its default value into `value`.
  bool Shown(HKey parent, const std::string& subKey, std::string* value);
  static bool IsShownHandle(HKey key) {
    return key >= kFirstShownHandle && key < kFirstShownHandle + 0x10000000u;
  }

  static constexpr HKey kFirstShownHandle = 0x40000000u;
  IRegistryStore& inner_;
  XdgPaths paths_;
  std::map<HKey, std::string> shown_;  // open handles of shown keys -> default value
  HKey nextShown_ = kFirstShownHandle;
};

}  // namespace qv::platform
