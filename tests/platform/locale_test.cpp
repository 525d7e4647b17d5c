#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>

#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxLocale.h"
#include "toolkit/DateTime.h"

// glibc 2.36 keeps the parsed LOCPATH of every newlocale call; only tests set
// LOCPATH, so the leak checker is told to look away from it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\n";
}

namespace qv::platform {
namespace {

using fake::TempDir;

LcTimeFacts Facts(std::string timeFormat, std::string am, std::string dateFormat,
                  std::string ampmFormat = "%I:%M:%S %p", LocaleEncoding encoding = LocaleEncoding::kUtf8) {
  LcTimeFacts facts;
  facts.timeFormat = std::move(timeFormat);
  facts.timeFormatAmPm = std::move(ampmFormat);
  facts.am = am;
  facts.pm = am.empty() ? "" : "PM";
  facts.dateFormat = std::move(dateFormat);
  facts.encoding = encoding;
  return facts;
}

struct TimeCase {
  const char* what;
  LcTimeFacts facts;
  bool twelveHour;
  bool leadingZero;
  const char* separator;
  const char* longFormat;
  const char* am;
};

class TimeDerivation : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeDerivation, ReadsTheClockConventions) {
  const TimeCase& c = GetParam();
  const TimeDateFormats f = DeriveTimeDateFormats(c.facts);
  EXPECT_EQ(f.twelveHour, c.twelveHour) << c.what;
  EXPECT_EQ(f.leadingZeroHours, c.leadingZero) << c.what;
  EXPECT_EQ(f.timeSeparator, c.separator) << c.what;
  EXPECT_EQ(f.longTimeFormat, c.longFormat) << c.what;
  EXPECT_EQ(f.timeAMString, c.am) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, TimeDerivation,
    ::testing::Values(
        // The C locale names AM and PM but writes its times with %H.
        TimeCase{"C", Facts("%H:%M:%S", "AM", ""), false, true, ":", "HH:mm:ss", ""},
        // en_US: T_FMT is %r and only T_FMT_AMPM says what that is.
        TimeCase{"en_US", Facts("%r", "AM", ""), true, true, ":", "hh:mm:ss AM/PM", "AM"},
        TimeCase{"12h without zeros", Facts("%l:%M:%S %p", "am", ""), true, false, ":", "h:mm:ss AM/PM",
                 "am"},
        TimeCase{"de_DE", Facts("%T", "", "", ""), false, true, ":", "HH:mm:ss", ""},
        TimeCase{"bg_BG", Facts("%k:%M:%S", "", ""), false, false, ":", "H:mm:ss", ""},
        TimeCase{"fi_FI", Facts("%H.%M.%S", "", ""), false, true, ".", "HH.mm.ss", ""},
        TimeCase{"glibc flags", Facts("%-H:%M:%S", "", ""), false, false, ":", "H:mm:ss", ""},
        TimeCase{"zero flag", Facts("%0k:%M:%S", "", ""), false, true, ":", "HH:mm:ss", ""},
        // A 12-hour field with no designator is a 24-hour clock.
        TimeCase{"12h field, no AM", Facts("%I:%M:%S", "", ""), false, true, ":", "HH:mm:ss", ""},
        // Time zones are dropped; Arabic designators have no Latin-1 form.
        TimeCase{"ar_EG", Facts("%Z %I:%M:%S %p", "\xd8\xb5", ""), true, true, ":", "hh:mm:ss AM/PM", "AM"},
        TimeCase{"ko_KR", Facts("%H\xec\x8b\x9c %M\xeb\xb6\x84 %S\xec\xb4\x88", "", ""), false, true, ":",
                 "HH:mm:ss", ""},
        TimeCase{"literal words", Facts("kl. %H.%M %z", "", ""), false, true, ".", "'kl. 'HH.mm", ""},
        // A pattern that refers to itself must not loop.
        TimeCase{"recursive %r", Facts("%r", "AM", "", "%r"), false, true, ":", "HH:mm:ss", ""},
        TimeCase{"no hour", Facts("", "", ""), false, true, ":", "HH:mm:ss", ""}));

struct DateCase {
  const char* dateFormat;
  const char* pattern;
  const char* separator;
  const char* dateText;  // of 8 December 2026
};

class DateDerivation : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateDerivation, TurnsDFmtIntoAShortDatePattern) {
  const DateCase& c = GetParam();
  const TimeDateFormats f = DeriveTimeDateFormats(Facts("%T", "", c.dateFormat));
  EXPECT_EQ(f.shortDateFormat, c.pattern) << c.dateFormat;
  EXPECT_EQ(f.dateSeparator, c.separator) << c.dateFormat;
  EXPECT_EQ(FormatDateText(f, CivilTime{2026, 12, 8, 0, 0, 0}), c.dateText) << c.dateFormat;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, DateDerivation,
    ::testing::Values(DateCase{"%m/%d/%y", "MM/dd/yy", "/", "12/08/26"},
                      DateCase{"%D", "MM/dd/yy", "/", "12/08/26"},
                      DateCase{"%d.%m.%Y", "dd.MM.yyyy", ".", "08.12.2026"},
                      DateCase{"%e.%m.%Y", "d.MM.yyyy", ".", "8.12.2026"},
                      DateCase{"%-d/%-m/%y", "d/M/yy", "/", "8/12/26"},
                      DateCase{"%F", "yyyy-MM-dd", "-", "2026-12-08"},
                      DateCase{"%d. %m. %y", "dd. MM. yy", ". ", "08. 12. 26"},
                      DateCase{"%d %b, %Y", "dd MMM, yyyy", " ", "08 Dec, 2026"},
                      DateCase{"%OC%Oy %b %Od %A", "yyyy MMM dd dddd", " ", "2026 Dec 08 Tuesday"},
                      // A "/" that is not the separator must stay a "/".
                      DateCase{"%d.%m/%Y", "dd.MM'/'yyyy", ".", "08.12/2026"},
                      // CJK: the characters have no Latin-1 form; the separator stands in.
                      DateCase{"%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5", "yyyy/MM/dd", "/", "2026/12/08"},
                      // Nothing usable: the default.
                      DateCase{"", "m/d/yy", "/", "12/8/26"}, DateCase{"%x", "m/d/yy", "/", "12/8/26"},
                      DateCase{"%d/%j", "m/d/yy", "/", "12/8/26"}));

