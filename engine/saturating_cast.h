// Float to integer without undefined behaviour: use wherever an index, count
// or integer value is computed from a signal or a typed number.
#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace ov {

// Truncates toward zero; NaN gives 0, and values beyond the type's range
// (infinities included) give its nearest limit. Any thread.
template <std::integral T>
constexpr T SaturatingCast(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLowest = static_cast<double>(std::numeric_limits<T>::lowest());
  constexpr double kMax = static_cast<double>(std::numeric_limits<T>::max());
  if (value <= kLowest) return std::numeric_limits<T>::lowest();
  if (value >= kMax) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

}  // namespace ov
