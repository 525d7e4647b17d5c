// The launcher's command-line splitter. Besides not crashing, it must give
// back any list of words that was quoted the way the splitter documents.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/Launcher.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// One word in double quotes: a quote is written \", and backslashes that come
// before a quote (written or closing) are doubled.
std::string Quoted(const std::string& word) {
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (const char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const qv::platform::CommandWords split = qv::platform::SplitCommandLine(line);
  Check(split.words.size() == split.quoted.size());
  for (std::size_t i = 0; i < split.words.size(); ++i) {
    // An unquoted word is never empty and holds no blank.
    if (!split.quoted[i])
      Check(!split.words[i].empty() && split.words[i].find_first_of(" \t") == std::string::npos);
  }

  // The same bytes read as a list of words (cut at NULs), quoted and joined.
  const std::vector<std::string> words = qv::fuzz::SplitInput(data, size, 8);
  std::string joined;
  for (const std::string& word : words) joined += Quoted(word) + (word.size() % 2 ? "\t" : " ");
  const qv::platform::CommandWords back = qv::platform::SplitCommandLine(joined);
  Check(back.words == words);
  for (const bool quoted : back.quoted) Check(quoted);
  return 0;
}
