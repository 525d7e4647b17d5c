#include "toolkit/StreamBytes.h"

#include <algorithm>
#include <istream>

namespace qv {

namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
}

bool ReadUpTo(std::istream& in, std::vector<std::uint8_t>& bytes, std::size_t total) {
  while (bytes.size() < total && in) {
    const std::size_t want = std::min(kReadChunk, total - bytes.size());
    const std::size_t old = bytes.size();
    bytes.resize(old + want);
    in.read(reinterpret_cast<char*>(bytes.data() + old), static_cast<std::streamsize>(want));
    bytes.resize(old + static_cast<std::size_t>(in.gcount()));
  }
  return bytes.size() >= total;
}

}  // namespace qv
