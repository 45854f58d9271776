// Reading a voltage as a logic level, with hysteresis so that a noisy or
// slowly moving signal does not chatter: a low level turns high above 3.33 V
// and a high level turns low below 1.67 V. Logic outputs are 5 V high, 0 low.
//
// Threads: any (pure functions).
#pragma once

namespace ov {

inline constexpr float kLogicHighThreshold = 0.33333334f;
inline constexpr float kLogicLowThreshold = 0.16666667f;
inline constexpr float kLogicHigh = 0.5f;

// Applies the hysteresis to `level`; true when it changed.
inline bool UpdateLogicLevel(float value, bool& level) {
  if (level ? value < kLogicLowThreshold : value > kLogicHighThreshold) {
    level = !level;
    return true;
  }
  return false;
}

// True when the update turned `level` high (a rising edge).
inline bool LogicRises(float value, bool& level) { return UpdateLogicLevel(value, level) && level; }

}  // namespace ov
