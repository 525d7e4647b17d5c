// The program's 8-bit texts as UTF-8, for files that others read.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// Every byte as the Latin-1 character of that number.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace qv::platform
