#include "modules/envelopes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "engine/ug_notesource.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// A retrigger fades the level to 0 in a fifteenth of it per sample.
constexpr float kQuickReleaseStep = 0.06666667f;
// A segment number that no segment has: a sustain that never holds.
constexpr int32_t kNoSegment = std::numeric_limits<int16_t>::max();

}  // namespace

double ug_envelope_base::SegmentSeconds(float rate) {
  const double volts = 10.0 * static_cast<double>(rate);
  return std::exp2((volts * 12000.0 * 0.1 - 8000.0) * 0.0008333333333333334);
}

float ug_envelope_base::RateToIncrement(float rate, float sample_rate) {
  return static_cast<float>(1.0 / (SegmentSeconds(rate) * static_cast<double>(sample_rate)));
}

ug_envelope_base::ug_envelope_base(int32_t gate_plug, int32_t overall_plug, int32_t output_plug)
    : gate_plug_(gate_plug), overall_plug_(overall_plug), output_plug_(output_plug) {}

int32_t ug_envelope_base::SustainSegment() const {
  return sustain_segment_ >= 0 && sustain_segment_ < segment_count_ ? sustain_segment_ : kNoSegment;
}

int32_t ug_envelope_base::EndSegment() const {
  return std::clamp<int32_t>(end_segment_, 0, segment_count_ - 1);
}

uint32_t ug_envelope_base::Now() const {
  return Master()->CellStart() + static_cast<uint32_t>(position_);
}

void ug_envelope_base::SyncPosition() {
  // A generator that caught up to the end of a running slice reads the
  // slice's last sample rather than the slack past the block.
  position_ = std::clamp(BlockPosition(), 0, Master()->EngineBlockSize() - 1);
}

float ug_envelope_base::ValueNow(const UPlug& input) const {
  const float* data = input.Samples();
  return data != nullptr ? data[position_] : 0.0f;
}

void ug_envelope_base::RegisterForRetrigger() {
  // Every voice that plays notes fades its envelopes on a retrigger, the
  // model voice and each copy alike; an envelope all voices share belongs to
  // none of them.
  const ug_container* container = Container();
  const int32_t voice = VoiceGroup();
  if ((Flags() & UGF_PER_VOICE) == 0) return;
  if (container == nullptr || voice < 0 || voice >= container->VoiceCount()) return;
  if (ug_notesource* source = container->voice(voice).note_source) {
    source->RegisterForRetrigger(*this);
  }
}

void ug_envelope_base::Open() {
  ug_base::Open();
  RegisterForRetrigger();
  increment_ = 0.0f;
  current_segment_ = static_cast<int16_t>(EndSegment());
  SyncPosition();
  BeginSegment();
}

void ug_envelope_base::Resume() {
  if ((Flags() & UGF_SUSPENDED) == 0) return;
  ug_base::Resume();
  level_ = 0.0f;
  increment_ = 0.0f;
  current_segment_ = static_cast<int16_t>(EndSegment());
  Wake();
  SyncPosition();
  BeginSegment();
}

void ug_envelope_base::HandleEvent(ug_event& event) {
  if (event.kind == UET_NOTE_RETRIGGER) {
    SyncPosition();
    Retrigger();
    return;
  }
  ug_base::HandleEvent(event);
}

void ug_envelope_base::ChooseProcessFunction() {
  scanning_ = Streams(GatePlug()) && gate_ != nullptr;
  if (scanning_) {
    SetProcessFunction(&ug_envelope_base::GateScanning);
  } else {
    SetProcessFunction(&ug_envelope_base::Plain);
  }
}

void ug_envelope_base::Plain(int32_t position, int32_t count) {
  const int32_t end = position + count;
  position_ = position;
  while (position_ < end) (this->*routine_)(end);
}

void ug_envelope_base::GateScanning(int32_t position, int32_t count) {
  const int32_t end = position + count;
  position_ = position;
  while (position_ < end) {
    int32_t agreeing = position_;
    while (agreeing < end && (gate_[agreeing] > 0.0f) == gate_state_) ++agreeing;
    while (position_ < agreeing) (this->*routine_)(agreeing);
    if (agreeing < end) GateEdge(gate_[agreeing]);
  }
}

void ug_envelope_base::GateEdge(float gate) {
  const bool high = gate > 0.0f;
  if (high == gate_state_) return;
  gate_state_ = high;
  if (high) {
    if (!released_) return;
    quick_release_ = false;
    released_ = false;
    current_segment_ = -1;
    AdvanceSegment();  // segment 0 starts from the level reached
    return;
  }
  if (released_) return;
  released_ = true;
  const int32_t sustain = SustainSegment();
  if (current_segment_ != sustain || sustain >= EndSegment()) {
    current_segment_ = static_cast<int16_t>(EndSegment() - 1);
  }
  AdvanceSegment();
}

