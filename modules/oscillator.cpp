#include "modules/oscillator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "engine/audio_master.h"
#include "engine/saturating_cast.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr float kInverse2To23 = 1.0f / 8388608.0f;

// Linear interpolation in a table's entry-and-step pairs at phase p: index
// from the top 9 bits, fraction from the next 23.
inline float Interpolate(const float* pairs, uint32_t phase) {
  const float* pair = pairs + 2 * (phase >> 23);
  const float t = static_cast<float>(phase & 0x7FFFFFu) * kInverse2To23;
  return pair[0] + pair[1] * t;
}

}  // namespace

ug_oscillator2::ug_oscillator2() { SetProcessFunction(&ug_oscillator2::DoNothing); }

std::unique_ptr<ug_base> ug_oscillator2::CreateInstance() const {
  return std::make_unique<ug_oscillator2>();
}

void ug_oscillator2::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kOscillator2Plugs,
              {pitch_, pulse_width_, waveform_, out_, sync_, phase_mod_, freq_scale_, pm_depth_,
               smooth_peaks_, sync_fade_},
              descriptors);
}

float ug_oscillator2::WhiteValue(uint32_t state) {
  return std::bit_cast<float>((state & 0x7FFFFFu) | 0x3F800000u) - 1.5f;
}

uint32_t ug_oscillator2::IncrementFor(const OscillatorTables& tables, float pitch,
                                      bool volts_per_khz) {
  const double rate = tables.sample_rate;
  if (volts_per_khz) {
    double hz = static_cast<double>(pitch) * 10000.0;
    if (!(hz > 0.0)) hz = 0.0;  // NaN too
    hz = std::min(hz, rate * 0.5);
    return SaturatingCast<uint32_t>(hz * 4294967296.0 / rate + 0.5);
  }
  const double volts = static_cast<double>(pitch) * 10.0;
  // Beyond +-1000 V the shift below is 0 or saturated anyway; NaN is silent.
  if (!(volts > -1000.0)) return 0;
  if (volts >= 1000.0) return UINT32_MAX;
  // Adding 1.5 x 2^20 leaves floor(volts) in the high word and the fraction
  // x 2^32 in the low word, exactly.
  const uint64_t bits = std::bit_cast<uint64_t>(volts + 1572864.0);
  const auto fraction = static_cast<uint32_t>(bits);
  const int32_t octave = static_cast<int32_t>(bits >> 32) - 0x41380000;
  const uint32_t i = fraction >> 23;
  const uint64_t t = fraction & 0x7FFFFFu;
  const auto* pitch_table = tables.pitch->entries.data();
  const auto low = static_cast<uint32_t>(pitch_table[i]);
  const auto high = static_cast<uint32_t>(pitch_table[i + 1]);
  const uint32_t base = low + static_cast<uint32_t>((static_cast<uint64_t>(high - low) * t) >> 23);
  // The table holds the octave from 8 V to 9 V.
  if (octave > 8) {
    const int32_t shift = octave - 8;
    if (shift > 8 || (base >> (32 - shift)) != 0) return UINT32_MAX;
    return base << shift;
  }
  const int32_t shift = 8 - octave;
  return shift >= 32 ? 0u : base >> shift;
}

uint32_t ug_oscillator2::PmOffset(float phase_mod, float depth) {
  // In 64 bits, then wrapped: 0.5 x 1.0 x 2^32 does not fit 32 signed bits.
  const double offset = static_cast<double>(phase_mod) * depth * 4294967296.0;
  return static_cast<uint32_t>(SaturatingCast<int64_t>(offset));
}

void ug_oscillator2::ApplyPmChange(uint32_t offset) {
  // The phase holds base - offset.
  phase_ += pm_offset_ - offset;
  pm_offset_ = offset;
}

uint32_t ug_oscillator2::PulseOffsetFor(float width) {
  // w limited to +-0.99; 0 gives a square.
  const float w = std::isnan(width) ? 0.0f : std::clamp(width, -0.99f, 0.99f);
  return SaturatingCast<uint32_t>((1.0 - w) * 2147483648.0);
}

