// 80-bit extended arithmetic: `long double` on x86-64 has the 64-bit significand
// and the instruments' geometry is defined in it, rounding included. Keeping the
// helpers here means every control rounds the same way.
#pragma once

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

// Rounds to the nearest integer, ties to even: what nearbyintl gives under
// FE_TONEAREST, computed without the thread's rounding mode (floor and the
// subtraction below are exact, so no mode can change the result, and no
// compiler reordering around a mode switch can either).
inline std::int64_t RoundExtended(Extended value) {
  if (std::isnan(value) || std::isinf(value)) return extended_detail::ClampToInt64(value);
  Extended whole = std::floor(value);
  const Extended fraction = value - whole;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0)) whole += 1;
  return extended_detail::ClampToInt64(whole);
}

// Drops the fraction (rounds toward zero).
inline std::int64_t TruncExtended(Extended value) {
  return extended_detail::ClampToInt64(std::trunc(value));
}

}  // namespace qv
