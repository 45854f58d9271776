#include "media/soundfont_player.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "engine/ug_container.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr float kTwelfth = 0.083333336f;
constexpr int64_t kLongestRamp = int64_t{1} << 30;
// The duration parameter of the quick release a retriggered voice makes.
constexpr float kRetriggerRelease = -1.0f;

float DurationParameter(int16_t timecents) {
  return (static_cast<float>(timecents) + 8000.0f) / 1200.0f;
}

}  // namespace

ug_sample_player2::ug_sample_player2() { SetProcessFunction(&ug_sample_player2::Process); }

std::unique_ptr<ug_base> ug_sample_player2::CreateInstance() const {
  return std::make_unique<ug_sample_player2>();
}

std::unique_ptr<ug_base> ug_sample_player2::Clone() {
  std::unique_ptr<ug_base> copy = ug_notesource::Clone();
  static_cast<ug_sample_player2&>(*copy).CopyUserSetup(*this);
  return copy;
}

void ug_sample_player2::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kSamplePlayer2Plugs, {PlugMember{}, left_, right_, bank_in_, patch_in_},
              descriptors);
}

void ug_sample_player2::Open() {
  ug_notesource::Open();
  bend_ = 0.0f;
  stage_ = kIdle;
  level_ = 0.0f;
  sounding_ = false;
  OpenUser();
  silent_countdown_ = Master()->EngineBlockSize();
  SetProcessFunction(&ug_sample_player2::Process);
}

void ug_sample_player2::Close() {
  CloseUser();
  ug_notesource::Close();
}

int64_t ug_sample_player2::RampSamples(double p, double rate) {
  const double samples = std::exp2((1200.0 * p - 8000.0) / 1200.0) * rate;
  if (!(samples >= 1.0)) return 1;  // also not a number
  return samples >= static_cast<double>(kLongestRamp) ? kLongestRamp
                                                      : static_cast<int64_t>(samples);
}

float ug_sample_player2::SustainLevel(int16_t gen37) {
  return std::clamp(1.0f - static_cast<float>(gen37) / 1000.0f, 0.0f, 1.0f);
}

void ug_sample_player2::HandleEvent(ug_event& event) {
  if (event.kind == UET_MIDI && IsModel()) {
    const auto word = static_cast<uint32_t>(event.parm1);
    // Only a loaded bank plays, and only on the channels switched on.
    if (Bank() == nullptr || !Bank()->ChannelOn(midi::Channel(word))) return;
  }
  ug_notesource::HandleEvent(event);
}

void ug_sample_player2::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const int32_t number = link->Destination()->Number();
  if ((number == kBank || number == kPatch) && IsModel() && Bank() != nullptr) {
    const int32_t channel = Source() != nullptr ? Source()->CurrentChannel() : 0;
    if (number == kBank) {
      Bank()->SetBank(channel, bank_in_);
    } else {
      Bank()->SetPreset(channel, patch_in_);
    }
    RequestRefresh();
  }
  ug_notesource::OnStatusChange(time, link, state);
}

void ug_sample_player2::OnNotify(int32_t kind, int32_t value) {
  if (TakeNotification(kind, soundfont_bank::kChannels)) {
    RequestRefresh();
    return;
  }
  ug_notesource::OnNotify(kind, value);
}

void ug_sample_player2::OnBankSelect(int16_t channel, int32_t bank) {
  if (Bank() == nullptr) return;
  SetStatusFlag(0);
  Bank()->SetBank(channel, bank);
  RequestRefresh();
}

void ug_sample_player2::OnPatchChange(int16_t channel, int32_t program) {
  // The note source calls every voice copy; the bank is theirs together.
  if (!IsModel() || Bank() == nullptr) return;
  SetStatusFlag(0);
  Bank()->SetPreset(channel, program);
  RequestRefresh();
}

void ug_sample_player2::ComputeIncrement() {
  if (primary_ == nullptr) return;
  const int32_t root =
      gens_[kGenOverridingRootKey] >= 0 ? gens_[kGenOverridingRootKey] : primary_->original_pitch;
  const float range = Channels()[static_cast<std::size_t>(NoteChannel() & 15)].bend_range;
  const float semitones =
      range * bend_ +
      static_cast<float>(NoteKey() - root) * static_cast<float>(gens_[kGenScaleTuning]) * 0.01f +
      (static_cast<float>(gens_[kGenFineTune]) + primary_->correction) * 0.01f +
      static_cast<float>(gens_[kGenCoarseTune]);
  increment_ = IncrementFor(static_cast<double>(semitones * kTwelfth), primary_->rate,
                            Master()->SampleRate());
}

void ug_sample_player2::OnVoiceNoteOn(uint32_t time, int16_t velocity) {
  Wake();
  bend_ = Channels()[static_cast<std::size_t>(NoteChannel() & 15)].bend;
  const Start started = StartZone(NoteChannel(), NoteKey(), velocity);
  if (started != Start::kPlaying) {
    if (started == Start::kRom) {
      SetStatusFlag(1);
      RequestRefresh();
    }
    if (sounding_) EndSound(BlockPosition(), BlockPosition());
    stage_ = kIdle;
    return;
  }
  if (StatusFlag() != 0) {
    SetStatusFlag(0);
    RequestRefresh();
  }
  stereo_ = secondary_ != nullptr;
  attack_ = DurationParameter(gens_[kGenAttackVolEnv]);
  decay_ = DurationParameter(gens_[kGenDecayVolEnv]);
  sustain_ = SustainLevel(gens_[kGenSustainVolEnv]);
  release_ = DurationParameter(gens_[kGenReleaseVolEnv]);
  plug(kLeftOut)->Transmit(time, ST_RUN);
  plug(kRightOut)->Transmit(time, ST_RUN);
  ComputeIncrement();
  fraction_ = 0u - increment_;
  sounding_ = true;
  SetProcessFunction(&ug_sample_player2::Process);
  EnterStage(kAttack, time);
}

