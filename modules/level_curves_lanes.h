// LookUpCurve for eight values at once (lane kernels only).
#pragma once

#include "engine/lane_math.h"

namespace ov {

OV_LANE_INLINE LaneFloat LookUpCurveLanes(const float* table, LaneFloat x) {
  const LaneFloat zero = LaneSplat(0.0f);
  const LaneFloat top = LaneSplat(512.0f);
  LaneFloat p = x > zero ? x * top : zero;
  p = p > top ? top : p;
  const LaneInt m = ToInt(p);
  const LaneFloat low = Gather(table, m);
  const LaneFloat high = Gather(table, m + 1);
  return low + (p - ToFloat(m)) * (high - low);
}

}  // namespace ov
