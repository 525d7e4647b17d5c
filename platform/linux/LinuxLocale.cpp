#include "platform/linux/LinuxLocale.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace qv::platform {
namespace {

// One element of a strftime pattern: literal text or a conversion.
struct Token {
  bool field = false;
  char spec = 0;  // the conversion letter
  char flag = 0;  // glibc padding flag ('-', '_', '0', ...), 0 when none
  std::string text;
};

// A piece of a Windows-style pattern: a field code, or literal text still in the
// locale's encoding.
struct Piece {
  bool field = false;
  std::string text;
};

// %r may stand for a pattern that itself says %r; stop unfolding there.
constexpr int kMaxExpansionDepth = 2;
constexpr std::string_view kPaddingFlags = "-_0^#";
// What glibc's strftime uses for %r when the locale gives no 12-hour pattern.
constexpr std::string_view kDefaultAmPmFormat = "%I:%M:%S %p";

void AddLiteral(std::vector<Token>& tokens, std::string_view text) {
  if (text.empty()) return;
  if (!tokens.empty() && !tokens.back().field) {
    tokens.back().text += text;
  } else {
    tokens.push_back({false, 0, 0, std::string(text)});
  }
}

void Tokenize(std::string_view pattern, std::string_view ampm, int depth, std::vector<Token>& tokens) {
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      AddLiteral(tokens, pattern.substr(i, 1));
      continue;
    }
    std::size_t j = i + 1;
    char flag = 0;
    while (j < pattern.size() && kPaddingFlags.find(pattern[j]) != std::string_view::npos) {
      flag = pattern[j++];
    }
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') ++j;    // width
    while (j < pattern.size() && (pattern[j] == 'E' || pattern[j] == 'O')) ++j;  // alt forms
    if (j >= pattern.size()) {
      AddLiteral(tokens, pattern.substr(i));
      return;
    }
    const char spec = pattern[j];
    i = j;
    std::string_view expansion;
    switch (spec) {
      case '%': AddLiteral(tokens, "%"); continue;
      case 'n':
      case 't': AddLiteral(tokens, " "); continue;
      case 'T': expansion = "%H:%M:%S"; break;
      case 'R': expansion = "%H:%M"; break;
      case 'r': expansion = ampm.empty() ? kDefaultAmPmFormat : ampm; break;
      case 'D': expansion = "%m/%d/%y"; break;
      case 'F': expansion = "%Y-%m-%d"; break;
      default: tokens.push_back({true, spec, flag, {}}); continue;
    }
    if (depth < kMaxExpansionDepth) Tokenize(expansion, ampm, depth + 1, tokens);
  }
}

bool NoPadding(char flag) {
  return flag == '-' || flag == '_';
}

bool HasAsciiLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// Literal text that the pattern reader would take for codes is quoted.
std::string QuoteIfNeeded(const std::string& text, char reserved) {
  const bool needsQuotes = HasAsciiLetter(text) || text.find('\'') != std::string::npos ||
                           text.find('"') != std::string::npos ||
                           (reserved != 0 && text.find(reserved) != std::string::npos);
  if (!needsQuotes) return text;
  const char quote = text.find('\'') != std::string::npos ? '"' : '\'';
  return quote + text + quote;
}

// Joins the pieces into a pattern. Literal text without a Latin-1 form becomes
// `placeholder` between two fields and is dropped at the ends; blanks left at the
// ends by dropped fields go too.
std::string JoinPattern(const std::vector<Piece>& pieces, LocaleEncoding encoding,
                        const std::string& placeholder, char reserved) {
  std::vector<Piece> merged;
  for (const Piece& piece : pieces) {
    if (!piece.field && !merged.empty() && !merged.back().field) {
      merged.back().text += piece.text;
    } else {
      merged.push_back(piece);
    }
  }
  while (!merged.empty() && !merged.front().field &&
         merged.front().text.find_first_not_of(' ') == std::string::npos) {
    merged.erase(merged.begin());
  }
  while (!merged.empty() && !merged.back().field &&
         merged.back().text.find_first_not_of(' ') == std::string::npos) {
    merged.pop_back();
  }
  std::string pattern;
  for (std::size_t i = 0; i < merged.size(); ++i) {
    const Piece& piece = merged[i];
    if (piece.field) {
      pattern += piece.text;
      continue;
    }
    std::string latin1;
    const bool inner = i > 0 && i + 1 < merged.size();
    if (ToLatin1(piece.text, encoding, latin1)) {
      if (i == 0) latin1.erase(0, latin1.find_first_not_of(' '));
      if (i + 1 == merged.size()) latin1.erase(latin1.find_last_not_of(' ') + 1);
      pattern += QuoteIfNeeded(latin1, reserved);
    } else if (inner) {
      pattern += placeholder;
    }
  }
  return pattern;
}

