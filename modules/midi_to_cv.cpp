#include "modules/midi_to_cv.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr float kSemitone = 0.008333333767950535f;  // 1/120: a semitone in volts / 10
constexpr float kBendGlideSeconds = 0.016666668f;   // bends glide over 1/60 s
constexpr int32_t kGateEdgeDelay = 3;               // samples between gate low and high
constexpr int32_t kNoKey = -1;

// Moves `value` one step towards `target`; the step that would reach or pass
// it lands exactly on it and ends the ramp.
void StepTowards(float& value, float target, float& step) {
  if (step == 0.0f) return;
  const float steps_left = (target - value) / step + 0.5f;
  if (steps_left < 2.0f) {
    value = target;
    step = 0.0f;
  } else {
    value += step;
  }
}

}  // namespace

float ug_midi_to_cv::KeyPitch(int32_t key) {
  return static_cast<float>(key - 69) * kSemitone + 0.5f;
}

double ug_midi_to_cv::GlideSamples(float portamento, float sample_rate) {
  // 2^(10x - 26/3) seconds: about 2.5 ms at 0 V, 79 ms at 5 V, 2.5 s at 10 V.
  const double octaves =
      ((portamento * 10.0 - 2.0) * 12000.0 * 0.1 - 8000.0) * 0.0008333333333333334;
  return std::exp2(octaves) * sample_rate;
}

ug_midi_to_cv::ug_midi_to_cv() {
  history_.fill(kNoKey);
  gate_out_.init(smart_output::kJump, 4);
  velocity_out_.init(smart_output::kSmooth, 8);
  aftertouch_out_.init(smart_output::kLinear, 4);
  SetProcessFunction(&ug_midi_to_cv::Run);
}

std::unique_ptr<ug_base> ug_midi_to_cv::CreateInstance() const {
  return std::make_unique<ug_midi_to_cv>();
}

void ug_midi_to_cv::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiToCvPlugs,
              {PlugMember{}, channel_, bend_range_, gate_, pitch_, velocity_, aftertouch_,
               mono_mode_, retrigger_, portamento_, priority_},
              descriptors);
}

void ug_midi_to_cv::SetUpBuffers() {
  ug_base::SetUpBuffers();
  gate_out_.attach(*plug(kGate));
  velocity_out_.attach(*plug(kVelocity));
  aftertouch_out_.attach(*plug(kAftertouch));
  pitch_countdown_ = Master() != nullptr ? Master()->EngineBlockSize() : 0;
}

void ug_midi_to_cv::Resume() {
  ug_notesource::Resume();
  gate_out_.rearm();
  velocity_out_.rearm();
  aftertouch_out_.rearm();
}

void ug_midi_to_cv::RunAtFullRate() {
  Wake();
  SetProcessFunction(&ug_midi_to_cv::Run);
}

float ug_midi_to_cv::PortamentoNow() const {
  if (portamento_ == nullptr) return 0.0f;
  return SampleNow(portamento_);
}

// --- The model: keys, priorities and glides.

void ug_midi_to_cv::OnNoteOn(uint32_t time, int16_t channel, int16_t key, int16_t velocity) {
  const auto k = static_cast<size_t>(key);
  key_down_[k] = true;
  key_velocity_[k] = velocity;
  history_index_ = (history_index_ + 1) % 16;
  history_[static_cast<size_t>(history_index_)] = key;

  const bool mono = mono_mode_ != 0;
  if (mono && priority_ == kPriorityLow &&
      std::any_of(key_down_.begin(), key_down_.begin() + key, [](bool down) { return down; })) {
    return;  // remembered, not played
  }
  if (mono && priority_ == kPriorityHigh &&
      std::any_of(key_down_.begin() + key + 1, key_down_.end(), [](bool down) { return down; })) {
    return;
  }

  target_pitch_ = KeyPitch(key);
  const float portamento = mono_key_ == kNoKey ? 0.0f : PortamentoNow();
  if (portamento == 0.0f) {
    glide_pitch_ = target_pitch_;
    glide_increment_ = 0.0f;
  } else {
    glide_increment_ = static_cast<float>((target_pitch_ - glide_pitch_) /
                                          GlideSamples(portamento, Master()->SampleRate()));
    RunAtFullRate();
  }
  mono_key_ = key;

  ug_container* voices = Voices();
  if (voices == nullptr) return;
  const int32_t chosen =
      voices->AllocateVoice(time, channel, key, velocity, mono ? 0 : VoiceList::kChooseVoice);
  if (ug_notesource* player = voices->voice(chosen).note_source) {
    player->QueueEvent(time, UET_PITCH_GLIDE, std::bit_cast<int32_t>(glide_pitch_), nullptr,
                       std::bit_cast<int32_t>(target_pitch_), true);
  }
}

