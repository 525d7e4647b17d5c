// The user's time and date conventions from the C library's LC_TIME data, the
// decimal separator from LC_NUMERIC, and the local time from the system clock.
#pragma once

#include <array>
#include <string>

#include "platform/Locale.h"

namespace qv::platform {

// How the C library's locale strings are encoded.
enum class LocaleEncoding {
  kLatin1,  // ASCII or ISO-8859-1: taken byte for byte
  kUtf8,
  kOther,  // any other set: only its ASCII characters can be used
};

// The raw LC_TIME strings, in the locale's own encoding.
struct LcTimeFacts {
  std::string timeFormat;                       // T_FMT, strftime notation
  std::string timeFormatAmPm;                   // T_FMT_AMPM, what %r stands for
  std::string am;                               // AM_STR; empty on a 24-hour locale
  std::string pm;                               // PM_STR
  std::string dateFormat;                       // D_FMT
  std::array<std::string, 12> shortMonthNames;  // ABMON_1..12; empty: keep the defaults
  std::array<std::string, 12> longMonthNames;   // MON_1..12
  std::array<std::string, 7> shortDayNames;     // ABDAY_1..7, Sunday first
  std::array<std::string, 7> longDayNames;      // DAY_1..7
  LocaleEncoding encoding = LocaleEncoding::kLatin1;
};

// Turns the strftime patterns into the Windows-style facts the event log uses.
// Pure: tests feed it tables of patterns.
TimeDateFormats DeriveTimeDateFormats(const LcTimeFacts& facts);

// Converts locale text to Latin-1; false when a character has no Latin-1 form
// or the text is not valid in its encoding.
bool ToLatin1(const std::string& text, LocaleEncoding encoding, std::string& latin1);

// The decimal separator from LC_NUMERIC's radix character: one Latin-1
// character, else '.' (a separator that Latin-1 cannot write, or an empty one,
// could never be typed into a numeric field anyway).
char DeriveDecimalSeparator(const std::string& radix, LocaleEncoding encoding);

class LinuxLocale final : public ILocale {
 public:
  // Reads LC_TIME and LC_NUMERIC of `localeName` once; "" is the user's locale
  // (LC_ALL, then LC_TIME or LC_NUMERIC, then LANG). A locale that is not
  // installed gives the C locale's conventions.
  explicit LinuxLocale(const std::string& localeName = "");

  TimeDateFormats Formats() const override { return formats_; }
  CivilTime Now() const override;
  char DecimalSeparator() const override { return decimalSeparator_; }

  static LcTimeFacts ReadFacts(const std::string& localeName);
  static char ReadDecimalSeparator(const std::string& localeName);

 private:
  TimeDateFormats formats_;
  char decimalSeparator_;
};

}  // namespace qv::platform