void ug_oscillator2::UpdatePulseOffset(float width) { pulse_offset_ = PulseOffsetFor(width); }

void ug_oscillator2::UpdateIncrement(float pitch) {
  increment_ = IncrementFor(*tables_, pitch, freq_scale_ == 1);
  ChooseTable(increment_);
}

void ug_oscillator2::SelectTableSet() {
  const OscWaveSets& waves = *tables_->waves;
  const OscTableSet* set = nullptr;
  switch (waveform_) {
    case kSine:
      set = &waves.sine;
      break;
    case kSaw:
    case kRamp:
    case kPulse:
      set = smooth_peaks_ ? &waves.saw_smooth : &waves.saw;
      break;
    case kTriangle:
      set = &waves.triangle;
      break;
    default:  // noise, or a value outside the list
      set = nullptr;
      break;
  }
  if (set == table_set_) return;
  table_set_ = set;
  if (set == nullptr) {
    table_ = fade_table_ = nullptr;
    table_fade_left_ = 0;
    return;
  }
  ChooseTable(increment_, true);
}

void ug_oscillator2::ChooseTable(uint32_t increment, bool force) {
  if (table_set_ == nullptr) return;
  if (!force) {
    if (table_fade_left_ > 0) return;
    if (table_ != nullptr && increment >= range_lower_ && increment <= range_upper_) return;
  }
  const std::vector<OscWavetable>& tables = table_set_->tables;
  const OscWavetable* chosen = &tables.front();
  if (increment > tables.back().upper) {
    chosen = &tables_->waves->silent;  // even the fundamental would alias
  } else {
    for (auto table = tables.rbegin(); table != tables.rend(); ++table) {
      if (table->lower <= increment) {
        chosen = &*table;
        break;
      }
    }
  }
  range_lower_ = chosen->hysteresis_lower;
  range_upper_ = chosen->upper;
  if (chosen == table_) return;
  if (table_ != nullptr) {
    fade_table_ = table_;
    table_fade_left_ = kTableFadeSamples;
    table_fade_x_ = 1.0f;
  }
  table_ = chosen;
}

void ug_oscillator2::ResetPhase(uint32_t phase) {
  sync_jump_ = phase_ - phase;  // where the old cycle would have gone on
  phase_ = phase;
  if (sync_fade_) {
    sync_fade_left_ = kSyncFadeSamples;
    sync_fade_x_ = 1.0f;
  } else {
    sync_fade_left_ = 0;
  }
}

int32_t ug_oscillator2::ScanSync(int32_t from, int32_t to) {
  for (int32_t k = from; k < to; ++k) {
    const float c = sync_[k];
    const bool rising = sync_low_ && c > 0.0f;
    if (rising) {
      // The crossing lay c / (c - b) of a sample before sample k.
      const float b = sync_last_;
      const double fraction = static_cast<double>(c) / (static_cast<double>(c) - b);
      const uint32_t increment =
          pitch_runs_ ? IncrementFor(*tables_, pitch_[k], freq_scale_ == 1) : increment_;
      sync_low_ = false;
      sync_last_ = c;
      sync_elapsed_ = SaturatingCast<uint32_t>(fraction * increment);
      return k;
    }
    sync_low_ = !(c > 0.0f);
    sync_last_ = c;
  }
  return to;
}

namespace {

template <int kShape>
inline float ShapeValue(const float* table, uint32_t phase, uint32_t pulse_offset) {
  if constexpr (kShape == 0) {
    return Interpolate(table, phase);
  } else if constexpr (kShape == 1) {
    return -Interpolate(table, phase);
  } else {
    // The difference of two band-limited saws.
    return Interpolate(table, phase - pulse_offset) - Interpolate(table, phase);
  }
}

}  // namespace

