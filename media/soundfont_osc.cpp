#include "media/soundfont_osc.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr float kTwelfthOfTen = 0.008333334f;  // one semitone in pitch volts / 10

}  // namespace

ug_osc_sf::ug_osc_sf() {
  unused_.reserve(UPlug::kTextCapacity);
  SetProcessFunction(&ug_osc_sf::RenderSilence);
}

std::unique_ptr<ug_base> ug_osc_sf::CreateInstance() const { return std::make_unique<ug_osc_sf>(); }

std::unique_ptr<ug_base> ug_osc_sf::Clone() {
  std::unique_ptr<ug_base> copy = ug_base::Clone();
  static_cast<ug_osc_sf&>(*copy).CopyUserSetup(*this);
  return copy;
}

void ug_osc_sf::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kOscSfPlugs,
              {unused_, bank_in_, patch_in_, gate_, pitch_, velocity_, left_, right_,
               ignore_program_change_},
              descriptors);
}

void ug_osc_sf::Open() {
  ug_base::Open();
  OpenUser();
  playing_ = false;
  gate_high_ = false;
  silent_countdown_ = Master()->EngineBlockSize();
  ChooseRenderer();
}

void ug_osc_sf::Close() {
  CloseUser();
  ug_base::Close();
}

uint32_t ug_osc_sf::IncrementAt(float pitch) const {
  if (primary_ == nullptr) return 0;
  return IncrementFor(static_cast<double>((pitch - pitch_base_) * pitch_scale_), primary_->rate,
                      Master()->SampleRate());
}

void ug_osc_sf::StartNote(int32_t index, float pitch, float velocity) {
  if (Bank() == nullptr) return;
  Wake();
  const auto key = std::clamp(static_cast<int32_t>(std::floor((pitch - 0.5f) * 120.0f + 69.5f)), 0,
                              127);
  const auto velocity_number = std::clamp(static_cast<int32_t>(velocity * 127.0f), 0, 127);
  const Start started = StartZone(0, key, velocity_number);
  if (started != Start::kPlaying) {
    if (started == Start::kRom) {
      SetStatusFlag(1);
      RequestRefresh();
    }
    playing_ = false;
    ChooseRenderer();
    return;
  }
  if (StatusFlag() != 0) {
    SetStatusFlag(0);
    RequestRefresh();
  }
  playing_ = true;
  const uint32_t now = Master()->CellStart() + static_cast<uint32_t>(index);
  plug(kLeft)->Transmit(now, ST_RUN);
  plug(kRight)->Transmit(now, ST_RUN);
  const int32_t root =
      gens_[kGenOverridingRootKey] >= 0 ? gens_[kGenOverridingRootKey] : primary_->original_pitch;
  const float tuning = (static_cast<float>(gens_[kGenFineTune]) + primary_->correction) * 0.01f +
                       static_cast<float>(gens_[kGenCoarseTune]) + static_cast<float>(key - root);
  pitch_base_ = static_cast<float>(key - 69) * kTwelfthOfTen + 0.5f - tuning * kTwelfthOfTen;
  pitch_scale_ = static_cast<float>(gens_[kGenScaleTuning]) * 0.1f;
  increment_ = IncrementAt(pitch);
  // The first output sample reads the start position exactly.
  fraction_ = 0u - increment_;
  ChooseRenderer();
}

void ug_osc_sf::EndSound(int32_t index, int32_t end) {
  const uint32_t now = Master()->CellStart() + static_cast<uint32_t>(index);
  plug(kLeft)->Transmit(now, ST_STOP);
  plug(kRight)->Transmit(now, ST_STOP);
  playing_ = false;
  zone_playing_ = false;
  silent_countdown_ = Master()->EngineBlockSize();
  ChooseRenderer();
  std::fill(left_ + index, left_ + end, 0.0f);
  std::fill(right_ + index, right_ + end, 0.0f);
}

void ug_osc_sf::OnBankGone() {
  if (!playing_) return;
  EndSound(BlockPosition(), BlockPosition());
}