void DeriveTime(const LcTimeFacts& facts, TimeDateFormats& formats) {
  std::vector<Token> tokens;
  Tokenize(facts.timeFormat, facts.timeFormatAmPm, 0, tokens);
  auto isHour = [](const Token& t) {
    return t.field && (t.spec == 'H' || t.spec == 'k' || t.spec == 'I' || t.spec == 'l');
  };
  auto hour = std::find_if(tokens.begin(), tokens.end(), isHour);
  if (hour == tokens.end()) return;  // nothing to learn: keep the 24-hour defaults

  // An empty morning designator is how glibc marks a 24-hour locale.
  formats.twelveHour = (hour->spec == 'I' || hour->spec == 'l') && !facts.am.empty();
  auto zeroPadded = [](const Token& t) {
    if (t.flag == '0') return true;
    if (NoPadding(t.flag)) return false;
    return t.spec == 'H' || t.spec == 'I';  // %k and %l pad with a blank
  };
  formats.leadingZeroHours = zeroPadded(*hour);

  formats.timeSeparator.assign(1, ':');  // assign(): GCC 12 misreads = "x" (-Wrestrict)
  auto between = hour + 1;
  if (between != tokens.end() && !between->field && between + 1 != tokens.end()) {
    std::string separator;
    if (ToLatin1(between->text, facts.encoding, separator) && !separator.empty()) {
      formats.timeSeparator = separator;
    }
  }

  formats.timeAMString.clear();
  formats.timePMString.clear();
  if (formats.twelveHour) {
    // Designators in a script Latin-1 cannot show are replaced by the English ones.
    if (!ToLatin1(facts.am, facts.encoding, formats.timeAMString) || formats.timeAMString.empty()) {
      formats.timeAMString = "AM";
    }
    if (!ToLatin1(facts.pm, facts.encoding, formats.timePMString) || formats.timePMString.empty()) {
      formats.timePMString = "PM";
    }
  }

  std::vector<Piece> pieces;
  for (const Token& token : tokens) {
    if (!token.field) {
      pieces.push_back({false, token.text});
      continue;
    }
    std::string code;
    switch (token.spec) {
      case 'H':
      case 'k':
      case 'I':
      case 'l':
        code.assign(1, formats.twelveHour ? 'h' : 'H');
        if (zeroPadded(token)) code += code;
        break;
      case 'M': code = NoPadding(token.flag) ? "m" : "mm"; break;
      case 'S': code = NoPadding(token.flag) ? "s" : "ss"; break;
      case 'p':
      case 'P':
        if (formats.twelveHour) code = "AM/PM";
        break;
      default: break;  // time zones and the like have no place in the time text
    }
    if (!code.empty()) pieces.push_back({true, code});
  }
  formats.longTimeFormat = JoinPattern(pieces, facts.encoding, ":", formats.timeSeparator == ":" ? 0 : ':');
}

bool IsNumericDateCode(const Piece& piece) {
  static constexpr std::string_view kNumeric[] = {"d", "dd", "M", "MM", "yy", "yyyy"};
  return piece.field && std::find(std::begin(kNumeric), std::end(kNumeric), piece.text) != std::end(kNumeric);
}

void DeriveDate(const LcTimeFacts& facts, TimeDateFormats& formats) {
  std::vector<Token> tokens;
  Tokenize(facts.dateFormat, facts.timeFormatAmPm, 0, tokens);
  std::vector<Piece> pieces;
  bool anyField = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (!token.field) {
      pieces.push_back({false, token.text});
      continue;
    }
    std::string code;
    switch (token.spec) {
      case 'd': code = NoPadding(token.flag) ? "d" : "dd"; break;
      case 'e': code = token.flag == '0' ? "dd" : "d"; break;
      case 'm': code = NoPadding(token.flag) ? "M" : "MM"; break;
      case 'y': code = "yy"; break;
      case 'Y': code = "yyyy"; break;
      case 'C':  // century followed by the year in the century: the full year
        if (i + 1 < tokens.size() && tokens[i + 1].field && tokens[i + 1].spec == 'y') {
          code = "yyyy";
          ++i;
        }
        break;
      case 'b':
      case 'h': code = "MMM"; break;
      case 'B': code = "MMMM"; break;
      case 'a': code = "ddd"; break;
      case 'A': code = "dddd"; break;
      default: break;
    }
    // A conversion we cannot express makes the whole pattern unusable.
    if (code.empty()) return;
    pieces.push_back({true, code});
    anyField = true;
  }
  if (!anyField) return;

  // The separator is the text between two numbers ("." in "dd.MM.yyyy"), else
  // the first text between any two fields.
  std::string separator;
  bool found = false;
  for (int pass = 0; pass < 2 && !found; ++pass) {
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
      if (pieces[i].field || !pieces[i - 1].field || !pieces[i + 1].field) continue;
      if (pass == 0 && (!IsNumericDateCode(pieces[i - 1]) || !IsNumericDateCode(pieces[i + 1]))) {
        continue;
      }
      found = true;
      if (!ToLatin1(pieces[i].text, facts.encoding, separator) || separator.empty()) {
        separator.assign(1, '/');
      }
      break;
    }
  }
  formats.dateSeparator = found ? separator : "/";
  formats.shortDateFormat = JoinPattern(pieces, facts.encoding, "/", formats.dateSeparator == "/" ? 0 : '/');
}

