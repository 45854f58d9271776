// The "SV Filter" lane kernel: one voice copy per lane, the two-state
// recurrence stepping all lanes at once.
#include "engine/lane_math.h"
#include "modules/filters.h"

namespace ov {

struct StateVariableLanes {
  template <bool kControlsRun, ug_filter_sv::Outputs kOutputs>
  OV_LANE_INLINE static void Run(const LaneBatch& batch) {
    const float* in[kLanes];
    float* low_out[kLanes];
    float* high_out[kLanes];
    float* band_out[kLanes];
    float* reject_out[kLanes];
    LaneFloat f, q, low, band;
    for (int32_t j = 0; j < kLanes; ++j) {
      const ug_filter_sv& filter = batch.Member<ug_filter_sv>(j);
      in[j] = filter.signal_;
      low_out[j] = batch.Output(j, filter.low_pass_);
      high_out[j] = batch.Output(j, filter.high_pass_);
      band_out[j] = batch.Output(j, filter.band_pass_);
      reject_out[j] = batch.Output(j, filter.band_reject_);
      f[j] = filter.c_.f;
      q[j] = filter.c_.q;
      low[j] = filter.low_;
      band[j] = filter.band_;
    }
    const LaneFloat tiny = LaneSplat(1e-18f);
    const int32_t end = batch.position + batch.frames;
    for (int32_t k = batch.position; k < end; ++k) {
      if constexpr (kControlsRun) {
        for (int32_t j = 0; j < kLanes; ++j) {
          const ug_filter_sv& filter = batch.Member<ug_filter_sv>(j);
          const ug_filter_sv::Coefficients c =
              filter.CoefficientsFor(filter.pitch_[k], filter.resonance_[k]);
          f[j] = c.f;
          q[j] = c.q;
        }
      }
      const LaneFloat x = LoadLanes(in, k);
      low += f * band;
      const LaneFloat high = x - q * band - low;
      band = ((band + f * high) + tiny) - tiny;
      if constexpr (kOutputs != ug_filter_sv::kHighOnly) StoreLanes(low_out, k, low);
      if constexpr (kOutputs != ug_filter_sv::kLowOnly) StoreLanes(high_out, k, high);
      if constexpr (kOutputs == ug_filter_sv::kAll) {
        StoreLanes(band_out, k, band);
        StoreLanes(reject_out, k, low + high);
      }
    }
    for (int32_t j = 0; j < batch.count; ++j) {
      ug_filter_sv& filter = batch.Member<ug_filter_sv>(j);
      filter.c_ = {f[j], q[j]};
      filter.low_ = low[j];
      filter.band_ = band[j];
      filter.AfterRun(batch.frames);
    }
  }
};

LaneKernel ug_filter_sv::LaneKernelNow() const {
  using L = StateVariableLanes;
  static constexpr LaneKernel kAllOutputs = MakeLaneKernel<&L::Run<false, kAll>>();
  static constexpr LaneKernel kLow = MakeLaneKernel<&L::Run<false, kLowOnly>>();
  static constexpr LaneKernel kHigh = MakeLaneKernel<&L::Run<false, kHighOnly>>();
  static constexpr LaneKernel kAllFollowing = MakeLaneKernel<&L::Run<true, kAll>>();
  static constexpr LaneKernel kLowFollowing = MakeLaneKernel<&L::Run<true, kLowOnly>>();
  static constexpr LaneKernel kHighFollowing = MakeLaneKernel<&L::Run<true, kHighOnly>>();
  if (RunsFunction(&ug_filter_sv::Run<false, kAll>)) return kAllOutputs;
  if (RunsFunction(&ug_filter_sv::Run<false, kLowOnly>)) return kLow;
  if (RunsFunction(&ug_filter_sv::Run<false, kHighOnly>)) return kHigh;
  if (RunsFunction(&ug_filter_sv::Run<true, kAll>)) return kAllFollowing;
  if (RunsFunction(&ug_filter_sv::Run<true, kLowOnly>)) return kLowFollowing;
  if (RunsFunction(&ug_filter_sv::Run<true, kHighOnly>)) return kHighFollowing;
  return {};
}

}  // namespace ov
