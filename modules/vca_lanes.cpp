// The "VCA" lane kernels. Nothing carries over from sample to sample, so
// the lanes hold consecutive samples of one copy and no voice needs
// transposing.
#include <algorithm>

#include "engine/audio_master.h"
#include "engine/lane_math.h"
#include "modules/level_curves_lanes.h"
#include "modules/vca.h"

namespace ov {

struct VcaLanes {
  OV_LANE_INLINE static void Curve(const LaneBatch& batch) {
    const LaneFloat one = LaneSplat(1.0f);
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const int32_t end = batch.position + batch.frames;
      for (int32_t k = batch.position; k < end; k += kLanes) {
        const LaneFloat v = LoadRun(vca.volume_ + k);
        LaneFloat gain = LookUpCurveLanes(vca.curve_data_, v);
        const LaneInt above = v > one;
        for (int32_t i = 0; i < kLanes; ++i) {
          if (above[i] != 0) gain[i] = ug_vca::Gain(v[i], vca.curve_);
        }
        StoreRun(vca.output_ + k, gain * LoadRun(vca.signal_ + k), std::min(kLanes, end - k));
      }
    }
  }

  OV_LANE_INLINE static void Linear(const LaneBatch& batch) {
    const LaneFloat zero = LaneSplat(0.0f);
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const int32_t end = batch.position + batch.frames;
      for (int32_t k = batch.position; k < end; k += kLanes) {
        const LaneFloat out = LoadRun(vca.signal_ + k) * LaneMax(LoadRun(vca.volume_ + k), zero);
        StoreRun(vca.output_ + k, out, std::min(kLanes, end - k));
      }
    }
  }

  OV_LANE_INLINE static void ConstantGain(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const LaneFloat gain = LaneSplat(vca.static_gain_);
      const int32_t end = batch.position + batch.frames;
      for (int32_t k = batch.position; k < end; k += kLanes) {
        StoreRun(vca.output_ + k, gain * LoadRun(vca.signal_ + k), std::min(kLanes, end - k));
      }
    }
  }
};

LaneKernel ug_vca::LaneKernelNow() const {
  static constexpr LaneKernel kCurve = MakeLaneKernel<&VcaLanes::Curve>();
  static constexpr LaneKernel kLinear = MakeLaneKernel<&VcaLanes::Linear>();
  static constexpr LaneKernel kConstant = MakeLaneKernel<&VcaLanes::ConstantGain>();
  // Without a recurrence the lanes only pay in the wide build: the
  // baseline build's table lookups move vector elements through memory,
  // which the one-voice loop does not need.
  if (Master()->GetLaneMode() != LaneMode::kWide) return {};
  if (RunsFunction(&ug_vca::RunCurve)) return kCurve;
  if (RunsFunction(&ug_vca::RunLinear)) return kLinear;
  if (RunsFunction(&ug_vca::RunConstantGain)) return kConstant;
  return {};
}

}  // namespace ov