template <std::size_t N>
void TakeNames(const std::array<std::string, N>& names, LocaleEncoding encoding,
               std::array<std::string, N>& into) {
  std::array<std::string, N> converted;
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i].empty() || !ToLatin1(names[i], encoding, converted[i])) return;
  }
  into = converted;  // all or nothing: never a mix of languages
}

LocaleEncoding EncodingOf(const char* codeset) {
  if (codeset == nullptr) return LocaleEncoding::kOther;
  const std::string_view name(codeset);
  if (name == "UTF-8") return LocaleEncoding::kUtf8;
  if (name == "ANSI_X3.4-1968" || name == "ISO-8859-1") return LocaleEncoding::kLatin1;
  return LocaleEncoding::kOther;
}

}  // namespace

bool ToLatin1(const std::string& text, LocaleEncoding encoding, std::string& latin1) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80 || encoding == LocaleEncoding::kLatin1) {
      out += text[i];
      continue;
    }
    if (encoding != LocaleEncoding::kUtf8) return false;
    // Latin-1 holds the code points up to U+00FF: in UTF-8, C2 or C3 and one
    // continuation byte. Anything longer is beyond it (or invalid).
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size()) return false;
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if ((next & 0xC0) != 0x80) return false;
    out += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
    ++i;
  }
  latin1 = std::move(out);
  return true;
}

char DeriveDecimalSeparator(const std::string& radix, LocaleEncoding encoding) {
  std::string latin1;
  if (!ToLatin1(radix, encoding, latin1) || latin1.size() != 1) return '.';
  return latin1[0];
}

TimeDateFormats DeriveTimeDateFormats(const LcTimeFacts& facts) {
  TimeDateFormats formats;
  DeriveTime(facts, formats);
  DeriveDate(facts, formats);
  TakeNames(facts.shortMonthNames, facts.encoding, formats.shortMonthNames);
  TakeNames(facts.longMonthNames, facts.encoding, formats.longMonthNames);
  TakeNames(facts.shortDayNames, facts.encoding, formats.shortDayNames);
  TakeNames(facts.longDayNames, facts.encoding, formats.longDayNames);
  return formats;
}

LcTimeFacts LinuxLocale::ReadFacts(const std::string& localeName) {
  LcTimeFacts facts;
  // LC_CTYPE comes along because it says how the LC_TIME texts are encoded.
  locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, localeName.c_str(), nullptr);
  bool knowsEncoding = locale != nullptr;
  if (locale == nullptr) locale = newlocale(LC_TIME_MASK, localeName.c_str(), nullptr);
  if (locale == nullptr) {
    locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", nullptr);
    knowsEncoding = true;
  }
  if (locale == nullptr) return facts;  // out of memory: the defaults will do

  auto text = [locale](nl_item item) {
    const char* value = nl_langinfo_l(item, locale);
    return std::string(value != nullptr ? value : "");
  };
  facts.timeFormat = text(T_FMT);
  facts.timeFormatAmPm = text(T_FMT_AMPM);
  facts.am = text(AM_STR);
  facts.pm = text(PM_STR);
  facts.dateFormat = text(D_FMT);
  for (int i = 0; i < 12; ++i) {
    facts.shortMonthNames[static_cast<std::size_t>(i)] = text(ABMON_1 + i);
    facts.longMonthNames[static_cast<std::size_t>(i)] = text(MON_1 + i);
  }
  for (int i = 0; i < 7; ++i) {
    facts.shortDayNames[static_cast<std::size_t>(i)] = text(ABDAY_1 + i);
    facts.longDayNames[static_cast<std::size_t>(i)] = text(DAY_1 + i);
  }
  facts.encoding = knowsEncoding ? EncodingOf(nl_langinfo_l(CODESET, locale)) : LocaleEncoding::kOther;
  freelocale(locale);
  return facts;
}

char LinuxLocale::ReadDecimalSeparator(const std::string& localeName) {
  // LC_CTYPE says how the radix character is encoded, as for the time texts.
  locale_t locale = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, localeName.c_str(), nullptr);
  const bool knowsEncoding = locale != nullptr;
  if (locale == nullptr) locale = newlocale(LC_NUMERIC_MASK, localeName.c_str(), nullptr);
  if (locale == nullptr) return '.';  // not installed: the C locale's point
  const char* radix = nl_langinfo_l(RADIXCHAR, locale);
  const LocaleEncoding encoding =
      knowsEncoding ? EncodingOf(nl_langinfo_l(CODESET, locale)) : LocaleEncoding::kOther;
  const char separator = DeriveDecimalSeparator(radix != nullptr ? radix : "", encoding);
  freelocale(locale);
  return separator;
}

LinuxLocale::LinuxLocale(const std::string& localeName)
    : formats_(DeriveTimeDateFormats(ReadFacts(localeName))),
      decimalSeparator_(ReadDecimalSeparator(localeName)) {}

CivilTime LinuxLocale::Now() const {
  const time_t now = ::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local) == nullptr) return {};
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace qv::platform