template <ug_oscillator2::Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
void ug_oscillator2::RenderFast(int32_t from, int32_t to) {
  constexpr int kShape = static_cast<int>(S);
  const float* table = table_->pairs.data();
  const OscillatorTables& tables = *tables_;
  const bool per_khz = freq_scale_ == 1;
  uint32_t phase = phase_;
  uint32_t increment = increment_;
  uint32_t offset = pm_offset_;
  uint32_t pulse = pulse_offset_;
  float* out = out_;
  for (int32_t k = from; k < to; ++k) {
    if constexpr (kPitchRuns) increment = IncrementFor(tables, pitch_[k], per_khz);
    if constexpr (kPmRuns) {
      const uint32_t next = PmOffset(phase_mod_[k], pm_depth_[k]);
      phase += offset - next;
      offset = next;
    }
    if constexpr (kPwRuns) pulse = PulseOffsetFor(pulse_width_[k]);
    out[k] = ShapeValue<kShape>(table, phase, pulse);
    phase += increment;
  }
  phase_ = phase;
  increment_ = increment;
  pm_offset_ = offset;
  pulse_offset_ = pulse;
}

template <ug_oscillator2::Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
void ug_oscillator2::RenderFading(int32_t k) {
  constexpr int kShape = static_cast<int>(S);
  if constexpr (kPitchRuns) increment_ = IncrementFor(*tables_, pitch_[k], freq_scale_ == 1);
  if constexpr (kPmRuns) ApplyPmChange(PmOffset(phase_mod_[k], pm_depth_[k]));
  if constexpr (kPwRuns) UpdatePulseOffset(pulse_width_[k]);

  const bool table_fading = table_fade_left_ > 0;
  const bool sync_fading = sync_fade_left_ > 0;
  if (table_fading) table_fade_x_ -= 1.0f / 21.0f;
  if (sync_fading) sync_fade_x_ -= 0.2f;
  // The same phase through the new table and, while fading, the old one.
  const auto value_at = [&](uint32_t phase) {
    const float now = ShapeValue<kShape>(table_->pairs.data(), phase, pulse_offset_);
    if (!table_fading) return now;
    const float old = ShapeValue<kShape>(fade_table_->pairs.data(), phase, pulse_offset_);
    return (1.0f - table_fade_x_) * now + table_fade_x_ * old;
  };
  float value = value_at(phase_);
  if (sync_fading) {
    // The cycle the sync cut short goes on for a few samples, fading out.
    value = (1.0f - sync_fade_x_) * value + sync_fade_x_ * value_at(phase_ + sync_jump_);
    --sync_fade_left_;
  }
  out_[k] = value;
  phase_ += increment_;
  if (table_fading && --table_fade_left_ == 0) {
    fade_table_ = nullptr;
    ChooseTable(increment_);  // the pitch may have moved on meanwhile
  }
}

template <ug_oscillator2::Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
void ug_oscillator2::Render(int32_t position, int32_t count) {
  // A streaming pitch chooses its table once per block, from its first sample.
  if constexpr (kPitchRuns) {
    if (table_fade_left_ == 0)
      ChooseTable(IncrementFor(*tables_, pitch_[position], freq_scale_ == 1));
  }
  table_fade_x_ = 0.05f * static_cast<float>(table_fade_left_);
  sync_fade_x_ = 0.25f * static_cast<float>(sync_fade_left_);
  const int32_t end = position + count;
  int32_t from = position;
  int32_t scan = position;
  while (true) {
    const int32_t reset = sync_runs_ ? ScanSync(scan, end) : end;
    int32_t k = from;
    while (k < reset && (table_fade_left_ > 0 || sync_fade_left_ > 0)) {
      RenderFading<S, kPitchRuns, kPmRuns, kPwRuns>(k++);
    }
#if defined(__x86_64__)
    if constexpr (!kPitchRuns && !kPmRuns && !kPwRuns) {
      if (k < reset && still_build_ != LaneMode::kOff) {
        RenderStillWide<S>(*this, k, reset);
        k = reset;
      }
    }
#endif
    if (k < reset) RenderFast<S, kPitchRuns, kPmRuns, kPwRuns>(k, reset);
    if (reset >= end) break;
    // The phase for sample `reset` before its own phase-modulation step.
    ResetPhase(sync_elapsed_ - pm_offset_);
    from = reset;
    scan = reset + 1;
  }
}

