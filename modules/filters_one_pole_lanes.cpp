// The "1 Pole LP" and "1 Pole HP" lane kernel: one voice copy per lane,
// the recurrence y = x + a (y - x) stepping all lanes at once.
#include "engine/lane_math.h"
#include "modules/filters.h"

namespace ov {

struct OnePoleLanes {
  template <bool kPitchRuns, bool kHighPass>
  OV_LANE_INLINE static void Run(const LaneBatch& batch) {
    const float* in[kLanes];
    const float* pitch[kLanes];
    float* out[kLanes];
    LaneFloat a, y;
    for (int32_t j = 0; j < kLanes; ++j) {
      const ug_filter_1pole& filter = batch.Member<ug_filter_1pole>(j);
      in[j] = filter.signal_;
      pitch[j] = filter.pitch_;
      out[j] = batch.Output(j, filter.out_);
      a[j] = filter.a_;
      y[j] = filter.y_;
    }
    const LaneFloat tiny = LaneSplat(1e-18f);
    const int32_t end = batch.position + batch.frames;
    for (int32_t k = batch.position; k < end; ++k) {
      if constexpr (kPitchRuns) {
        for (int32_t j = 0; j < kLanes; ++j) {
          a[j] = batch.Member<ug_filter_1pole>(j).Coefficient(pitch[j][k]);
        }
      }
      const LaneFloat x = LoadLanes(in, k);
      y = ((x + a * (y - x)) + tiny) - tiny;
      StoreLanes(out, k, kHighPass ? x - y : y);
    }
    for (int32_t j = 0; j < batch.count; ++j) {
      ug_filter_1pole& filter = batch.Member<ug_filter_1pole>(j);
      filter.a_ = a[j];
      filter.y_ = y[j];
      filter.AfterRun(batch.frames);
    }
  }
};

LaneKernel ug_filter_1pole::LaneKernelNow() const {
  static constexpr LaneKernel kLowPass = MakeLaneKernel<&OnePoleLanes::Run<false, false>>();
  static constexpr LaneKernel kHighPass = MakeLaneKernel<&OnePoleLanes::Run<false, true>>();
  static constexpr LaneKernel kLowPassFollowing = MakeLaneKernel<&OnePoleLanes::Run<true, false>>();
  static constexpr LaneKernel kHighPassFollowing = MakeLaneKernel<&OnePoleLanes::Run<true, true>>();
  if (RunsFunction(&ug_filter_1pole::Run<false, false>)) return kLowPass;
  if (RunsFunction(&ug_filter_1pole::Run<false, true>)) return kHighPass;
  if (RunsFunction(&ug_filter_1pole::Run<true, false>)) return kLowPassFollowing;
  if (RunsFunction(&ug_filter_1pole::Run<true, true>)) return kHighPassFollowing;
  return {};
}

}  // namespace ov
