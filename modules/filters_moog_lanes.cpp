// The "Moog Filter" lane kernel: one voice copy per lane, the ladder's one
// feedback chain (y4 -> y1 -> y2 -> y3 -> y4 -> clip) stepping all lanes at
// once, in the single-voice order of operations.
#include <cmath>

#include "engine/lane_math.h"
#include "modules/filters.h"

namespace ov {

struct MoogLanes {
  // MoogSoftClip lane by lane.
  OV_LANE_INLINE static LaneFloat SoftClip(LaneFloat y) {
    const LaneFloat factor = LaneSplat(1.0f) - LaneSplat(0.16666667f) * (y * y);
    const LaneFloat zero = LaneSplat(0.0f);
    return y * (factor < zero ? zero : factor);
  }

  template <bool kControlsRun>
  OV_LANE_INLINE static void Run(const LaneBatch& batch) {
    using F = ug_filter_biquad;
    const float* in[kLanes];
    float* out[kLanes];
    LaneFloat p, k, r, x_old, y1, y1_old, y2, y2_old, y3, y3_old, y4;
    for (int32_t j = 0; j < kLanes; ++j) {
      const F& filter = batch.Member<F>(j);
      in[j] = filter.signal_;
      out[j] = batch.Output(j, filter.out_);
      p[j] = filter.p_, k[j] = filter.k_, r[j] = filter.r_;
      x_old[j] = filter.x_old_, y1[j] = filter.y1_, y1_old[j] = filter.y1_old_;
      y2[j] = filter.y2_, y2_old[j] = filter.y2_old_, y3[j] = filter.y3_;
      y3_old[j] = filter.y3_old_, y4[j] = filter.y4_;
    }
    LaneFloat pr = p * r;
    const int32_t end = batch.position + batch.frames;
    for (int32_t i = batch.position; i < end; ++i) {
      if constexpr (kControlsRun) {
        for (int32_t j = 0; j < kLanes; ++j) {
          const F& filter = batch.Member<F>(j);
          const F::Coefficients c = filter.CoefficientsFor(filter.pitch_[i]);
          const float resonance = filter.resonance_[i];
          p[j] = c.p;
          k[j] = c.k;
          r[j] = std::isfinite(resonance) ? resonance * c.scale : 0.0f;
        }
        pr = p * r;
      }
      const LaneFloat x_in = LoadLanes(in, i);
      const LaneFloat x = x_in - r * y4;
      const LaneFloat rest1 = p * (x_in + x_old) - k * y1;
      const LaneFloat rest2 = p * y1_old - k * y2;
      const LaneFloat rest3 = p * y2_old - k * y3;
      const LaneFloat rest4 = p * y3_old - k * y4;
      y1 = rest1 - pr * y4;
      y2 = p * y1 + rest2;
      y3 = p * y2 + rest3;
      y4 = SoftClip(p * y3 + rest4);
      x_old = x;
      y1_old = y1;
      y2_old = y2;
      y3_old = y3;
      StoreLanes(out, i, y4);
    }
    for (int32_t j = 0; j < batch.count; ++j) {
      F& filter = batch.Member<F>(j);
      filter.p_ = p[j], filter.k_ = k[j], filter.r_ = r[j];
      filter.x_old_ = Guard(x_old[j]), filter.y1_ = Guard(y1[j]);
      filter.y1_old_ = Guard(y1_old[j]), filter.y2_ = Guard(y2[j]);
      filter.y2_old_ = Guard(y2_old[j]), filter.y3_ = Guard(y3[j]);
      filter.y3_old_ = Guard(y3_old[j]), filter.y4_ = Guard(y4[j]);
      filter.AfterRun(batch.frames);
    }
  }
};

LaneKernel ug_filter_biquad::LaneKernelNow() const {
  static constexpr LaneKernel kFixed = MakeLaneKernel<&MoogLanes::Run<false>>();
  static constexpr LaneKernel kFollowing = MakeLaneKernel<&MoogLanes::Run<true>>();
  if (RunsFunction(&ug_filter_biquad::Run<false>)) return kFixed;
  if (RunsFunction(&ug_filter_biquad::Run<true>)) return kFollowing;
  return {};
}

}  // namespace ov
