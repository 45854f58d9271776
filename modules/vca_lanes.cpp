// The "VCA" lane kernels. Nothing carries over from sample to sample, so
// the lanes hold consecutive samples of one copy and no voice needs
// transposing.
#include "engine/audio_master.h"
#include "engine/lane_math.h"
#include "modules/level_curves_lanes.h"
#include "modules/vca.h"

namespace ov {

struct VcaLanes {
  template <int32_t W>
  OV_LANE_INLINE static void Curve(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const float* signal = vca.signal_;
      const float* volume = vca.volume_;
      const float* curve = vca.curve_data_;
      float* output = vca.output_;
      ForEachRun<W>(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        const LaneFloat<W> v = LoadRun<W>(volume + k);
        LaneFloat<W> gain = LookUpCurveLanes<W>(curve, v);
        const LaneInt<W> above = v > LaneSplat<W>(1.0f);
        for (int32_t i = 0; i < W; ++i) {
          if (above[i] != 0) gain[i] = ug_vca::Gain(v[i], vca.curve_);
        }
        StoreRun(output + k, gain * LoadRun<W>(signal + k), n);
      });
    }
  }

  template <int32_t W>
  OV_LANE_INLINE static void Linear(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const float* signal = vca.signal_;
      const float* volume = vca.volume_;
      float* output = vca.output_;
      ForEachRun<W>(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        StoreRun(output + k, LoadRun<W>(signal + k) * LaneMax(LoadRun<W>(volume + k), LaneSplat<W>(0.0f)),
                 n);
      });
    }
  }

  template <int32_t W>
  OV_LANE_INLINE static void ConstantGain(const LaneBatch& batch) {
    for (int32_t j = 0; j < batch.count; ++j) {
      const ug_vca& vca = batch.Member<ug_vca>(j);
      const LaneFloat<W> gain = LaneSplat<W>(vca.static_gain_);
      const float* signal = vca.signal_;
      float* output = vca.output_;
      ForEachRun<W>(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        StoreRun(output + k, gain * LoadRun<W>(signal + k), n);
      });
    }
  }
};

LaneKernel ug_vca::LaneKernelNow() const {
  using L = VcaLanes;
  // The AVX2 build wherever AVX-512 is chosen too: both AVX-512 builds
  // (sixteen samples a run, and eight) measured slower.
  static constexpr LaneKernel kCurve = MakeAvx2LaneKernel<&L::Curve<kLanes>>();
  static constexpr LaneKernel kLinear =
      MakeAvx2LaneKernel<&L::Linear<kLanes>>();
  static constexpr LaneKernel kConstant =
      MakeAvx2LaneKernel<&L::ConstantGain<kLanes>>();
  // Without a recurrence the lanes only pay in the vector builds: the
  // baseline build's table lookups move vector elements through memory,
  // which the one-voice loop does not need.
  if (!RunsVectorBuilds(Master()->GetLaneMode())) return {};
  if (RunsFunction(&ug_vca::RunCurve)) return kCurve;
  if (RunsFunction(&ug_vca::RunLinear)) return kLinear;
  if (RunsFunction(&ug_vca::RunConstantGain)) return kConstant;
  return {};
}

}  // namespace ov