TEST(LocaleText, ConvertsUtf8ToLatin1WhereItCan) {
  std::string out = "untouched";
  EXPECT_TRUE(ToLatin1("M\xc3\xa4rz", LocaleEncoding::kUtf8, out));
  EXPECT_EQ(out, "M\xe4rz");
  EXPECT_TRUE(ToLatin1("\xc2\xa0", LocaleEncoding::kUtf8, out));
  EXPECT_EQ(out, "\xa0");
  out = "untouched";
  EXPECT_FALSE(ToLatin1("\xe2\x82\xac", LocaleEncoding::kUtf8, out));  // the euro sign
  EXPECT_FALSE(ToLatin1("\xc3", LocaleEncoding::kUtf8, out));          // cut short
  EXPECT_FALSE(ToLatin1("\xc3(", LocaleEncoding::kUtf8, out));         // bad continuation
  EXPECT_EQ(out, "untouched");
  EXPECT_TRUE(ToLatin1("\xe4", LocaleEncoding::kLatin1, out));
  EXPECT_EQ(out, "\xe4");
  EXPECT_FALSE(ToLatin1("\xe4", LocaleEncoding::kOther, out));
  EXPECT_TRUE(ToLatin1("plain", LocaleEncoding::kOther, out));
}

TEST(LocaleText, NamesAreTakenAllOrNothing) {
  LcTimeFacts facts = Facts("%T", "", "%d %b");
  facts.shortMonthNames = {"Jan", "Feb", "M\xc3\xa4r", "Apr", "Mai", "Jun",
                           "Jul", "Aug", "Sep",        "Okt", "Nov", "Dez"};
  facts.longMonthNames = {"\xd1\x8f\xd0\xbd\xd0\xb2",  // Cyrillic: no Latin-1 form
                          "Februar",
                          "M\xc3\xa4rz",
                          "April",
                          "Mai",
                          "Juni",
                          "Juli",
                          "August",
                          "September",
                          "Oktober",
                          "November",
                          "Dezember"};
  const TimeDateFormats f = DeriveTimeDateFormats(facts);
  EXPECT_EQ(f.shortMonthNames[2], "M\xe4r");
  EXPECT_EQ(f.longMonthNames[1], "February");  // never a mix of languages
}

// The machine has only the C locale installed: the real ones are compiled for
// the test into a temporary directory that LOCPATH points to.
class InstalledLocale : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* old = std::getenv("LOCPATH");
    savedLocPath_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
    dir_ = new TempDir();
    ::setenv("LOCPATH", dir_->Path().c_str(), 1);
  }
  static void TearDownTestSuite() {
    if (savedLocPath_) {
      ::setenv("LOCPATH", savedLocPath_->c_str(), 1);
    } else {
      ::unsetenv("LOCPATH");
    }
    delete dir_;
    dir_ = nullptr;
  }

  // Compiles `name` (e.g. "en_US") as name.UTF-8; false when the tools or the
  // locale sources are missing.
  static bool Build(const std::string& name) {
    const std::string target = dir_->File(name + ".UTF-8");
    struct stat info {};
    if (::stat((target + "/LC_TIME").c_str(), &info) == 0) return true;
    const std::string command = "localedef -i " + name + " -f UTF-8 '" + target + "' >/dev/null 2>&1";
    std::system(command.c_str());  // warnings give a non-zero status yet a usable locale
    return ::stat((target + "/LC_TIME").c_str(), &info) == 0;
  }

  static TempDir* dir_;
  static std::optional<std::string> savedLocPath_;
};

TempDir* InstalledLocale::dir_ = nullptr;
std::optional<std::string> InstalledLocale::savedLocPath_;

