// The "1 Pole LP" and "1 Pole HP" lane kernel: one voice copy per lane,
// the recurrence y = x + a (y - x) stepping all lanes at once, one or two
// batches per loop.
#include <array>

#include "engine/lane_math.h"
#include "modules/filters.h"

namespace ov {

struct OnePoleLanes {
  template <bool kPitchRuns, bool kHighPass, int32_t kBatches, int32_t W>
  OV_LANE_INLINE static void Run(const LaneBatch& batch) {
    const float* in[kBatches][W];
    const float* pitch[kBatches][W];
    float* out[1][kBatches][W];
    LaneFloat<W> a[kBatches], y[kBatches];
    for (int32_t b = 0; b < kBatches; ++b) {
      for (int32_t j = 0; j < W; ++j) {
        const int32_t lane = b * W + j;
        const ug_filter_1pole& filter = batch.Member<ug_filter_1pole>(lane);
        in[b][j] = filter.signal_;
        pitch[b][j] = filter.pitch_;
        out[0][b][j] = batch.Output(lane, filter.out_);
        a[b][j] = filter.a_;
        y[b][j] = filter.y_;
      }
    }
    const LaneFloat<W> tiny = LaneSplat<W>(1e-18f);
    const auto step = [&](int32_t b, LaneFloat<W> x) OV_LANE_LAMBDA {
      y[b] = ((x + a[b] * (y[b] - x)) + tiny) - tiny;
      return std::array<LaneFloat<W>, 1>{kHighPass ? x - y[b] : y[b]};
    };
    if constexpr (kPitchRuns) {
      const auto follow = [&](int32_t b, int32_t k) OV_LANE_LAMBDA {
        for (int32_t j = 0; j < W; ++j) {
          a[b][j] = batch.Member<ug_filter_1pole>(b * W + j).Coefficient(pitch[b][j][k]);
        }
      };
      RunSamples<W, kBatches, 1>(in, out, batch.position, batch.frames, follow, step);
    } else {
      RunTiles<W, kBatches, 1>(in, out, batch.position, batch.frames, step);
    }
    for (int32_t lane = 0; lane < batch.count; ++lane) {
      ug_filter_1pole& filter = batch.Member<ug_filter_1pole>(lane);
      filter.a_ = a[lane / W][lane % W];
      filter.y_ = y[lane / W][lane % W];
      filter.AfterRun(batch.frames);
    }
  }

  template <bool kPitchRuns, bool kHighPass>
  static constexpr LaneKernel Kernel() {
    return MakePairedLaneKernel<
        &Run<kPitchRuns, kHighPass, 1, kLanes>, &Run<kPitchRuns, kHighPass, 2, kLanes>,
        &Run<kPitchRuns, kHighPass, 1, kWidestLanes>, &Run<kPitchRuns, kHighPass, 2, kWidestLanes>>();
  }
};

LaneKernel ug_filter_1pole::LaneKernelNow() const {
  static constexpr LaneKernel kLowPass = OnePoleLanes::Kernel<false, false>();
  static constexpr LaneKernel kHighPass = OnePoleLanes::Kernel<false, true>();
  static constexpr LaneKernel kLowPassFollowing = OnePoleLanes::Kernel<true, false>();
  static constexpr LaneKernel kHighPassFollowing = OnePoleLanes::Kernel<true, true>();
  if (RunsFunction(&ug_filter_1pole::Run<false, false>)) return kLowPass;
  if (RunsFunction(&ug_filter_1pole::Run<false, true>)) return kHighPass;
  if (RunsFunction(&ug_filter_1pole::Run<true, false>)) return kLowPassFollowing;
  if (RunsFunction(&ug_filter_1pole::Run<true, true>)) return kHighPassFollowing;
  return {};
}

}  // namespace ov