void ug_envelope_base::Retrigger() {
  released_ = true;
  if (current_segment_ >= EndSegment() && level_ == 0.0f) return;
  current_segment_ = static_cast<int16_t>(EndSegment() - 1);
  quick_release_ = true;
  AdvanceSegment();
}

void ug_envelope_base::AdvanceSegment() {
  increment_ = 0.0f;
  if (current_segment_ < EndSegment()) {
    const bool holding =
        current_segment_ == SustainSegment() && ValueNow(GatePlug()) > 0.0f && !quick_release_;
    if (!holding) {
      ++current_segment_;
      increment_ = 1.0f;
    }
  } else {
    quick_release_ = false;
  }
  BeginSegment();
}

void ug_envelope_base::StartRamp(bool overall_streams) {
  SetRoutine(overall_streams ? &ug_envelope_base::RampStreamingOverall : &ug_envelope_base::Ramp);
  const float distance = target_ - level_;
  increment_ = std::copysign(std::fabs(increment_), distance);
  const float steps = distance / increment_;
  // A length that is not finite, or below one sample, lasts one sample.
  int32_t samples = 0;
  if (std::isfinite(steps)) {
    samples = steps >= static_cast<float>(std::numeric_limits<int32_t>::max())
                  ? std::numeric_limits<int32_t>::max()
                  : static_cast<int32_t>(steps);
  }
  samples_left_ = std::max(samples, 1);
  overall_value_ = ValueNow(OverallPlug());
  output_increment_ = overall_value_ * increment_;
  output_value_ = overall_value_ * level_;
}

void ug_envelope_base::Idle(int32_t end) { position_ = end; }

void ug_envelope_base::HoldConstant(int32_t end) {
  const int32_t count = end - position_;
  FillSamples(output_, position_, count, overall_value_ * level_);
  position_ = end;
  rest_countdown_ -= count;
  if (rest_countdown_ > 0) return;
  // A whole block holds the constant now.
  if (!scanning_) SetProcessFunction(&ug_envelope_base::SleepWhenIdle);
  SetRoutine(&ug_envelope_base::Idle);
}

void ug_envelope_base::HoldTimesOverall(int32_t end) {
  for (; position_ < end; ++position_) output_[position_] = overall_[position_] * level_;
}

void ug_envelope_base::FollowLevel(int32_t end) {
  for (; position_ < end; ++position_) {
    output_[position_] = level_in_[position_] * overall_[position_];
  }
  level_ = level_in_[end - 1];
}

void ug_envelope_base::Ramp(int32_t end) {
  if (samples_left_ == 0) {
    AdvanceSegment();
    return;
  }
  const int32_t count = std::min(end - position_, samples_left_);
  float value = output_value_;
  for (int32_t i = position_; i < position_ + count; ++i) {
    value += output_increment_;
    output_[i] = value;
  }
  output_value_ = value;
  level_ += increment_ * static_cast<float>(count);
  position_ += count;
  samples_left_ -= count;
  if (samples_left_ == 0) {
    level_ = target_;
    output_[position_ - 1] = target_ * overall_value_;
  }
}

void ug_envelope_base::RampStreamingOverall(int32_t end) {
  if (samples_left_ == 0) {
    AdvanceSegment();
    return;
  }
  const int32_t count = std::min(end - position_, samples_left_);
  for (int32_t i = position_; i < position_ + count; ++i) {
    level_ += increment_;
    output_[i] = level_ * overall_[i];
  }
  position_ += count;
  samples_left_ -= count;
  if (samples_left_ == 0) {
    level_ = target_;
    output_[position_ - 1] = target_ * overall_[position_ - 1];
  }
}

void ug_envelope_base::RampStreamingRate(int32_t end) {
  const float sample_rate = Master()->SampleRate();
  const bool rising = target_ > level_;
  for (; position_ < end; ++position_) {
    const float step = RateToIncrement(rate_[position_], sample_rate);
    level_ += rising ? step : -step;
    if (rising ? level_ >= target_ : level_ <= target_) {
      level_ = target_;
      output_[position_] = target_ * overall_[position_];
      AdvanceSegment();  // the next segment renders this sample again
      return;
    }
    output_[position_] = level_ * overall_[position_];
  }
}

void ug_envelope_base::Chase(int32_t end) {
  const float sample_rate = Master()->SampleRate();
  const bool rising = level_in_[position_] > level_;
  for (; position_ < end; ++position_) {
    const float target = level_in_[position_];
    const float step = RateToIncrement(rate_[position_], sample_rate);
    level_ += rising ? step : -step;
    if (rising ? level_ >= target : level_ <= target) {
      level_ = target;
      output_[position_] = target * overall_[position_];
      AdvanceSegment();
      return;
    }
    output_[position_] = level_ * overall_[position_];
  }
}

