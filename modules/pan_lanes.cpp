// The "Pan" lane kernels. Nothing but the last gains carries over from
// sample to sample, so the lanes hold consecutive samples of one copy.
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
      const float* input = pan.input_;
      const float* position = pan.pan_;
      const float* volume = pan.volume_;
      const float* db_curve = pan.db_curve_;
      const float* law = pan.law_table_;
      float* left = pan.left_;
      float* right = pan.right_;
      LaneFloat gain1{}, gain2{};
      int32_t last = 0;
      ForEachRun(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        const LaneFloat w = VolumeGain(db_curve, LoadRun(volume + k));
        const LaneFloat c = Position(LoadRun(position + k));
        const LaneFloat in = LoadRun(input + k);
        if constexpr (kByTable) {
          gain1 = LookUpCurveLanes(law, c) * w;
          gain2 = LookUpCurveLanes(law, one - c) * w;
          StoreRun(left + k, gain1 * in, n);
          StoreRun(right + k, gain2 * in, n);
        } else {
          StoreRun(left + k, w * (c * in), n);
          StoreRun(right + k, w * ((one - c) * in), n);
        }
        last = n - 1;
      });
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
      const float* input = pan.input_;
      float* left = pan.left_;
      float* right = pan.right_;
      ForEachRun(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        const LaneFloat in = LoadRun(input + k);
        StoreRun(left + k, gain1 * in, n);
        StoreRun(right + k, gain2 * in, n);
      });
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