int16_t ug_midi_to_cv::KeyAfterRelease(int16_t released) {
  switch (priority_) {
    case kPriorityLow: {
      const auto lowest = std::find(key_down_.begin(), key_down_.end(), true);
      const auto h = static_cast<int16_t>(lowest - key_down_.begin());
      return lowest != key_down_.end() && h > released ? h : kNoKey;
    }
    case kPriorityHigh:
      for (int16_t h = 127; h >= 1; --h) {
        if (key_down_[static_cast<size_t>(h)]) return h < released ? h : kNoKey;
      }
      return kNoKey;
    case kPriorityLast: {
      if (history_[static_cast<size_t>(history_index_)] != released) return kNoKey;
      // Back through the keys pressed before it, dropping those let go.
      history_[static_cast<size_t>(history_index_)] = kNoKey;
      for (int32_t visited = 1; visited < 16; ++visited) {
        history_index_ = (history_index_ + 15) % 16;
        const int16_t h = history_[static_cast<size_t>(history_index_)];
        if (h == kNoKey) return kNoKey;
        if (key_down_[static_cast<size_t>(h)]) return h;
        history_[static_cast<size_t>(history_index_)] = kNoKey;
      }
      return kNoKey;
    }
    default:
      return kNoKey;
  }
}

void ug_midi_to_cv::OnNoteOff(uint32_t time, int16_t channel, int16_t key, int16_t velocity) {
  if (key == mono_key_) mono_key_ = kNoKey;
  key_down_[static_cast<size_t>(key)] = false;
  if (mono_mode_ != 0) {
    const int16_t next = KeyAfterRelease(key);
    if (next != kNoKey) {
      mono_key_ = key;  // so that the returning note glides
      OnNoteOn(time, channel, next, key_velocity_[static_cast<size_t>(next)]);
      return;
    }
  }
  ReleaseNote(time, channel, key, velocity);
}

void ug_midi_to_cv::AdvanceGlideTracking(int32_t count) {
  if (glide_increment_ == 0.0f) return;
  const float moved = glide_pitch_ + glide_increment_ * static_cast<float>(count);
  const bool arrived = glide_increment_ > 0.0f ? moved >= target_pitch_ : moved <= target_pitch_;
  glide_pitch_ = arrived ? target_pitch_ : moved;
  if (arrived) glide_increment_ = 0.0f;
}

// --- A voice: gate, velocity, aftertouch and pitch.

void ug_midi_to_cv::ApplyGate(ug_base& generator) {
  auto& self = static_cast<ug_midi_to_cv&>(generator);
  self.gate_out_.set_target(self.Clock(), self.gate_to_apply_);
  self.SetProcessFunction(&ug_midi_to_cv::Run);
}

void ug_midi_to_cv::OnVoiceNoteOn(uint32_t time, int16_t velocity) {
  RunAtFullRate();
  const auto& channel = Channels()[static_cast<size_t>(NoteChannel() & 15)];
  bend_value_ = bend_target_ = channel.bend * static_cast<float>(bend_range_) / 120.0f;
  bend_step_ = 0.0f;
  const bool mono = mono_mode_ != 0;
  if (retrigger_ != 0 || !mono) gate_out_.set_target(time, 0.0f);
  const float level = static_cast<float>(velocity) / 127.0f;
  const int32_t length =
      mono ? static_cast<int32_t>((std::fabs(level - velocity_out_.current_value()) + 1.0f) * 60.0f)
           : 0;
  velocity_out_.set_target(time, level, length);
  gate_to_apply_ = 1.0f;
  QueueRunFunction(time + kGateEdgeDelay, &ApplyGate);
}

