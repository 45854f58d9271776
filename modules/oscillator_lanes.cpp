// The "Oscillator" lane kernel for the wavetable shapes: copies that are
// neither cross-fading nor synced read their tables one lane each. A copy
// whose slice starts a cross-fade, or that follows a sync input, renders
// alone; so do the noise shapes, which draw from the engine's one noise
// generator in run order.
#include "engine/lane_math.h"
#include "modules/oscillator.h"

namespace ov {

struct OscillatorLanes {
  // Interpolate() (oscillator.cpp) lane by lane in a table's entry-and-step
  // pairs: `pairs` one table's for every lane, or an array of each lane's.
  template <int32_t W, typename Pairs>
  OV_LANE_INLINE static LaneFloat<W> Interpolate(const Pairs& pairs, LaneUint<W> phase) {
    const LaneInt<W> index = reinterpret_cast<LaneInt<W>>(phase >> 23);
    // Below 2^23: the signed conversion gives the same float.
    const LaneFloat<W> t =
        ToFloat(reinterpret_cast<LaneInt<W>>(phase & 0x7FFFFFu)) * LaneSplat<W>(1.0f / 8388608.0f);
    LaneFloat<W> low, step;
    GatherPairs(pairs, index, low, step);
    return low + step * t;
  }

  template <ug_oscillator2::Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns, int32_t W>
  OV_LANE_INLINE static void Render(const LaneBatch& batch) {
    using O = ug_oscillator2;
    // The block-start table choice of Render(), then the copies that must
    // render alone do so.
    ug_base* together[W];
    int32_t count = 0;
    for (int32_t j = 0; j < batch.count; ++j) {
      O& osc = batch.Member<O>(j);
      if constexpr (kPitchRuns) {
        if (osc.table_fade_left_ == 0) {
          osc.ChooseTable(O::IncrementFor(*osc.tables_, osc.pitch_[batch.position],
                                          osc.freq_scale_ == 1));
        }
      }
      if (osc.table_fade_left_ > 0 || osc.sync_fade_left_ > 0 || osc.sync_runs_) {
        osc.Render<S, kPitchRuns, kPmRuns, kPwRuns>(batch.position, batch.frames);
      } else {
        osc.table_fade_x_ = 0.0f;
        osc.sync_fade_x_ = 0.0f;
        together[count++] = &osc;
      }
    }
    if (count == 0) return;
    const LaneBatch lanes{together, count, batch.position, batch.frames, batch.scratch};
    if constexpr (!kPitchRuns && !kPmRuns && !kPwRuns) {
      RenderStill<S, W>(lanes);  // no per-lane gathers and scattered stores
      return;
    }

    const float* tables[W];
    float* out[W];
    LaneUint<W> phase, increment, offset, pulse;
    for (int32_t j = 0; j < W; ++j) {
      const O& osc = lanes.Member<O>(j);
      tables[j] = osc.table_->pairs.data();
      out[j] = lanes.Output(j, osc.out_);
      phase[j] = osc.phase_;
      increment[j] = osc.increment_;
      offset[j] = osc.pm_offset_;
      pulse[j] = osc.pulse_offset_;
    }
    const int32_t end = lanes.position + lanes.frames;
    for (int32_t k = lanes.position; k < end; ++k) {
      for (int32_t j = 0; j < W; ++j) {
        const O& osc = lanes.Member<O>(j);
        if constexpr (kPitchRuns) {
          increment[j] = O::IncrementFor(*osc.tables_, osc.pitch_[k], osc.freq_scale_ == 1);
        }
        if constexpr (kPmRuns) {
          const uint32_t next = O::PmOffset(osc.phase_mod_[k], osc.pm_depth_[k]);
          phase[j] += offset[j] - next;
          offset[j] = next;
        }
        if constexpr (kPwRuns) pulse[j] = O::PulseOffsetFor(osc.pulse_width_[k]);
      }
      LaneFloat<W> value;
      if constexpr (S == O::Shape::kPlain) {
        value = Interpolate<W>(tables, phase);
      } else if constexpr (S == O::Shape::kRamp) {
        value = -Interpolate<W>(tables, phase);
      } else {
        value = Interpolate<W>(tables, phase - pulse) - Interpolate<W>(tables, phase);
      }
      StoreLanes(out, k, value);
      phase += increment;
    }
    for (int32_t j = 0; j < count; ++j) {
      O& osc = lanes.Member<O>(j);
      osc.phase_ = phase[j];
      osc.increment_ = increment[j];
      osc.pm_offset_ = offset[j];
      osc.pulse_offset_ = pulse[j];
    }
  }

