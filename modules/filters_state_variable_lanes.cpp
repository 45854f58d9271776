// The "SV Filter" lane kernel: one voice copy per lane, the two-state
// recurrence stepping all lanes at once, one or two batches per loop.
#include <array>

#include "engine/lane_math.h"
#include "modules/filters.h"

namespace ov {

struct StateVariableLanes {
  template <bool kControlsRun, ug_filter_sv::Outputs kOutputs, int32_t kBatches, int32_t W>
  OV_LANE_INLINE static void Run(const LaneBatch& batch) {
    const float* in[kBatches][W];
    // The outputs computed, in plug order.
    constexpr int32_t kOuts = kOutputs == ug_filter_sv::kAll ? 4 : 1;
    float* outs[kOuts][kBatches][W];
    LaneFloat<W> f[kBatches], q[kBatches], low[kBatches], band[kBatches];
    for (int32_t b = 0; b < kBatches; ++b) {
      for (int32_t j = 0; j < W; ++j) {
        const int32_t lane = b * W + j;
        const ug_filter_sv& filter = batch.Member<ug_filter_sv>(lane);
        in[b][j] = filter.signal_;
        if constexpr (kOutputs == ug_filter_sv::kAll) {
          outs[0][b][j] = batch.Output(lane, filter.low_pass_);
          outs[1][b][j] = batch.Output(lane, filter.high_pass_);
          outs[2][b][j] = batch.Output(lane, filter.band_pass_);
          outs[3][b][j] = batch.Output(lane, filter.band_reject_);
        } else {
          outs[0][b][j] = batch.Output(
              lane, kOutputs == ug_filter_sv::kLowOnly ? filter.low_pass_ : filter.high_pass_);
        }
        f[b][j] = filter.c_.f;
        q[b][j] = filter.c_.q;
        low[b][j] = filter.low_;
        band[b][j] = filter.band_;
      }
    }
    const LaneFloat<W> tiny = LaneSplat<W>(1e-18f);
    // One step of batch b, returning its outputs.
    const auto step = [&](int32_t b, LaneFloat<W> x) OV_LANE_LAMBDA {
      low[b] += f[b] * band[b];
      const LaneFloat<W> high = x - q[b] * band[b] - low[b];
      band[b] = ((band[b] + f[b] * high) + tiny) - tiny;
      if constexpr (kOutputs == ug_filter_sv::kAll) {
        return std::array<LaneFloat<W>, 4>{low[b], high, band[b], low[b] + high};
      } else if constexpr (kOutputs == ug_filter_sv::kLowOnly) {
        return std::array<LaneFloat<W>, 1>{low[b]};
      } else {
        return std::array<LaneFloat<W>, 1>{high};
      }
    };
    if constexpr (kControlsRun) {
      const auto follow = [&](int32_t b, int32_t k) OV_LANE_LAMBDA {
        for (int32_t j = 0; j < W; ++j) {
          const ug_filter_sv& filter = batch.Member<ug_filter_sv>(b * W + j);
          const ug_filter_sv::Coefficients c =
              filter.CoefficientsFor(filter.pitch_[k], filter.resonance_[k]);
          f[b][j] = c.f;
          q[b][j] = c.q;
        }
      };
      RunSamples<W, kBatches, kOuts>(in, outs, batch.position, batch.frames, follow, step);
    } else {
      RunTiles<W, kBatches, kOuts>(in, outs, batch.position, batch.frames, step);
    }
    for (int32_t lane = 0; lane < batch.count; ++lane) {
      ug_filter_sv& filter = batch.Member<ug_filter_sv>(lane);
      const int32_t b = lane / W, j = lane % W;
      filter.c_ = {f[b][j], q[b][j]};
      filter.low_ = low[b][j];
      filter.band_ = band[b][j];
      filter.AfterRun(batch.frames);
    }
  }

  template <bool kControlsRun, ug_filter_sv::Outputs kOutputs>
  static constexpr LaneKernel Kernel() {
    return MakePairedLaneKernel<
        &Run<kControlsRun, kOutputs, 1, kLanes>, &Run<kControlsRun, kOutputs, 2, kLanes>,
        &Run<kControlsRun, kOutputs, 1, kWidestLanes>, &Run<kControlsRun, kOutputs, 2, kWidestLanes>>();
  }
};

LaneKernel ug_filter_sv::LaneKernelNow() const {
  using L = StateVariableLanes;
  static constexpr LaneKernel kAllOutputs = L::Kernel<false, kAll>();
  static constexpr LaneKernel kLow = L::Kernel<false, kLowOnly>();
  static constexpr LaneKernel kHigh = L::Kernel<false, kHighOnly>();
  static constexpr LaneKernel kAllFollowing = L::Kernel<true, kAll>();
  static constexpr LaneKernel kLowFollowing = L::Kernel<true, kLowOnly>();
  static constexpr LaneKernel kHighFollowing = L::Kernel<true, kHighOnly>();
  if (RunsFunction(&ug_filter_sv::Run<false, kAll>)) return kAllOutputs;
  if (RunsFunction(&ug_filter_sv::Run<false, kLowOnly>)) return kLow;
  if (RunsFunction(&ug_filter_sv::Run<false, kHighOnly>)) return kHigh;
  if (RunsFunction(&ug_filter_sv::Run<true, kAll>)) return kAllFollowing;
  if (RunsFunction(&ug_filter_sv::Run<true, kLowOnly>)) return kLowFollowing;
  if (RunsFunction(&ug_filter_sv::Run<true, kHighOnly>)) return kHighFollowing;
  return {};
}

}  // namespace ov
