// LookUpCurve for W values at once (lane kernels only).
#pragma once

#include "engine/lane_math.h"

namespace ov {

template <int32_t W>
OV_LANE_INLINE LaneFloat<W> LookUpCurveLanes(const float* table, LaneFloat<W> x) {
  const LaneFloat<W> zero = LaneSplat<W>(0.0f);
  const LaneFloat<W> top = LaneSplat<W>(512.0f);
  LaneFloat<W> p = x > zero ? x * top : zero;
  p = p > top ? top : p;
  const LaneInt<W> m = ToInt(p);
  const LaneFloat<W> low = Gather(table, m);
  const LaneFloat<W> high = Gather(table, m + 1);
  return low + (p - ToFloat(m)) * (high - low);
}

}  // namespace ov