// The lane kernels look for these.
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPlain, false, false, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPlain, false, true, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPlain, true, false, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPlain, true, true, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kRamp, false, false, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kRamp, false, true, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kRamp, true, false, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kRamp, true, true, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, false, false, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, false, false, true>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, false, true, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, false, true, true>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, true, false, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, true, false, true>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, true, true, false>(
    int32_t, int32_t);
template void ug_oscillator2::Render<ug_oscillator2::Shape::kPulse, true, true, true>(
    int32_t, int32_t);

void ug_oscillator2::RenderWhite(int32_t position, int32_t count) {
  uint32_t state = *noise_state_;
  for (int32_t k = position; k < position + count; ++k) {
    state = NextNoiseState(state);
    out_[k] = WhiteValue(state);
  }
  *noise_state_ = state;
}

void ug_oscillator2::RenderSilence(int32_t position, int32_t count) {
  FillSamples(out_, position, count, 0.0f);
}

void ug_oscillator2::RenderPink(int32_t position, int32_t count) {
  uint32_t state = *noise_state_;
  float b0 = pink_[0], b1 = pink_[1], b2 = pink_[2], b3 = pink_[3], b4 = pink_[4], b5 = pink_[5];
  for (int32_t k = position; k < position + count; ++k) {
    state = NextNoiseState(state);
    const float w = WhiteValue(state);
    b0 = 0.997f * b0 + 0.029591f * w;
    b1 = 0.985f * b1 + 0.032534f * w;
    b2 = 0.95f * b2 + 0.048056f * w;
    b3 = 0.85f * b3 + 0.090579f * w;
    b4 = 0.62f * b4 + 0.10899f * w;
    b5 = 0.25f * b5 + 0.255784f * w;
    out_[k] = b0 + b1 + b2 + b3 + b4 + b5;
  }
  pink_[0] = b0, pink_[1] = b1, pink_[2] = b2, pink_[3] = b3, pink_[4] = b4, pink_[5] = b5;
  *noise_state_ = state;
}

void ug_oscillator2::SelectRender() {
  if (waveform_ == kWhiteNoise) {
    SetProcessFunction(&ug_oscillator2::RenderWhite);
    return;
  }
  if (waveform_ == kPinkNoise) {
    SetProcessFunction(&ug_oscillator2::RenderPink);
    return;
  }
  if (table_ == nullptr) {
    SetProcessFunction(&ug_oscillator2::RenderSilence);
    return;
  }
  // One routine per shape and stream combination; constant inputs are not
  // read per sample.
  using O = ug_oscillator2;
  static constexpr ProcessFunction kPlain[2][2] = {
      {static_cast<ProcessFunction>(&O::Render<Shape::kPlain, false, false, false>),
       static_cast<ProcessFunction>(&O::Render<Shape::kPlain, false, true, false>)},
      {static_cast<ProcessFunction>(&O::Render<Shape::kPlain, true, false, false>),
       static_cast<ProcessFunction>(&O::Render<Shape::kPlain, true, true, false>)},
  };
  static constexpr ProcessFunction kRampRenders[2][2] = {
      {static_cast<ProcessFunction>(&O::Render<Shape::kRamp, false, false, false>),
       static_cast<ProcessFunction>(&O::Render<Shape::kRamp, false, true, false>)},
      {static_cast<ProcessFunction>(&O::Render<Shape::kRamp, true, false, false>),
       static_cast<ProcessFunction>(&O::Render<Shape::kRamp, true, true, false>)},
  };
  static constexpr ProcessFunction kPulseRenders[2][2][2] = {
      {{static_cast<ProcessFunction>(&O::Render<Shape::kPulse, false, false, false>),
        static_cast<ProcessFunction>(&O::Render<Shape::kPulse, false, false, true>)},
       {static_cast<ProcessFunction>(&O::Render<Shape::kPulse, false, true, false>),
        static_cast<ProcessFunction>(&O::Render<Shape::kPulse, false, true, true>)}},
      {{static_cast<ProcessFunction>(&O::Render<Shape::kPulse, true, false, false>),
        static_cast<ProcessFunction>(&O::Render<Shape::kPulse, true, false, true>)},
       {static_cast<ProcessFunction>(&O::Render<Shape::kPulse, true, true, false>),
        static_cast<ProcessFunction>(&O::Render<Shape::kPulse, true, true, true>)}},
  };
  ProcessFunction render;
  if (waveform_ == kRamp) {
    render = kRampRenders[pitch_runs_][pm_runs_];
  } else if (waveform_ == kPulse) {
    render = kPulseRenders[pitch_runs_][pm_runs_][pw_runs_];
  } else {
    render = kPlain[pitch_runs_][pm_runs_];
  }
  SetProcessFunction(render);
}