  // Every control still: sample k's phase is the first one plus k
  // increments (wrapping as the one-sample steps wrap), so each copy
  // renders W consecutive samples at a time from its one table.
  template <ug_oscillator2::Shape S, int32_t W>
  OV_LANE_INLINE static void RenderStill(const LaneBatch& batch) {
    using O = ug_oscillator2;
    for (int32_t j = 0; j < batch.count; ++j) {
      O& osc = batch.Member<O>(j);
      const float* table = osc.table_->pairs.data();
      const uint32_t increment = osc.increment_;
      const LaneUint<W> steps = LaneIndices<W>() * increment;
      const uint32_t stride = increment * static_cast<uint32_t>(W);
      const LaneUint<W> pulse = LaneUint<W>{} + osc.pulse_offset_;
      LaneUint<W> phase = (LaneUint<W>{} + osc.phase_) + steps;
      float* out = osc.out_;
      ForEachRun<W>(batch.position, batch.frames, [&](int32_t k, int32_t n) OV_LANE_LAMBDA {
        LaneFloat<W> value;
        if constexpr (S == O::Shape::kPlain) {
          value = Interpolate<W>(table, phase);
        } else if constexpr (S == O::Shape::kRamp) {
          value = -Interpolate<W>(table, phase);
        } else {
          value = Interpolate<W>(table, phase - pulse) - Interpolate<W>(table, phase);
        }
        StoreRun(out + k, value, n);
        phase += stride;
      });
      osc.phase_ += increment * static_cast<uint32_t>(batch.frames);
    }
  }

  template <ug_oscillator2::Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
  static constexpr LaneKernel Kernel() {
    return MakeLaneKernel<&Render<S, kPitchRuns, kPmRuns, kPwRuns, kLanes>,
                          &Render<S, kPitchRuns, kPmRuns, kPwRuns, kWidestLanes>>();
  }

  // Render<S, pitch, pm, pw> of the copy, and its kernel, for each
  // combination the oscillator selects.
  template <ug_oscillator2::Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
  static LaneKernel Find(const ug_oscillator2& osc) {
    if (osc.RunsFunction(&ug_oscillator2::Render<S, kPitchRuns, kPmRuns, kPwRuns>)) {
      static constexpr LaneKernel kKernel = Kernel<S, kPitchRuns, kPmRuns, kPwRuns>();
      return kKernel;
    }
    return {};
  }

  template <ug_oscillator2::Shape S, bool kPw>
  static LaneKernel FindAny(const ug_oscillator2& osc) {
    if (LaneKernel k = Find<S, false, false, kPw>(osc)) return k;
    if (LaneKernel k = Find<S, false, true, kPw>(osc)) return k;
    if (LaneKernel k = Find<S, true, false, kPw>(osc)) return k;
    return Find<S, true, true, kPw>(osc);
  }
};

#if defined(__x86_64__)
template <ug_oscillator2::Shape S>
void ug_oscillator2::RenderStillWide(ug_oscillator2& osc, int32_t from, int32_t to) {
  ug_base* const members[] = {&osc};
  const LaneBatch batch{members, 1, from, to - from, nullptr};
  if (osc.still_build_ == LaneMode::kAvx512) {
    lanes::RunAvx512<&OscillatorLanes::RenderStill<S, kWidestLanes>>(batch);
  } else {
    lanes::RunAvx2<&OscillatorLanes::RenderStill<S, kLanes>>(batch);
  }
}
template void ug_oscillator2::RenderStillWide<ug_oscillator2::Shape::kPlain>(ug_oscillator2&,
                                                                             int32_t, int32_t);
template void ug_oscillator2::RenderStillWide<ug_oscillator2::Shape::kRamp>(ug_oscillator2&,
                                                                            int32_t, int32_t);
template void ug_oscillator2::RenderStillWide<ug_oscillator2::Shape::kPulse>(ug_oscillator2&,
                                                                             int32_t, int32_t);
#endif

LaneKernel ug_oscillator2::LaneKernelNow() const {
  using L = OscillatorLanes;
  switch (waveform_) {
    case kRamp:
      return L::FindAny<Shape::kRamp, false>(*this);
    case kPulse:
      if (LaneKernel k = L::FindAny<Shape::kPulse, false>(*this)) return k;
      return L::FindAny<Shape::kPulse, true>(*this);
    default:
      return L::FindAny<Shape::kPlain, false>(*this);
  }
}

}  // namespace ov
