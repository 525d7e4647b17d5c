// The toolkit's texts are bytes as they came: from the user, from files, from
// other programs, and the program's own Latin-1 texts (with their © and ®).
// They are shown as UTF-8 when they are valid UTF-8, else as Latin-1, and what
// the user types goes back as UTF-8, which is what the system expects of
// paths and commands.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace qv::platform::qt {

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view bytes);

QString TextToQt(std::string_view bytes);
std::string TextFromQt(const QString& text);

}  // namespace qv::platform::qt
