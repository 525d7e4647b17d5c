// Time and date texts as the event log writes them, from the locale's facts and
// a civil time. Pure functions: the clock is read by the caller (ILocale::Now).
#pragma once

#include <string>

#include "platform/Locale.h"

namespace qv {

using platform::CivilTime;
using platform::TimeDateFormats;

// Hours ("h", or "hh" when the locale wants leading zeros), then the time
// separator, two-digit minutes, the separator and two-digit seconds; on a
// 12-hour clock a blank and the morning or afternoon designator follow.
std::string FormatTimeText(const TimeDateFormats& formats, const CivilTime& time);

// The date written with the locale's short date pattern ("m/d/yy" when it has
// none). Pattern letters are read without regard to case: d, dd, ddd, dddd for
// the day, its two-digit form and the day names; m, mm, mmm, mmmm for the month
// likewise; yy and yyyy for the year. "/" is the date separator; text in single
// or double quotes and every other character is copied.
std::string FormatDateText(const TimeDateFormats& formats, const CivilTime& time);

// 0 for Sunday to 6 for Saturday, proleptic Gregorian calendar.
int DayOfWeek(int year, int month, int day);

}  // namespace qv
