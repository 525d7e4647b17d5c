// The default browser lookup: a user's mimeapps.list, an installed desktop
// entry and a mimeinfo.cache, each cut from the input, read from a scratch
// folder the way the product reads them from the XDG folders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/linux/XdgWebBrowser.h"

namespace {

struct Folders {
  qv::platform::XdgPaths paths;
  std::string mimeapps, entry, cache;
};

const Folders& Scratch() {
  static const Folders folders = [] {
    Folders f;
    const std::string root = qv::fuzz::ScratchDir();
    f.paths.configHome = root + "/config";
    f.paths.configDirs = {root + "/etc"};
    f.paths.dataHome = root + "/data";
    f.paths.dataDirs = {root + "/share"};
    f.paths.fallbackBrowser.clear();
    for (const char* dir :
         {"/config", "/etc", "/data", "/data/applications", "/share", "/share/applications"}) {
      std::system(("mkdir -p '" + root + dir + "'").c_str());
    }
    f.mimeapps = f.paths.configHome + "/mimeapps.list";
    f.entry = f.paths.dataHome + "/applications/browser.desktop";
    f.cache = f.paths.dataDirs[0] + "/applications/mimeinfo.cache";
    return f;
  }();
  return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = qv::fuzz::SplitInput(data, size, 3);
  // Desktop IDs are joined to the application folders; one that climbs out
  // of them would have the lookup read whatever the machine holds (devices
  // that never end included), which says nothing about the reader.
  if (parts[0].find("..") != std::string::npos || parts[2].find("..") != std::string::npos) return -1;
  const Folders& f = Scratch();
  qv::fuzz::WriteFile(f.mimeapps, parts[0]);
  qv::fuzz::WriteFile(f.entry, parts[1]);
  qv::fuzz::WriteFile(f.cache, parts[2]);
  (void)qv::platform::DefaultBrowserCommand(f.paths);
  return 0;
}
