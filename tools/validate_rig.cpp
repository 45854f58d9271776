#include "tools/validate_rig.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ov {
namespace {

constexpr int32_t kGuardSamples = 16;
// A value no plug-in writes by chance.
constexpr float kGuardValue = -1234.5678f;

// Plug-in notices (automation reports and the like) are not wanted here.
std::ostream& Discard() {
  static std::ostream stream(nullptr);
  return stream;
}

}  // namespace

std::string OutputScan::Faults() const {
  std::string faults;
  const auto add = [&](int64_t count, const char* what) {
    if (count == 0) return;
    faults += (faults.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  add(non_finite, "NaN/inf samples");
  if (overruns > 0) {
    faults += (faults.empty() ? "" : ", ") + std::string("wrote past the block in ") +
              std::to_string(overruns) + " calls";
  }
  return faults;
}

std::unique_ptr<ValidateRig> ValidateRig::Load(const std::string& path, std::string* error) {
  std::unique_ptr<VstPlugin> plugin = VstPlugin::Load(path, Discard(), error);
  if (!plugin) return nullptr;
  const vst2::AEffect& effect = plugin->Effect();
  if (effect.numInputs < 0 || effect.numInputs > kMaxChannels || effect.numOutputs < 0 ||
      effect.numOutputs > kMaxChannels) {
    *error = path + ": unusable channel counts (" + std::to_string(effect.numInputs) + " in, " +
             std::to_string(effect.numOutputs) + " out)";
    return nullptr;
  }
  if (effect.processReplacing == nullptr && effect.process == nullptr) {
    *error = path + ": the plug-in has no process call";
    return nullptr;
  }
  return std::unique_ptr<ValidateRig>(new ValidateRig(std::move(plugin)));
}

ValidateRig::ValidateRig(std::unique_ptr<VstPlugin> plugin) : plugin_(std::move(plugin)) {
  const vst2::AEffect& effect = plugin_->Effect();
  // Plug-ins without inputs still get one buffer: some read it anyway.
  inputs_.assign(std::max(effect.numInputs, 1), std::vector<float>(kMaxBlock));
  outputs_.assign(std::max(effect.numOutputs, 1), std::vector<float>(kMaxBlock + kGuardSamples));
  for (auto& channel : inputs_) input_pointers_.push_back(channel.data());
  for (auto& channel : outputs_) output_pointers_.push_back(channel.data());
}

void ValidateRig::Configure(double sample_rate, int32_t max_block) {
  sample_rate_ = sample_rate;
  HostSession& session = plugin_->Session();
  session.SetSampleRate(sample_rate);
  session.SetBlockSize(max_block);
  plugin_->Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sample_rate));
  plugin_->Dispatch(vst2::effSetBlockSize, 0, max_block);
}

void ValidateRig::Resume() {
  plugin_->Dispatch(vst2::effMainsChanged, 0, 1);
  plugin_->Dispatch(vst2::effStartProcess);
  plugin_->Session().SetRendering(true);
}

void ValidateRig::Suspend() {
  plugin_->Session().SetRendering(false);
  plugin_->Dispatch(vst2::effStopProcess);
  plugin_->Dispatch(vst2::effMainsChanged, 0, 0);
}

void ValidateRig::FillInputs(int32_t frames) {
  constexpr float kOdd[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e30f, -1e30f};
  std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
  const double step = 2 * std::numbers::pi * 220.0 / sample_rate_;
  for (int32_t i = 0; i < frames; ++i) {
    const int64_t n = input_frame_ + i;
    float value = static_cast<float>(0.5 * std::sin(step * static_cast<double>(n)));
    switch (input_kind_) {
      case InputKind::kSignal:
        value += noise(random_);
        break;
      case InputKind::kNonFinite:
        if (n % 7 == 0) value = kOdd[(n / 7) % std::size(kOdd)];
        break;
      case InputKind::kFading:
        // Down by about 1500 dB a second: to the smallest normal values soon.
        value *= static_cast<float>(std::exp(-170.0 * static_cast<double>(n) / sample_rate_));
        // The host gives no denormals: any that come out are the plug-in's own.
        if (std::fabs(value) < std::numeric_limits<float>::min()) value = 0;
        break;
    }
    for (auto& channel : inputs_) channel[i] = value;
  }
  input_frame_ += frames;
}

void ValidateRig::Process(int32_t frames, const vst2::VstEvents* events) {
  frames = std::clamp(frames, 0, kMaxBlock);
  vst2::AEffect& effect = plugin_->Effect();
  FillInputs(frames);
  for (auto& channel : outputs_) {
    std::fill_n(channel.begin(), frames, 0.0f);
    std::fill_n(channel.begin() + frames, kGuardSamples, kGuardValue);
  }
  plugin_->Session().BeginBlock(position_);
  if (events != nullptr && events->numEvents > 0) {
    plugin_->Dispatch(vst2::effProcessEvents, 0, 0, const_cast<vst2::VstEvents*>(events));
  }
  // The accumulating call adds to zeroed buffers when replacing is not offered.
  const bool replacing =
      effect.processReplacing != nullptr && (effect.flags & vst2::effFlagsCanReplacing);
  (replacing ? effect.processReplacing : effect.process)(&effect, input_pointers_.data(),
                                                         output_pointers_.data(), frames);
  position_ += frames;
  ScanOutputs(frames);
}

void ValidateRig::ScanOutputs(int32_t frames) {
  bool overrun = false;
  for (int32_t c = 0; c < plugin_->Effect().numOutputs; ++c) {
    const std::vector<float>& channel = outputs_[c];
    for (int32_t i = 0; i < frames; ++i) {
      const float sample = channel[i];
      if (!std::isfinite(sample)) {
        ++scan_.non_finite;
      } else if (sample != 0 && std::fabs(sample) < std::numeric_limits<float>::min()) {
        ++scan_.denormal;
      }
    }
    for (int32_t i = frames; i < frames + kGuardSamples; ++i) {
      if (channel[i] != kGuardValue) overrun = true;
    }
  }
  if (overrun) ++scan_.overruns;
  scan_.frames += frames;
}

std::vector<ScheduledMidi> ValidateRig::Chord(int64_t frames) {
  std::vector<ScheduledMidi> chord;
  for (const uint8_t key : {48, 60, 64, 67}) {
    chord.push_back({0, {0x90, key, 100}});
    chord.push_back({frames / 2, {0x80, key, 64}});
  }
  return chord;
}

void ValidateRig::Play(int64_t frames, int32_t block, std::vector<ScheduledMidi> midi) {
  BlockEventScheduler scheduler(std::move(midi));
  for (int64_t done = 0; done < frames; done += block) {
    const auto length = static_cast<int32_t>(std::min<int64_t>(block, frames - done));
    Process(length, &scheduler.TakeBlock(done, length));
  }
}

}  // namespace ov
