#include "platform/fake/FakeLocale.h"

#include <utility>

namespace qv::platform::fake {
namespace {

constexpr long long kSecondsPerDay = 24 * 60 * 60;

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

FakeLocale::FakeLocale() : formats_(UnitedStates()) {}

FakeLocale::FakeLocale(TimeDateFormats formats) : formats_(std::move(formats)) {}

TimeDateFormats FakeLocale::Formats() const {
  std::lock_guard lock(mutex_);
  return formats_;
}

CivilTime FakeLocale::Now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

char FakeLocale::DecimalSeparator() const {
  std::lock_guard lock(mutex_);
  return decimalSeparator_;
}

void FakeLocale::SetDecimalSeparator(char separator) {
  std::lock_guard lock(mutex_);
  decimalSeparator_ = separator;
}

void FakeLocale::SetFormats(TimeDateFormats formats) {
  std::lock_guard lock(mutex_);
  formats_ = std::move(formats);
}

void FakeLocale::SetNow(const CivilTime& now) {
  std::lock_guard lock(mutex_);
  now_ = now;
}

void FakeLocale::AdvanceSeconds(long long seconds) {
  std::lock_guard lock(mutex_);
  long long ofDay = now_.hour * 3600LL + now_.minute * 60LL + now_.second + seconds;
  long long days = ofDay / kSecondsPerDay;
  ofDay %= kSecondsPerDay;
  if (ofDay < 0) {
    ofDay += kSecondsPerDay;
    --days;
  }
  now_.hour = static_cast<int>(ofDay / 3600);
  now_.minute = static_cast<int>(ofDay / 60 % 60);
  now_.second = static_cast<int>(ofDay % 60);
  for (; days > 0; --days) {
    if (++now_.day > DaysInMonth(now_.year, now_.month)) {
      now_.day = 1;
      if (++now_.month > 12) {
        now_.month = 1;
        ++now_.year;
      }
    }
  }
  for (; days < 0; ++days) {
    if (--now_.day < 1) {
      if (--now_.month < 1) {
        now_.month = 12;
        --now_.year;
      }
      now_.day = DaysInMonth(now_.year, now_.month);
    }
  }
}

// assign() rather than "=": GCC 12 warns falsely (-Wrestrict) on short literal
// assignments in optimised builds.
TimeDateFormats FakeLocale::UnitedStates() {
  TimeDateFormats formats;
  formats.longTimeFormat.assign("h:mm:ss AM/PM");
  formats.timeSeparator.assign(1, ':');
  formats.timeAMString.assign("AM");
  formats.timePMString.assign("PM");
  formats.leadingZeroHours = false;
  formats.twelveHour = true;
  formats.shortDateFormat.assign("M/d/yy");
  formats.dateSeparator.assign(1, '/');
  return formats;
}

TimeDateFormats FakeLocale::German() {
  TimeDateFormats formats;
  formats.longTimeFormat.assign("HH:mm:ss");
  formats.timeSeparator.assign(1, ':');
  formats.leadingZeroHours = true;
  formats.twelveHour = false;
  formats.shortDateFormat.assign("dd.MM.yyyy");
  formats.dateSeparator.assign(1, '.');
  return formats;
}

}  // namespace qv::platform::fake
