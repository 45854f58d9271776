// The "Pan" lane kernels. Nothing but the last gains carries over from
// sample to sample, so the lanes hold consecutive samples of one copy.
#include "engine/audio_master.h"
#include "engine/lane_math.h"
#include "modules/level_curves_lanes.h"
#include "modules/pan.h"

namespace ov {

struct PanLanes {
  // ug_pan::VolumeGain for W volumes.
  template <int32_t W>
  OV_LANE_INLINE static LaneFloat<W> VolumeGain(const float* db_curve, LaneFloat<W> volume) {
    LaneFloat<W> gain = LookUpCurveLanes<W>(db_curve, volume);
    const LaneInt<W> above = volume > LaneSplat<W>(1.0f);
    for (int32_t i = 0; i < W; ++i) {
      if (above[i] != 0) gain[i] = ug_pan::VolumeGain(db_curve, volume[i]);
    }
    return gain;
  }

  // ug_pan::Position: 0.5 - p kept in 0 ... 1.
  template <int32_t W>
  OV_LANE_INLINE static LaneFloat<W> Position(LaneFloat<W> p) {
    const LaneFloat<W> zero = LaneSplat<W>(0.0f);
    const LaneFloat<W> c = LaneSplat<W>(0.5f) - p;
    const LaneFloat<W> limited = LaneMin(c, LaneSplat<W>(1.0f));
    return c > zero ? limited : zero;
  }

  template <bool kByTable, int32_t W>
  OV_LANE_INLINE static void Controlled(const LaneBatch& batch) {
    const LaneFloat<W> one = LaneSplat<W>(1.0f);
    for (int32_t j = 0; j < batch.count; ++j) {
      ug_pan& pan = batch.Member<ug_pan>(j);
      const float* input = pan.input_;
      const float* position = pan.pan_;
      const float* volume = pan.volume_;
      const float* db_curve = pan.db_curve_;
      const float* law = pan.law_table_;
      float* left = pan.left_;
      float* right = pan.right_;
      LaneFloat<W> gain1{}, gain2{};
      int32_t last = 0;
      ForEachRun<W>(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        const LaneFloat<W> w = VolumeGain<W>(db_curve, LoadRun<W>(volume + k));
        const LaneFloat<W> c = Position<W>(LoadRun<W>(position + k));
        const LaneFloat<W> in = LoadRun<W>(input + k);
        if constexpr (kByTable) {
          gain1 = LookUpCurveLanes<W>(law, c) * w;
          gain2 = LookUpCurveLanes<W>(law, one - c) * w;
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

  template <int32_t W>
  OV_LANE_INLINE static void InputOnly(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_pan& pan = batch.Member<ug_pan>(j);
      const LaneFloat<W> gain1 = LaneSplat<W>(pan.gain1_);
      const LaneFloat<W> gain2 = LaneSplat<W>(pan.gain2_);
      const float* input = pan.input_;
      float* left = pan.left_;
      float* right = pan.right_;
      ForEachRun<W>(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        const LaneFloat<W> in = LoadRun<W>(input + k);
        StoreRun(left + k, gain1 * in, n);
        StoreRun(right + k, gain2 * in, n);
      });
    }
  }
};

LaneKernel ug_pan::LaneKernelNow() const {
  using L = PanLanes;
  // The AVX2 build wherever AVX-512 is chosen too: both AVX-512 builds
  // (sixteen samples a run, and eight) measured slower.
  static constexpr LaneKernel kByTable =
      MakeAvx2LaneKernel<&L::Controlled<true, kLanes>>();
  static constexpr LaneKernel kByIntensity =
      MakeAvx2LaneKernel<&L::Controlled<false, kLanes>>();
  static constexpr LaneKernel kInputOnly =
      MakeAvx2LaneKernel<&L::InputOnly<kLanes>>();
  // Without a recurrence the lanes only pay in the vector builds: the
  // baseline build's table lookups move vector elements through memory,
  // which the one-voice loop does not need.
  if (!RunsVectorBuilds(Master()->GetLaneMode())) return {};
  if (RunsFunction(&ug_pan::RunByTable)) return kByTable;
  if (RunsFunction(&ug_pan::RunByIntensity)) return kByIntensity;
  if (RunsFunction(&ug_pan::RunInputOnly)) return kInputOnly;
  return {};
}

}  // namespace ov
