// The web launcher's cutting of a registered browser command into program and
// arguments, and the removal of its placeholders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "desktop/GoToWeb.h"
#include "fuzz/FuzzSupport.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = qv::fuzz::SplitInput(data, size, 2);
  const std::string command = qv::TGoToWeb::StripPlaceholders(parts[0]);
  // Only a '%' at the very end survives.
  const std::size_t percent = command.find('%');
  Check(percent == std::string::npos || percent + 1 == command.size());
  Check(command.size() <= parts[0].size());

  const qv::TGoToWeb::Start start = qv::TGoToWeb::SplitCommand(command, parts[1]);
  Check(start.program.size() <= command.size());
  const std::string tail = " " + parts[1];
  Check(start.arguments.size() >= tail.size() &&
        start.arguments.compare(start.arguments.size() - tail.size(), tail.size(), tail) == 0);
  return 0;
}