void ug_osc_sf::ChooseRenderer() {
  const bool stereo = secondary_ != nullptr;
  const bool pitch_runs = plug(kPitch)->State() == ST_RUN;
  if (!playing_) {
    renderer_ = &ug_osc_sf::RenderSilence;
  } else if (stereo) {
    renderer_ = pitch_runs ? &ug_osc_sf::Render<true, true> : &ug_osc_sf::Render<true, false>;
  } else {
    renderer_ = pitch_runs ? &ug_osc_sf::Render<false, true> : &ug_osc_sf::Render<false, false>;
  }
  if (plug(kGate)->State() == ST_RUN) {
    SetProcessFunction(&ug_osc_sf::GateScanner);
  } else {
    SetProcessFunction(&ug_osc_sf::RunRenderer);
  }
}

void ug_osc_sf::GateScanner(int32_t position, int32_t count) {
  int32_t start = position;
  const int32_t end = position + count;
  for (int32_t i = position; i < end; ++i) {
    const bool high = gate_[i] > 0.0f;
    if (high == gate_high_) continue;
    if (i > start) RunRenderer(start, i - start);
    start = i;
    gate_high_ = high;
    if (high) {
      StartNote(i, pitch_[i], velocity_[i]);
    } else {
      loop_released_ = true;
    }
  }
  RunRenderer(start, end - start);
}

template <bool kStereo, bool kPitchRuns>
void ug_osc_sf::Render(int32_t position, int32_t count) {
  const int32_t end = position + count;
  if constexpr (!kPitchRuns) {
    float level = 1.0f;
    const int32_t done = RenderRun<kStereo>(left_ + position, right_ + position, count, level, 0.0f);
    if (done < count) EndSound(position + done, end);
    return;
  }
  for (int32_t i = position; i < end; ++i) {
    increment_ = IncrementAt(pitch_[i]);
    if (!Advance()) {
      EndSound(i, end);
      return;
    }
    const float primary = Primary();
    left_[i] = kStereo ? Secondary() : primary;
    right_[i] = primary;
  }
}

void ug_osc_sf::RenderSilence(int32_t position, int32_t count) {
  if (silent_countdown_ >= 0) {
    std::fill(left_ + position, left_ + position + count, 0.0f);
    std::fill(right_ + position, right_ + position + count, 0.0f);
    silent_countdown_ -= count;
  }
  // One block of zeros stays in the buffers; then it sleeps till an event.
  if (silent_countdown_ < 0 && plug(kGate)->State() != ST_RUN) {
    SetProcessFunction(&ug_osc_sf::SleepWhenIdle);
  }
}

void ug_osc_sf::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  switch (link->Destination()->Number()) {
    case kGate:
      if (state != ST_RUN) {
        const bool high = plug(kGate)->ValueAtClock() > 0.0f;
        if (high != gate_high_) {
          gate_high_ = high;
          if (high) {
            StartNote(BlockPosition(), plug(kPitch)->ValueAtClock(),
                      plug(kVelocity)->ValueAtClock());
          } else {
            loop_released_ = true;
          }
        }
      }
      ChooseRenderer();
      break;
    case kPitch:
      if (playing_ && plug(kPitch)->State() != ST_RUN) {
        increment_ = IncrementAt(plug(kPitch)->ValueAtClock());
      }
      ChooseRenderer();
      break;
    case kBank:
    case kPatch:
      ChoiceChanged(link->Destination()->Number() == kBank);
      break;
    default:
      break;
  }
  (void)time;
  (void)state;
}

void ug_osc_sf::ChoiceChanged(bool bank) {
  soundfont_bank* loaded = Bank();
  if (loaded == nullptr || (Flags() & UGF_CLONE) != 0) return;
  SetStatusFlag(0);
  const int32_t channel = Source() != nullptr ? Source()->CurrentChannel() : 0;
  if (bank) {
    loaded->SetBank(channel, bank_in_);
  } else {
    loaded->SetPreset(channel, patch_in_);
  }
  RequestRefresh();
  for (ug_base* each = this; each != nullptr; each = each->NextClone()) {
    auto& osc = static_cast<ug_osc_sf&>(*each);
    if (!osc.playing_) continue;
    const int32_t at = osc.BlockPosition();
    osc.EndSound(at, at);
    osc.StartNote(at, osc.plug(kPitch)->ValueAtClock(), osc.plug(kVelocity)->ValueAtClock());
  }
}

void ug_osc_sf::OnNotify(int32_t kind, int32_t value) {
  if (TakeNotification(kind, 1)) {
    RequestRefresh();
    return;
  }
  ug_base::OnNotify(kind, value);
}

}  // namespace ov