void ug_sample_player2::OnVoiceNoteOff(uint32_t time) {
  Wake();
  if (stage_ == kAttack || stage_ == kDecay || stage_ == kSustain) EnterStage(kRelease, time);
}

void ug_sample_player2::OnVoiceRetrigger(uint32_t time) {
  if (stage_ != kIdle && sounding_) {
    stage_ = kRelease;
    loop_released_ = true;
    Ramp(0.0f, kRetriggerRelease, time);
  }
  ug_notesource::OnVoiceRetrigger(time);
}

void ug_sample_player2::OnVoiceBend(uint32_t, int32_t value) {
  if (!zone_playing_) return;
  bend_ = static_cast<float>(value) / 8192.0f;
  ComputeIncrement();
}

void ug_sample_player2::Ramp(float target, float p, uint32_t now) {
  const int64_t samples = RampSamples(p, Master()->SampleRate());
  step_ = (target - level_) / static_cast<float>(samples);
  stage_end_ = static_cast<uint32_t>(now + static_cast<uint32_t>(samples));
  has_end_ = true;
}

void ug_sample_player2::EnterStage(Stage stage, uint32_t now) {
  stage_ = stage;
  has_end_ = false;
  step_ = 0.0f;
  switch (stage) {
    case kAttack:
      level_ = 0.0f;
      Ramp(1.0f, attack_, now);
      return;
    case kDecay:
      Ramp(sustain_, decay_, now);
      return;
    case kSustain:
      level_ = sustain_;
      if (sustain_ <= 0.0f) EndSound(IndexOf(now), IndexOf(now));
      return;
    case kRelease:
      // A loop that plays only while the key is held ends here.
      loop_released_ = true;
      Ramp(0.0f, release_, now);
      return;
    case kIdle:
      level_ = 0.0f;
      EndSound(IndexOf(now), IndexOf(now));
      return;
  }
}

int32_t ug_sample_player2::IndexOf(uint32_t time) const {
  return static_cast<int32_t>(time - Master()->CellStart());
}

void ug_sample_player2::OnBankGone() {
  if (sounding_) EndSound(BlockPosition(), BlockPosition());
}

void ug_sample_player2::EndSound(int32_t index, int32_t end) {
  const uint32_t now = Master()->CellStart() + static_cast<uint32_t>(index);
  std::fill(left_ + index, left_ + end, 0.0f);
  std::fill(right_ + index, right_ + end, 0.0f);
  stage_ = kIdle;
  has_end_ = false;
  level_ = 0.0f;
  zone_playing_ = false;
  if (!sounding_) return;
  sounding_ = false;
  silent_countdown_ = Master()->EngineBlockSize();
  plug(kLeftOut)->Transmit(now, ST_STOP);
  plug(kRightOut)->Transmit(now, ST_STOP);
  if (ug_container* voices = Voices()) voices->VoiceFinished(VoiceIndex(), now);
}

void ug_sample_player2::Process(int32_t position, int32_t count) {
  const int32_t end = position + count;
  while (position < end && sounding_) {
    int32_t run = end - position;
    if (has_end_) {
      const uint32_t now = Master()->CellStart() + static_cast<uint32_t>(position);
      const auto until = static_cast<int32_t>(stage_end_ - now);
      if (until <= 0) {
        // The stage ends here: the next one starts at this sample.
        EnterStage(stage_ == kAttack ? kDecay : stage_ == kDecay ? kSustain : kIdle, now);
        continue;
      }
      run = std::min(run, until);
    }
    const bool going = stereo_ ? Render<true>(position, run) : Render<false>(position, run);
    position += run;
    if (!going) break;  // the rest of the slice is silence
  }
  if (position < end) Silence(position, end - position);
}

template <bool kStereo>
bool ug_sample_player2::Render(int32_t position, int32_t count) {
  const int32_t done = RenderRun<kStereo>(left_ + position, right_ + position, count, level_, step_);
  if (done == count) return true;
  EndSound(position + done, position + count);
  return false;
}

void ug_sample_player2::Silence(int32_t position, int32_t count) {
  if (silent_countdown_ >= 0) {
    std::fill(left_ + position, left_ + position + count, 0.0f);
    std::fill(right_ + position, right_ + position + count, 0.0f);
    silent_countdown_ -= count;
  }
  if (silent_countdown_ < 0) SetProcessFunction(&ug_sample_player2::SleepWhenIdle);
}

std::unique_ptr<ug_base> ug_sample_player::CreateInstance() const {
  return std::make_unique<ug_sample_player>();
}

void ug_sample_player::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kSamplePlayerPlugs, {PlugMember{}, channel_, file_name_, left_, right_},
              descriptors);
}

void ug_sample_player::Open() {
  ug_notesource::Open();
  SetProcessFunction(&ug_sample_player::Silence);
}

void ug_sample_player::Silence(int32_t position, int32_t count) {
  std::fill(left_ + position, left_ + position + count, 0.0f);
  std::fill(right_ + position, right_ + position + count, 0.0f);
  SetProcessFunction(&ug_sample_player::SleepWhenIdle);
}

}  // namespace ov
