// The envelope lane kernel: copies in the middle of a constant-rate ramp
// that lasts the whole slice step one lane each. Everything else an
// envelope does (segment changes, gate edges, holds, streaming rates) stays
// on its own path.
#include "engine/audio_master.h"
#include "engine/lane_math.h"
#include "modules/envelopes.h"

namespace ov {

struct EnvelopeLanes {
  template <int32_t W>
  OV_LANE_INLINE static void Ramp(const LaneBatch& batch) {
    float* out[W];
    LaneFloat<W> value, step;
    for (int32_t j = 0; j < W; ++j) {
      const ug_envelope_base& envelope = batch.Member<ug_envelope_base>(j);
      out[j] = batch.Output(j, envelope.output_);
      value[j] = envelope.output_value_;
      step[j] = envelope.output_increment_;
    }
    const int32_t end = batch.position + batch.frames;
    for (int32_t k = batch.position; k < end; ++k) {
      value += step;
      StoreLanes(out, k, value);
    }
    for (int32_t j = 0; j < batch.count; ++j) {
      ug_envelope_base& envelope = batch.Member<ug_envelope_base>(j);
      envelope.output_value_ = value[j];
      envelope.level_ += envelope.increment_ * static_cast<float>(batch.frames);
      envelope.position_ = end;
      envelope.samples_left_ -= batch.frames;
      if (envelope.samples_left_ == 0) {
        envelope.level_ = envelope.target_;
        envelope.output_[end - 1] = envelope.target_ * envelope.overall_value_;
      }
    }
  }
};

LaneKernel ug_envelope_base::LaneKernelNow() const {
  static constexpr LaneKernel kRamp =
      MakeLaneKernel<&EnvelopeLanes::Ramp<kLanes>, &EnvelopeLanes::Ramp<kWidestLanes>>();
  if (!RunsFunction(&ug_envelope_base::Plain) || routine_ != &ug_envelope_base::Ramp) return {};
  // The ramp must outlast the slice: its end starts the next segment.
  const auto frames = static_cast<int32_t>(Master()->SliceEnd() - Clock());
  return samples_left_ >= frames ? kRamp : LaneKernel{};
}

}  // namespace ov
