// The "Moog Filter" lane kernel: one voice copy per lane, the ladder's one
// feedback chain (y4 -> y1 -> y2 -> y3 -> y4 -> clip) stepping all lanes at
// once, one or two batches per loop, in the single-voice order of
// operations.
#include <array>
#include <cmath>

#include "engine/lane_math.h"
#include "modules/filters.h"

namespace ov {

struct MoogLanes {
  // MoogSoftClip lane by lane.
  template <int32_t W>
  OV_LANE_INLINE static LaneFloat<W> SoftClip(LaneFloat<W> y) {
    const LaneFloat<W> factor = LaneSplat<W>(1.0f) - LaneSplat<W>(0.16666667f) * (y * y);
    const LaneFloat<W> zero = LaneSplat<W>(0.0f);
    return y * (factor < zero ? zero : factor);
  }

  template <bool kControlsRun, int32_t kBatches, int32_t W>
  OV_LANE_INLINE static void Run(const LaneBatch& batch) {
    using F = ug_filter_biquad;
    const float* in[kBatches][W];
    float* out[1][kBatches][W];
    LaneFloat<W> p[kBatches], k[kBatches], r[kBatches], pr[kBatches];
    LaneFloat<W> x_old[kBatches], y1[kBatches], y1_old[kBatches], y2[kBatches], y2_old[kBatches];
    LaneFloat<W> y3[kBatches], y3_old[kBatches], y4[kBatches];
    for (int32_t b = 0; b < kBatches; ++b) {
      for (int32_t j = 0; j < W; ++j) {
        const int32_t lane = b * W + j;
        const F& filter = batch.Member<F>(lane);
        in[b][j] = filter.signal_;
        out[0][b][j] = batch.Output(lane, filter.out_);
        p[b][j] = filter.p_, k[b][j] = filter.k_, r[b][j] = filter.r_;
        x_old[b][j] = filter.x_old_, y1[b][j] = filter.y1_, y1_old[b][j] = filter.y1_old_;
        y2[b][j] = filter.y2_, y2_old[b][j] = filter.y2_old_, y3[b][j] = filter.y3_;
        y3_old[b][j] = filter.y3_old_, y4[b][j] = filter.y4_;
      }
      pr[b] = p[b] * r[b];
    }
    const auto step = [&](int32_t b, LaneFloat<W> x_in) OV_LANE_LAMBDA {
      const LaneFloat<W> x = x_in - r[b] * y4[b];
      const LaneFloat<W> rest1 = p[b] * (x_in + x_old[b]) - k[b] * y1[b];
      const LaneFloat<W> rest2 = p[b] * y1_old[b] - k[b] * y2[b];
      const LaneFloat<W> rest3 = p[b] * y2_old[b] - k[b] * y3[b];
      const LaneFloat<W> rest4 = p[b] * y3_old[b] - k[b] * y4[b];
      y1[b] = rest1 - pr[b] * y4[b];
      y2[b] = p[b] * y1[b] + rest2;
      y3[b] = p[b] * y2[b] + rest3;
      y4[b] = SoftClip<W>(p[b] * y3[b] + rest4);
      x_old[b] = x;
      y1_old[b] = y1[b];
      y2_old[b] = y2[b];
      y3_old[b] = y3[b];
      return std::array<LaneFloat<W>, 1>{y4[b]};
    };
    if constexpr (kControlsRun) {
      const auto follow = [&](int32_t b, int32_t i) OV_LANE_LAMBDA {
        for (int32_t j = 0; j < W; ++j) {
          const F& filter = batch.Member<F>(b * W + j);
          const F::Coefficients c = filter.CoefficientsFor(filter.pitch_[i]);
          const float resonance = filter.resonance_[i];
          p[b][j] = c.p;
          k[b][j] = c.k;
          r[b][j] = std::isfinite(resonance) ? resonance * c.scale : 0.0f;
        }
        pr[b] = p[b] * r[b];
      };
      RunSamples<W, kBatches, 1>(in, out, batch.position, batch.frames, follow, step);
    } else {
      RunTiles<W, kBatches, 1>(in, out, batch.position, batch.frames, step);
    }
    for (int32_t lane = 0; lane < batch.count; ++lane) {
      F& filter = batch.Member<F>(lane);
      const int32_t b = lane / W, j = lane % W;
      filter.p_ = p[b][j], filter.k_ = k[b][j], filter.r_ = r[b][j];
      filter.x_old_ = Guard(x_old[b][j]), filter.y1_ = Guard(y1[b][j]);
      filter.y1_old_ = Guard(y1_old[b][j]), filter.y2_ = Guard(y2[b][j]);
      filter.y2_old_ = Guard(y2_old[b][j]), filter.y3_ = Guard(y3[b][j]);
      filter.y3_old_ = Guard(y3_old[b][j]), filter.y4_ = Guard(y4[b][j]);
      filter.AfterRun(batch.frames);
    }
  }

  template <bool kControlsRun>
  static constexpr LaneKernel Kernel() {
    return MakePairedLaneKernel<&Run<kControlsRun, 1, kLanes>, &Run<kControlsRun, 2, kLanes>,
                                &Run<kControlsRun, 1, kWidestLanes>,
                                &Run<kControlsRun, 2, kWidestLanes>>();
  }
};

LaneKernel ug_filter_biquad::LaneKernelNow() const {
  static constexpr LaneKernel kFixed = MoogLanes::Kernel<false>();
  static constexpr LaneKernel kFollowing = MoogLanes::Kernel<true>();
  if (RunsFunction(&ug_filter_biquad::Run<false>)) return kFixed;
  if (RunsFunction(&ug_filter_biquad::Run<true>)) return kFollowing;
  return {};
}

}  // namespace ov
