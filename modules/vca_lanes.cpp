// The "VCA" lane kernels. Nothing carries over from sample to sample, so
// the lanes hold consecutive samples of one copy and no voice needs
// transposing.
#include "engine/audio_master.h"
#include "engine/lane_math.h"
#include "modules/level_curves_lanes.h"
#include "modules/vca.h"

namespace ov {

struct VcaLanes {
  OV_LANE_INLINE static void Curve(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const float* signal = vca.signal_;
      const float* volume = vca.volume_;
      const float* curve = vca.curve_data_;
      float* output = vca.output_;
      ForEachRun(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        const LaneFloat v = LoadRun(volume + k);
        LaneFloat gain = LookUpCurveLanes(curve, v);
        const LaneInt above = v > LaneSplat(1.0f);
        for (int32_t i = 0; i < kLanes; ++i) {
          if (above[i] != 0) gain[i] = ug_vca::Gain(v[i], vca.curve_);
        }
        StoreRun(output + k, gain * LoadRun(signal + k), n);
      });
    }
  }

  OV_LANE_INLINE static void Linear(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const float* signal = vca.signal_;
      const float* volume = vca.volume_;
      float* output = vca.output_;
      ForEachRun(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        StoreRun(output + k, LoadRun(signal + k) * LaneMax(LoadRun(volume + k), LaneSplat(0.0f)),
                 n);
      });
    }
  }

  OV_LANE_INLINE static void ConstantGain(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const LaneFloat gain = LaneSplat(vca.static_gain_);
      const float* signal = vca.signal_;
      float* output = vca.output_;
      ForEachRun(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        StoreRun(output + k, gain * LoadRun(signal + k), n);
      });
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
