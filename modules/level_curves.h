// The shared level-curve tables of the VCA, Pan and X-Mix modules: 514
// entries each, entry i for x = i / 512, built once per process and read
// with linear interpolation.
//
// Threads: the table getters on the editor thread (at generator open);
// lookups on any thread.
#pragma once

#include <memory>

#include "engine/lookup_table.h"

namespace ov {

constexpr int32_t kLevelCurveSize = 514;

std::shared_ptr<const ULookup> TruncExpCurve();       // "UVCA Trunc Exp Curve"
std::shared_ptr<const ULookup> OldDecibelCurve();     // "db Curve - old"
std::shared_ptr<const ULookup> DecibelCurve();        // "db Curve"
std::shared_ptr<const ULookup> EqualPowerCurve();     // "Equal Power Curve": sqrt(x)
std::shared_ptr<const ULookup> SinEqualPowerCurve();  // "Sin Equal Power Curve"

// The curve at x in [0, 1], interpolated; x below 0 (or not a number) reads
// entry 0 and x above 1 reads the last point.
inline float LookUpCurve(const float* table, float x) {
  float p = x > 0.0f ? x * 512.0f : 0.0f;
  if (p > 512.0f) p = 512.0f;
  const auto m = static_cast<int32_t>(p);
  return table[m] + (p - static_cast<float>(m)) * (table[m + 1] - table[m]);
}

// Adding and removing a tiny constant turns results too small for a float
// into 0, so tails never become denormal numbers.
// (Not an identity in IEEE arithmetic, so the compiler keeps both steps.)
inline float FlushTiny(float value) { return (value + 1e-18f) - 1e-18f; }

}  // namespace ov
