// "Denormal Detector" and "Denormal Cleaner": find or remove the tiny
// (denormal) floats that make some processors slow, by testing the float's
// bits directly so that no float arithmetic (which may flush them) is
// involved.
//
// Threads: as ug_generic_1_1.
#pragma once

#include <bit>
#include <cstdint>

#include "modules/math_one_input.h"

namespace ov {

// Exponent and the top three mantissa bits all zero...
inline constexpr uint32_t kDenormalExponentMask = 0x7FF00000;
// ...and something in the remaining twenty bits.
inline constexpr uint32_t kDenormalMantissaMask = 0x000FFFFF;

// 5.0 for a denormal, 0 otherwise.
struct DetectDenormalOp {
  static float Apply(float x) {
    const auto bits = std::bit_cast<uint32_t>(x);
    return (bits & kDenormalExponentMask) == 0 && (bits & kDenormalMantissaMask) != 0 ? 5.0f : 0.0f;
  }
};

// Denormals (and zeros) become 0; everything else passes unchanged.
struct CleanDenormalOp {
  static float Apply(float x) {
    return (std::bit_cast<uint32_t>(x) & kDenormalExponentMask) == 0 ? 0.0f : x;
  }
};

using ug_denormal_detect = ug_one_input<DetectDenormalOp>;
using ug_denormal_stop = ug_one_input<CleanDenormalOp>;

}  // namespace ov
