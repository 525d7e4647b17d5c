// The user's conventions for writing times, dates and numbers, read once when
// the program starts, and the local wall-clock time.
#pragma once

#include <array>
#include <string>

namespace qv::platform {

// The formatting facts the event log needs. Texts are Latin-1.
struct TimeDateFormats {
  // Windows-style pattern, e.g. "h:mm:ss AM/PM" or "HH:mm:ss".
  std::string longTimeFormat = "HH:mm:ss";
  std::string timeSeparator = ":";
  // Morning and afternoon designators; empty on a 24-hour clock.
  std::string timeAMString;
  std::string timePMString;
  bool leadingZeroHours = true;
  bool twelveHour = false;
  // Windows-style pattern: d/dd day, M/MM month, MMM/MMMM month name, ddd/dddd
  // day name, yy/yyyy year; "/" stands for `dateSeparator`, text in quotes and
  // anything else is copied.
  std::string shortDateFormat = "m/d/yy";
  std::string dateSeparator = "/";
  // Names for the patterns that spell months and days; January and Sunday first.
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> longMonthNames{"January",   "February", "March",    "April",
                                             "May",       "June",     "July",     "August",
                                             "September", "October",  "November", "December"};
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};

  bool operator==(const TimeDateFormats&) const = default;
};

// A local calendar date and time of day.
struct CivilTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;

  bool operator==(const CivilTime&) const = default;
};

class ILocale {
 public:
  virtual ~ILocale() = default;
  // The facts as read at start-up; they do not change while the program runs.
  virtual TimeDateFormats Formats() const = 0;
  // The current local time. Safe to call from any thread.
  virtual CivilTime Now() const = 0;
  // The character that separates the fraction in numbers (Latin-1), as read at
  // start-up.
  virtual char DecimalSeparator() const { return '.'; }
};

}  // namespace qv::platform