void ug_oscillator2::StartAtClock(ug_base& generator) {
  static_cast<ug_oscillator2&>(generator).Start();
}

void ug_oscillator2::Start() {
  pm_offset_ = PmOffset(SampleNow(phase_mod_), SampleNow(pm_depth_));
  phase_ = 0u - pm_offset_;
  const float sync = SampleNow(sync_);
  sync_low_ = !(sync > 0.0f);
  sync_last_ = sync;
  UpdatePulseOffset(SampleNow(pulse_width_));
  UpdateIncrement(SampleNow(pitch_));
  // Nothing was played yet: no cross-fade from a table chosen on the way.
  table_fade_left_ = 0;
  fade_table_ = nullptr;
  sync_fade_left_ = 0;
  SelectRender();
}

void ug_oscillator2::Open() {
  ug_base::Open();
  tables_ = GetOscillatorTables(Master()->SampleRate());
  noise_state_ = &Master()->NoiseState();
#if defined(__x86_64__)
  const LaneMode mode = Master()->GetLaneMode();
  still_build_ = RunsVectorBuilds(mode) ? mode : LaneMode::kOff;
#endif
  std::fill(std::begin(pink_), std::end(pink_), 0.0f);
  table_ = nullptr;
  fade_table_ = nullptr;
  table_set_ = nullptr;
  table_fade_left_ = 0;
  sync_fade_left_ = 0;
  SelectTableSet();
  // The timed start runs after the inputs' first values at this time.
  if (!QueueRunFunction(Clock(), &ug_oscillator2::StartAtClock)) Start();
  SelectRender();
  if (UPlug* out = PlugOf(*this, &out_)) out->Transmit(Clock(), ST_RUN);
}

void ug_oscillator2::OnStatusChange(uint32_t, connector* link, int32_t state) {
  const float* const* member = link->Destination()->BufferMember();
  const bool runs = state == ST_RUN;
  if (member == &pitch_) {
    pitch_runs_ = runs;
    if (!runs) UpdateIncrement(SampleNow(pitch_));
  } else if (member == &pulse_width_) {
    pw_runs_ = runs;
    if (!runs) UpdatePulseOffset(SampleNow(pulse_width_));
  } else if (member == &sync_) {
    sync_runs_ = runs;
    if (!runs) {
      const float value = SampleNow(sync_);
      if (sync_low_ && value > 0.0f) ResetPhase(0u - pm_offset_);
      sync_low_ = !(value > 0.0f);
      sync_last_ = value;
    }
  } else if (member == &phase_mod_ || member == &pm_depth_) {
    pm_runs_ = Streams(*this, &phase_mod_) || Streams(*this, &pm_depth_);
    if (!pm_runs_) ApplyPmChange(PmOffset(SampleNow(phase_mod_), SampleNow(pm_depth_)));
  } else {
    // "Waveform", "Freq Scale", "Smooth Peaks", "Sync X-Fade": their values
    // are in the members already.
    SelectTableSet();
    if (!pitch_runs_) UpdateIncrement(SampleNow(pitch_));
  }
  SelectRender();
}

}  // namespace ov
