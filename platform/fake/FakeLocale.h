// A locale with settable formats and a settable clock, for tests.
#pragma once

#include <mutex>

#include "platform/Locale.h"

namespace qv::platform::fake {

class FakeLocale final : public ILocale {
 public:
  // Starts as a United States English desktop: "h:mm:ss AM/PM", "M/d/yy".
  FakeLocale();
  explicit FakeLocale(TimeDateFormats formats);

  TimeDateFormats Formats() const override;
  CivilTime Now() const override;
  char DecimalSeparator() const override;

  void SetFormats(TimeDateFormats formats);
  void SetNow(const CivilTime& now);
  void SetDecimalSeparator(char separator);
  // Moves the clock on by whole seconds, carrying into minutes, hours and days.
  void AdvanceSeconds(long long seconds);

  static TimeDateFormats UnitedStates();
  // 24 hours with leading zeros, "dd.MM.yyyy".
  static TimeDateFormats German();

 private:
  mutable std::mutex mutex_;
  TimeDateFormats formats_;
  CivilTime now_{2026, 12, 8, 13, 53, 8};
  char decimalSeparator_ = '.';
};

}  // namespace qv::platform::fake
