#include "platform/Launcher.h"

namespace qv::platform {

CommandWords SplitCommandLine(const std::string& commandLine) {
  CommandWords result;
  std::string word;
  bool inWord = false, inQuotes = false, hadQuotes = false;
  const auto finish = [&] {
    if (!inWord) return;
    result.words.push_back(word);
    result.quoted.push_back(hadQuotes);
    word.clear();
    inWord = hadQuotes = false;
  };
  for (std::size_t i = 0; i < commandLine.size(); ++i) {
    const char c = commandLine[i];
    if (c == '\\') {
      // Backslashes are literal unless a run of them ends in a quote: then each
      // pair is one backslash and an odd one out makes the quote literal.
      std::size_t run = 0;
      while (i + run < commandLine.size() && commandLine[i + run] == '\\') ++run;
      inWord = true;
      if (i + run < commandLine.size() && commandLine[i + run] == '"') {
        word.append(run / 2, '\\');
        if (run % 2 == 1) {
          word += '"';
          i += run;  // past the quote
        } else {
          i += run - 1;  // the quote itself is read next
        }
      } else {
        word.append(run, '\\');
        i += run - 1;
      }
      continue;
    }
    if (c == '"') {
      inQuotes = !inQuotes;
      inWord = hadQuotes = true;
      continue;
    }
    if ((c == ' ' || c == '\t') && !inQuotes) {
      finish();
      continue;
    }
    word += c;
    inWord = true;
  }
  finish();
  return result;
}

}  // namespace qv::platform
