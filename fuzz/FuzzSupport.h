// What several fuzz targets share: cutting one input into parts and a scratch
// folder for targets whose parser reads files.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace qv::fuzz {

// The input cut at its NUL bytes into exactly `count` parts; missing parts
// are empty and the last one keeps any further NULs.
inline std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::string> parts;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (parts.size() + 1 < count) {
    const std::size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) break;
    parts.emplace_back(rest.substr(0, nul));
    rest.remove_prefix(nul + 1);
  }
  parts.emplace_back(rest);
  parts.resize(count);
  return parts;
}

// A folder of this process, in memory where the system offers it, removed at exit.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    pattern += "/qvfuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::string removal = pattern;
    std::atexit([] { std::system(("rm -rf '" + removal + "'").c_str()); });
    return pattern;
  }();
  return dir;
}

inline void WriteFile(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace qv::fuzz