void ug_midi_to_cv::OnVoiceNoteOff(uint32_t time) {
  RunAtFullRate();
  gate_to_apply_ = 0.0f;
  gate_out_.set_target(time, 0.0f);
  QueueRunFunction(time + kGateEdgeDelay, &ApplyGate);
}

void ug_midi_to_cv::OnVoicePressure(uint32_t time, int32_t pressure) {
  RunAtFullRate();
  aftertouch_out_.set_target(time, static_cast<float>(pressure) / 127.0f);
}

void ug_midi_to_cv::OnVoiceBend(uint32_t time, int32_t value) {
  const bool was_still = bend_step_ == 0.0f;
  bend_target_ = static_cast<float>(bend_range_) * (static_cast<float>(value) / 8192.0f) / 120.0f;
  bend_step_ = (bend_target_ - bend_value_) / (Master()->SampleRate() * kBendGlideSeconds);
  if (bend_step_ != 0.0f && was_still) {
    RunAtFullRate();
    pitch_countdown_ = Master()->EngineBlockSize();
    plug(kPitch)->Transmit(time, ST_RUN);
  }
}

void ug_midi_to_cv::OnVoiceGlide(ug_event& event) {
  glide_value_ = std::bit_cast<float>(event.parm1);
  glide_target_ = std::bit_cast<float>(event.parm3);
  const float portamento = PortamentoNow();
  glide_step_ = portamento == 0.0f
                    ? 0.0f
                    : static_cast<float>((glide_target_ - glide_value_) /
                                         GlideSamples(portamento, Master()->SampleRate()));
  if (glide_step_ == 0.0f) glide_value_ = glide_target_;
  RunAtFullRate();
  const bool ramping = glide_step_ != 0.0f || bend_step_ != 0.0f;
  plug(kPitch)->Transmit(event.time_stamp, ramping ? ST_RUN : ST_STATIC);
  pitch_countdown_ = Master()->EngineBlockSize();
}

void ug_midi_to_cv::WritePitch(int32_t position, int32_t count, bool& can_sleep) {
  int32_t i = 0;
  while (i < count && pitch_countdown_ > 0) {
    can_sleep = false;
    if (glide_step_ != 0.0f || bend_step_ != 0.0f) {
      StepTowards(glide_value_, glide_target_, glide_step_);
      StepTowards(bend_value_, bend_target_, bend_step_);
      pitch_[position + i] = bend_value_ + glide_value_;
      if (glide_step_ == 0.0f && bend_step_ == 0.0f) {
        // Settled: downstream computes once more with the final value, then
        // the constant fills one whole block.
        plug(kPitch)->Transmit(Clock() + static_cast<uint32_t>(i), ST_STATIC);
        pitch_countdown_ = Master()->EngineBlockSize();
      }
      ++i;
      continue;
    }
    const int32_t fill = std::min(pitch_countdown_, count - i);
    std::fill_n(pitch_ + position + i, fill, bend_value_ + glide_value_);
    pitch_countdown_ -= fill;
    i += fill;
  }
}

void ug_midi_to_cv::Run(int32_t position, int32_t count) {
  if (IsModel()) AdvanceGlideTracking(count);
  bool can_sleep = glide_increment_ == 0.0f;
  WritePitch(position, count, can_sleep);
  gate_out_.process(position, count, can_sleep);
  velocity_out_.process(position, count, can_sleep);
  aftertouch_out_.process(position, count, can_sleep);
  if (can_sleep) SetProcessFunction(&ug_midi_to_cv::SleepWhenIdle);
}

}  // namespace ov