void ug_envelope::BeginSegment() {
  const int32_t segment = current_segment_;
  const bool at_end = segment >= EndSegment();
  // The end segment always falls to 0, whatever its level input says.
  const UPlug* level_plug = at_end ? nullptr : level_plugs_[static_cast<size_t>(segment)];
  if (at_end) {
    target_ = 0.0f;
  } else {
    target_ =
        level_plug != nullptr ? ValueNow(*level_plug) : fixed_levels_[static_cast<size_t>(segment)];
  }
  ChooseProcessFunction();
  const bool level_streams = level_plug != nullptr && Streams(*level_plug);
  const bool overall_streams = Streams(OverallPlug());
  level_in_ = level_plug != nullptr ? level_plug->Samples() : nullptr;
  int32_t state = ST_RUN;
  if (increment_ == 0.0f) {
    if (level_streams) {
      SetRoutine(&ug_envelope::FollowLevel);
    } else if (overall_streams && segment == SustainSegment()) {
      SetRoutine(&ug_envelope::HoldTimesOverall);
    } else {
      overall_value_ = ValueNow(OverallPlug());
      level_ = target_;
      SetRoutine(&ug_envelope::HoldConstant);
      rest_countdown_ = Master()->EngineBlockSize();
      state = ST_STATIC;
    }
  } else if (quick_release_) {
    // Only ever on the end segment.
    increment_ = level_ * kQuickReleaseStep;
    target_ = 0.0f;
    StartRamp(overall_streams);
  } else {
    const UPlug& rate_plug = *rate_plugs_[static_cast<size_t>(segment)];
    rate_ = rate_plug.Samples();
    if (level_streams) {
      SetRoutine(&ug_envelope::Chase);
    } else if (Streams(rate_plug)) {
      SetRoutine(&ug_envelope::RampStreamingRate);
    } else {
      increment_ = RateToIncrement(ValueNow(rate_plug), Master()->SampleRate());
      StartRamp(overall_streams);
    }
  }
  TransmitOutput(state);
}

void ug_envelope::OnStatusChange(uint32_t, connector* link, int32_t state) {
  SyncPosition();
  const UPlug* input = link->Destination();
  if (input == &GatePlug()) {
    if (state == ST_RUN) {
      ChooseProcessFunction();
      return;
    }
    GateEdge(ValueNow(*input));
    if (Scanning()) BeginSegment();  // picks the plain function
    return;
  }
  if (increment_ == 0.0f && current_segment_ >= EndSegment()) return;
  if (current_segment_ < 0) return;
  const auto segment = static_cast<size_t>(current_segment_);
  if (input == &OverallPlug() || input == rate_plugs_[segment] || input == level_plugs_[segment]) {
    BeginSegment();
  }
}

ug_adsr::ug_adsr() : ug_envelope(kGate, kOverallLevel, kSignalOut) {
  sustain_segment_ = 1;
  end_segment_ = 2;
  segment_count_ = 3;
  fixed_levels_[0] = 1.0f;
  fixed_levels_[2] = 0.0f;
}

std::unique_ptr<ug_base> ug_adsr::CreateInstance() const { return std::make_unique<ug_adsr>(); }

void ug_adsr::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kAdsrPlugs,
              {gate_, rate_buffers_[0], rate_buffers_[1], level_buffers_[1], rate_buffers_[2],
               overall_, output_},
              descriptors);
}

void ug_adsr::Open() {
  rate_plugs_ = {plug(kAttack), plug(kDecay), plug(kRelease)};
  level_plugs_ = {nullptr, plug(kSustain), nullptr};
  ug_envelope::Open();
}

ug_8_stage::ug_8_stage() : ug_envelope(kGate, kOverallLevel, kSignalOut) {
  sustain_segment_ = 2;
  end_segment_ = 4;
  segment_count_ = kMaxSegments;
}

std::unique_ptr<ug_base> ug_8_stage::CreateInstance() const {
  return std::make_unique<ug_8_stage>();
}

void ug_8_stage::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  std::array<PlugMember, kEndSeg + 1> members{};
  members[kGate] = gate_;
  for (size_t i = 0; i < kMaxSegments; ++i) {
    members[kFirstRate + 2 * i] = rate_buffers_[i];
    members[kFirstLevel + 2 * i] = level_buffers_[i];
  }
  members[kOverallLevel] = overall_;
  members[kSignalOut] = output_;
  members[kSusSeg] = sustain_segment_;
  members[kEndSeg] = end_segment_;
  AppendPlugs(kEightStagePlugs, members, descriptors);
}

void ug_8_stage::Open() {
  for (int32_t i = 0; i < segment_count_; ++i) {
    rate_plugs_[static_cast<size_t>(i)] = plug(kFirstRate + 2 * i);
    level_plugs_[static_cast<size_t>(i)] = plug(kFirstLevel + 2 * i);
  }
  ug_envelope::Open();
}

}  // namespace ov
