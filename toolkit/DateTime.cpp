#include "toolkit/DateTime.h"

#include <cstddef>
#include <string_view>

namespace qv {
namespace {

constexpr std::string_view kDefaultShortDateFormat = "m/d/yy";
const std::string kDefaultTimeSeparator = ":";
const std::string kDefaultDateSeparator = "/";
constexpr int kMonthsPerYear = 12;
constexpr int kDaysPerWeek = 7;

std::string TwoDigits(int value) {
  if (value < 0) value = -value;
  value %= 100;
  std::string text(2, '0');
  text[0] = static_cast<char>('0' + value / 10);
  text[1] = static_cast<char>('0' + value % 10);
  return text;
}

std::string FourDigits(int year) {
  std::string digits = std::to_string(year < 0 ? -year : year);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return year < 0 ? "-" + digits : digits;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are looked up only for values in range; a broken time prints nothing.
std::string NameAt(const std::string* names, int count, int index) {
  return (index >= 0 && index < count) ? names[index] : std::string();
}

}  // namespace

int DayOfWeek(int year, int month, int day) {
  // Sakamoto's method: months before March count in the previous year.
  static constexpr int kMonthOffset[kMonthsPerYear] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 1 || month > kMonthsPerYear) return 0;
  if (month < 3) --year;
  int weekday = (year + year / 4 - year / 100 + year / 400 + kMonthOffset[month - 1] + day) % kDaysPerWeek;
  return weekday < 0 ? weekday + kDaysPerWeek : weekday;
}

std::string FormatTimeText(const TimeDateFormats& formats, const CivilTime& time) {
  int hour = time.hour;
  if (formats.twelveHour) {
    hour %= 12;
    if (hour == 0) hour = 12;  // midnight and noon are 12, not 0
  }
  // A locale that names no separator still gets readable times.
  const std::string& separator =
      formats.timeSeparator.empty() ? kDefaultTimeSeparator : formats.timeSeparator;
  std::string text = formats.leadingZeroHours ? TwoDigits(hour) : std::to_string(hour);
  text += separator;
  text += TwoDigits(time.minute);
  text += separator;
  text += TwoDigits(time.second);
  if (formats.twelveHour) {
    text += ' ';
    text += time.hour < 12 ? formats.timeAMString : formats.timePMString;
  }
  return text;
}

std::string FormatDateText(const TimeDateFormats& formats, const CivilTime& time) {
  const std::string_view pattern =
      formats.shortDateFormat.empty() ? kDefaultShortDateFormat : std::string_view(formats.shortDateFormat);
  const std::string& separator =
      formats.dateSeparator.empty() ? kDefaultDateSeparator : formats.dateSeparator;
  std::string text;
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    const char code = Lower(c);
    if (c == '\'' || c == '"') {
      std::size_t close = pattern.find(c, i + 1);
      if (close == std::string_view::npos) close = pattern.size();
      text += pattern.substr(i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    if (c == '/') {
      text += separator;
      ++i;
      continue;
    }
    if (code != 'd' && code != 'm' && code != 'y') {
      text += c;
      ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < pattern.size() && Lower(pattern[i + run]) == code) ++run;
    i += run;
    if (code == 'y') {
      text += run <= 2 ? TwoDigits(time.year) : FourDigits(time.year);
    } else if (code == 'm') {
      if (run == 1) text += std::to_string(time.month);
      if (run == 2) text += TwoDigits(time.month);
      if (run == 3) text += NameAt(formats.shortMonthNames.data(), kMonthsPerYear, time.month - 1);
      if (run >= 4) text += NameAt(formats.longMonthNames.data(), kMonthsPerYear, time.month - 1);
    } else {
      const int weekday = DayOfWeek(time.year, time.month, time.day);
      if (run == 1) text += std::to_string(time.day);
      if (run == 2) text += TwoDigits(time.day);
      if (run == 3) text += NameAt(formats.shortDayNames.data(), kDaysPerWeek, weekday);
      if (run >= 4) text += NameAt(formats.longDayNames.data(), kDaysPerWeek, weekday);
    }
  }
  return text;
}

}  // namespace qv
