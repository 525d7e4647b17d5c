#include "toolkit/DateTime.h"

#include <gtest/gtest.h>

#include "platform/fake/FakeLocale.h"

namespace qv {
namespace {

using platform::fake::FakeLocale;

CivilTime At(int hour, int minute, int second) {
  return {2026, 12, 8, hour, minute, second};
}
CivilTime On(int year, int month, int day) {
  return {year, month, day, 13, 53, 8};
}

TimeDateFormats TwentyFourHour(bool leadingZero, std::string separator = ":") {
  TimeDateFormats formats;
  formats.twelveHour = false;
  formats.leadingZeroHours = leadingZero;
  formats.timeSeparator = std::move(separator);
  return formats;
}

TEST(TimeText, TwelveHourClockWrapsAtNoonAndMidnight) {
  const TimeDateFormats us = FakeLocale::UnitedStates();
  EXPECT_EQ(FormatTimeText(us, At(13, 53, 8)), "1:53:08 PM");
  EXPECT_EQ(FormatTimeText(us, At(0, 5, 7)), "12:05:07 AM");
  EXPECT_EQ(FormatTimeText(us, At(11, 59, 59)), "11:59:59 AM");
  EXPECT_EQ(FormatTimeText(us, At(12, 0, 0)), "12:00:00 PM");
  EXPECT_EQ(FormatTimeText(us, At(23, 0, 1)), "11:00:01 PM");
}

TEST(TimeText, TwelveHourClockWithLeadingZerosAndOwnDesignators) {
  TimeDateFormats formats = FakeLocale::UnitedStates();
  formats.leadingZeroHours = true;
  formats.timeAMString = "am";
  formats.timePMString = "pm";
  EXPECT_EQ(FormatTimeText(formats, At(9, 5, 7)), "09:05:07 am");
  EXPECT_EQ(FormatTimeText(formats, At(0, 0, 0)), "12:00:00 am");
  EXPECT_EQ(FormatTimeText(formats, At(21, 5, 7)), "09:05:07 pm");
}

TEST(TimeText, TwentyFourHourClockHasNoDesignator) {
  TimeDateFormats withZero = TwentyFourHour(true);
  withZero.timeAMString = "ignored";  // a 24-hour clock never shows it
  EXPECT_EQ(FormatTimeText(withZero, At(9, 5, 7)), "09:05:07");
  EXPECT_EQ(FormatTimeText(withZero, At(0, 0, 0)), "00:00:00");
  EXPECT_EQ(FormatTimeText(withZero, At(23, 59, 59)), "23:59:59");

  const TimeDateFormats withoutZero = TwentyFourHour(false);
  EXPECT_EQ(FormatTimeText(withoutZero, At(9, 5, 7)), "9:05:07");
  EXPECT_EQ(FormatTimeText(withoutZero, At(0, 0, 0)), "0:00:00");
  EXPECT_EQ(FormatTimeText(withoutZero, At(19, 5, 7)), "19:05:07");
}

TEST(TimeText, UsesTheLocaleSeparatorAndFallsBackToColon) {
  EXPECT_EQ(FormatTimeText(TwentyFourHour(true, "."), At(9, 5, 7)), "09.05.07");
  EXPECT_EQ(FormatTimeText(TwentyFourHour(true, ""), At(9, 5, 7)), "09:05:07");
}

struct DateCase {
  const char* pattern;
  const char* separator;
  CivilTime date;
  const char* expected;
};

class DateText : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateText, FollowsThePattern) {
  const DateCase& c = GetParam();
  TimeDateFormats formats;
  formats.shortDateFormat = c.pattern;
  formats.dateSeparator = c.separator;
  EXPECT_EQ(FormatDateText(formats, c.date), c.expected) << "pattern " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, DateText,
                         ::testing::Values(
                             // No pattern from the locale: month/day/two-digit year without zeros.
                             DateCase{"", "/", On(2026, 12, 8), "12/8/26"},
                             DateCase{"m/d/yy", "/", On(2005, 3, 4), "3/4/05"},
                             DateCase{"M/d/yy", "/", On(2026, 12, 8), "12/8/26"},
                             DateCase{"MM/dd/yyyy", "/", On(2026, 1, 8), "01/08/2026"},
                             DateCase{"dd.MM.yyyy", ".", On(2026, 12, 8), "08.12.2026"},
                             DateCase{"dd/MM/yy", "/", On(2026, 12, 8), "08/12/26"},
                             // "/" is the separator's placeholder, whatever the separator is.
                             DateCase{"yyyy/MM/dd", "-", On(2026, 12, 8), "2026-12-08"},
                             DateCase{"d/M/yy", "", On(2026, 12, 8), "8/12/26"},
                             // Quoted text is copied, codes inside it are not read.
                             DateCase{"'Day' d '/' MM", ".", On(2026, 12, 8), "Day 8 / 12"},
                             DateCase{"\"y'all\" yy", "/", On(2026, 12, 8), "y'all 26"},
                             DateCase{"ddd, d MMM yyyy", "/", On(2026, 12, 8), "Tue, 8 Dec 2026"},
                             DateCase{"dddd d MMMM", "/", On(2000, 1, 1), "Saturday 1 January"},
                             DateCase{"yyyy-MM-dd", "/", On(987, 6, 5), "0987-06-05"}));

TEST(DateText, UsesTheLocaleNames) {
  TimeDateFormats formats;
  formats.shortDateFormat = "ddd d. MMMM";
  formats.shortDayNames[2] = "Di";
  formats.longMonthNames[11] = "Dezember";
  EXPECT_EQ(FormatDateText(formats, On(2026, 12, 8)), "Di 8. Dezember");
}

TEST(DateText, OutOfRangeMonthGivesNoNameInsteadOfACrash) {
  TimeDateFormats formats;
  formats.shortDateFormat = "MMM";
  EXPECT_EQ(FormatDateText(formats, On(2026, 13, 8)), "");
}

TEST(DayOfWeekTest, KnownDates) {
  EXPECT_EQ(DayOfWeek(2026, 12, 8), 2);
  EXPECT_EQ(DayOfWeek(2000, 1, 1), 6);
  EXPECT_EQ(DayOfWeek(2024, 2, 29), 4);
  EXPECT_EQ(DayOfWeek(1900, 3, 1), 4);
  EXPECT_EQ(DayOfWeek(2100, 12, 31), 5);
}

TEST(FakeLocaleClock, AdvancesAcrossDaysMonthsAndLeapYears) {
  FakeLocale locale;
  locale.SetNow({2024, 2, 28, 23, 59, 30});
  locale.AdvanceSeconds(31);
  EXPECT_EQ(locale.Now(), (CivilTime{2024, 2, 29, 0, 0, 1}));
  locale.SetNow({2026, 12, 31, 23, 0, 0});
  locale.AdvanceSeconds(3600);
  EXPECT_EQ(locale.Now(), (CivilTime{2027, 1, 1, 0, 0, 0}));
  locale.AdvanceSeconds(-1);
  EXPECT_EQ(locale.Now(), (CivilTime{2026, 12, 31, 23, 59, 59}));
}

}  // namespace
}  // namespace qv