#define REQUIRE_LOCALE(name) \
  if (!Build(name)) GTEST_SKIP() << "cannot compile the " name " locale (localedef missing?)"

const CivilTime kAfternoon{2026, 12, 8, 13, 53, 8};
const CivilTime kMorning{2026, 12, 8, 9, 5, 7};

TEST(DecimalSeparator, OneLatin1CharacterOrThePoint) {
  EXPECT_EQ(DeriveDecimalSeparator(",", LocaleEncoding::kUtf8), ',');
  EXPECT_EQ(DeriveDecimalSeparator("\xb7", LocaleEncoding::kLatin1), '\xb7');
  EXPECT_EQ(DeriveDecimalSeparator("\xc2\xb7", LocaleEncoding::kUtf8), '\xb7');
  EXPECT_EQ(DeriveDecimalSeparator("\xd9\xab", LocaleEncoding::kUtf8), '.');  // Arabic: beyond Latin-1
  EXPECT_EQ(DeriveDecimalSeparator("", LocaleEncoding::kUtf8), '.');
  EXPECT_EQ(DeriveDecimalSeparator(",,", LocaleEncoding::kUtf8), '.');
}

TEST_F(InstalledLocale, CAndUnknownLocalesGiveTheCConventions) {
  for (const char* name : {"C", "POSIX", "xx_NOWHERE.UTF-8"}) {
    EXPECT_EQ(LinuxLocale(name).DecimalSeparator(), '.') << name;
    const TimeDateFormats f = LinuxLocale(name).Formats();
    EXPECT_FALSE(f.twelveHour) << name;
    EXPECT_EQ(f.longTimeFormat, "HH:mm:ss") << name;
    EXPECT_EQ(f.shortDateFormat, "MM/dd/yy") << name;
    EXPECT_EQ(FormatTimeText(f, kMorning), "09:05:07") << name;
    EXPECT_EQ(FormatDateText(f, kMorning), "12/08/26") << name;
  }
}

TEST_F(InstalledLocale, UnitedStatesEnglishIsTwelveHour) {
  REQUIRE_LOCALE("en_US");
  const TimeDateFormats f = LinuxLocale("en_US.UTF-8").Formats();
  EXPECT_TRUE(f.twelveHour);
  EXPECT_EQ(f.timeAMString, "AM");
  EXPECT_EQ(f.timePMString, "PM");
  // glibc writes the hour of %r with %I, which pads with a zero.
  EXPECT_EQ(FormatTimeText(f, kAfternoon), "01:53:08 PM");
  EXPECT_EQ(FormatTimeText(f, CivilTime{2026, 12, 8, 0, 0, 0}), "12:00:00 AM");
  EXPECT_EQ(FormatDateText(f, kAfternoon), "12/08/2026");
}

TEST_F(InstalledLocale, GermanIsTwentyFourHourWithLeadingZeros) {
  REQUIRE_LOCALE("de_DE");
  const TimeDateFormats f = LinuxLocale("de_DE.UTF-8").Formats();
  EXPECT_FALSE(f.twelveHour);
  EXPECT_TRUE(f.timeAMString.empty());
  EXPECT_EQ(FormatTimeText(f, kMorning), "09:05:07");
  EXPECT_EQ(FormatDateText(f, kMorning), "08.12.2026");
  EXPECT_EQ(f.shortMonthNames[2], "M\xe4r");  // UTF-8 in the locale, Latin-1 for us
  EXPECT_EQ(LinuxLocale("de_DE.UTF-8").DecimalSeparator(), ',');
}

TEST_F(InstalledLocale, BritishEnglishIsTwentyFourHourDespiteItsDesignators) {
  REQUIRE_LOCALE("en_GB");
  const TimeDateFormats f = LinuxLocale("en_GB.UTF-8").Formats();
  EXPECT_FALSE(f.twelveHour);
  EXPECT_EQ(FormatTimeText(f, kMorning), "09:05:07");
  EXPECT_EQ(FormatDateText(f, kMorning), "08/12/26");
}

TEST_F(InstalledLocale, BulgarianHasNoLeadingZeroInHours) {
  REQUIRE_LOCALE("bg_BG");
  const TimeDateFormats f = LinuxLocale("bg_BG.UTF-8").Formats();
  EXPECT_FALSE(f.leadingZeroHours);
  EXPECT_EQ(FormatTimeText(f, kMorning), "9:05:07");
  EXPECT_EQ(FormatDateText(f, kMorning), "8.12.2026");
}

TEST_F(InstalledLocale, EmptyNameReadsTheUsersEnvironment) {
  REQUIRE_LOCALE("de_DE");
  const char* old = std::getenv("LC_ALL");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  const TimeDateFormats f = LinuxLocale().Formats();
  if (saved) {
    ::setenv("LC_ALL", saved->c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
  EXPECT_EQ(f.shortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(f.dateSeparator, ".");
}

}  // namespace
}  // namespace qv::platform
