// The "Pan" lane kernels. Nothing but the last gains carries over from
// sample to sample, so the lanes hold consecutive samples of one copy.
#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/lane_math.h"
#include "modules/level_curves_lanes.h"
#include "modules/pan.h"

namespace ov {

struct PanLanes {
  // ug_pan::VolumeGain for eight volumes.
  OV_LANE_INLINE static LaneFloat VolumeGain(const float* db_curve, LaneFloat volume) {
    LaneFloat gain = LookUpCurveLanes(db_curve, volume);
    const LaneInt above = volume > LaneSplat(1.0f);
    for (int32_t i = 0; i < kLanes; ++i) {
      if (above[i] != 0) gain[i] = ug_pan::VolumeGain(db_curve, volume[i]);
    }
    return gain;
  }

  // ug_pan::Position: 0.5 - p kept in 0 ... 1.
  OV_LANE_INLINE static LaneFloat Position(LaneFloat p) {
    const LaneFloat zero = LaneSplat(0.0f);
    const LaneFloat c = LaneSplat(0.5f) - p;
    const LaneFloat limited = LaneMin(c, LaneSplat(1.0f));
    return c > zero ? limited : zero;
  }

  template <bool kByTable>
  OV_LANE_INLINE static void Controlled(const LaneBatch& batch) {
    const LaneFloat one = LaneSplat(1.0f);
    for (int32_t j = 0; j < batch.count; ++j) {
      ug_pan& pan = batch.Member<ug_pan>(j);
      const int32_t end = batch.position + batch.frames;
      LaneFloat gain1{}, gain2{};
      int32_t last = 0;
      for (int32_t k = batch.position; k < end; k += kLanes) {
        const int32_t n = std::min(kLanes, end - k);
        const LaneFloat w = VolumeGain(pan.db_curve_, LoadRun(pan.volume_ + k));
        const LaneFloat c = Position(LoadRun(pan.pan_ + k));
        const LaneFloat in = LoadRun(pan.input_ + k);
        if constexpr (kByTable) {
          gain1 = LookUpCurveLanes(pan.law_table_, c) * w;
          gain2 = LookUpCurveLanes(pan.law_table_, one - c) * w;
          StoreRun(pan.left_ + k, gain1 * in, n);
          StoreRun(pan.right_ + k, gain2 * in, n);
        } else {
          StoreRun(pan.left_ + k, w * (c * in), n);
          StoreRun(pan.right_ + k, w * ((one - c) * in), n);
        }
        last = n - 1;
      }
      if constexpr (kByTable) {
        pan.gain1_ = gain1[last];
        pan.gain2_ = gain2[last];
      }
    }
  }

  OV_LANE_INLINE static void InputOnly(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_pan& pan = batch.Member<ug_pan>(j);
      const LaneFloat gain1 = LaneSplat(pan.gain1_);
      const LaneFloat gain2 = LaneSplat(pan.gain2_);
      const int32_t end = batch.position + batch.frames;
      for (int32_t k = batch.position; k < end; k += kLanes) {
        const int32_t n = std::min(kLanes, end - k);
        const LaneFloat in = LoadRun(pan.input_ + k);
        StoreRun(pan.left_ + k, gain1 * in, n);
        StoreRun(pan.right_ + k, gain2 * in, n);
      }
    }
  }
};

LaneKernel ug_pan::LaneKernelNow() const {
  static constexpr LaneKernel kByTable = MakeLaneKernel<&PanLanes::Controlled<true>>();
  static constexpr LaneKernel kByIntensity = MakeLaneKernel<&PanLanes::Controlled<false>>();
  static constexpr LaneKernel kInputOnly = MakeLaneKernel<&PanLanes::InputOnly>();
  // Without a recurrence the lanes only pay in the wide build: the
  // baseline build's table lookups move vector elements through memory,
  // which the one-voice loop does not need.
  if (Master()->GetLaneMode() != LaneMode::kWide) return {};
  if (RunsFunction(&ug_pan::RunByTable)) return kByTable;
  if (RunsFunction(&ug_pan::RunByIntensity)) return kByIntensity;
  if (RunsFunction(&ug_pan::RunInputOnly)) return kInputOnly;
  return {};
}

}  // namespace ov
