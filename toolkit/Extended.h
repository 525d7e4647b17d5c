// 80-bit extended arithmetic: `long double` on x86-64 has the 64-bit significand
// and the instruments' geometry is defined in it, rounding included. Keeping the
// helpers here means every control rounds the same way.
#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace qv {

using Extended = long double;

static_assert(std::numeric_limits<Extended>::digits == 64,
              "the instruments need a 64-bit significand for their pixel rows");

// The extended value nearest to 1/100; it lies just below 1/100, which is why
// products that ought to be exact halves or whole numbers land a hair below.
constexpr Extended kExtendedHundredth = 0.01L;

namespace extended_detail {

// Saturates instead of overflowing: a value beyond the 64-bit range or NaN would
// be undefined behaviour in a plain conversion.
inline std::int64_t ClampToInt64(Extended value) {
  if (std::isnan(value)) return 0;
  constexpr Extended kMax = 9223372036854775807.0L;
  constexpr Extended kMin = -9223372036854775808.0L;
  if (value >= kMax) return std::numeric_limits<std::int64_t>::max();
  if (value <= kMin) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

}  // namespace extended_detail

// Rounds to the nearest integer, ties to even, whatever rounding mode the thread
// happens to be in (the mode is switched to nearest for the call and put back).
inline std::int64_t RoundExtended(Extended value) {
  const int saved = std::fegetround();
  if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const Extended rounded = std::nearbyint(value);
  if (saved != FE_TONEAREST) std::fesetround(saved);
  return extended_detail::ClampToInt64(rounded);
}

// Drops the fraction (rounds toward zero).
inline std::int64_t TruncExtended(Extended value) {
  return extended_detail::ClampToInt64(std::trunc(value));
}

}  // namespace qv
