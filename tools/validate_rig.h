// What the checks of `orvane validate` drive a plug-in with: a loaded plug-in
// with host buffers sized for the largest block, guard samples after each
// output buffer, an input signal of a chosen kind, and a scan of everything
// the plug-in writes.
// Thread: one thread loads, drives and destroys it.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/block_events.h"
#include "tools/vst_plugin.h"

namespace ov {

// Counts over the output samples of the process calls scanned so far.
struct OutputScan {
  int64_t frames = 0;
  int64_t non_finite = 0;  // NaN or infinity
  int64_t denormal = 0;    // non-zero and below the smallest normal float
  int64_t overruns = 0;    // calls that wrote past the frames they were given

  bool Clean() const { return non_finite == 0 && overruns == 0; }
  // "" when clean, else what went wrong, e.g. "12 NaN/inf samples".
  std::string Faults() const;
};

enum class InputKind {
  kSignal,     // a sine with a little noise on every channel
  kNonFinite,  // NaN, infinities and huge values among the samples
  kFading,     // the signal fading to the smallest normal values, then zero
};

class ValidateRig {
 public:
  static constexpr int32_t kMaxBlock = 8192;
  static constexpr int32_t kMaxChannels = 64;

  // Null on failure with `error` saying why, also when the plug-in's channel
  // counts or process calls are unusable.
  static std::unique_ptr<ValidateRig> Load(const std::string& path, std::string* error);

  VstPlugin& Plugin() { return *plugin_; }
  vst2::AEffect& Effect() { return plugin_->Effect(); }
  std::mt19937& Random() { return random_; }

  // Tells the plug-in (and the host answers) the rate and the largest block.
  void Configure(double sample_rate, int32_t max_block);
  void Resume();
  void Suspend();
  double SampleRate() const { return sample_rate_; }

  void SetInput(InputKind kind) {
    input_kind_ = kind;
    input_frame_ = 0;
  }
  // One process call of `frames` (at most kMaxBlock), after the events.
  void Process(int32_t frames, const vst2::VstEvents* events = nullptr);
  // `frames` in blocks of `block` frames, with MIDI timed from the start.
  void Play(int64_t frames, int32_t block, std::vector<ScheduledMidi> midi = {});
  // Chords held for the first half of `frames`, for instruments to sound.
  static std::vector<ScheduledMidi> Chord(int64_t frames);

  const OutputScan& Scan() const { return scan_; }
  void ResetScan() { scan_ = {}; }

 private:
  explicit ValidateRig(std::unique_ptr<VstPlugin> plugin);
  void FillInputs(int32_t frames);
  void ScanOutputs(int32_t frames);

  std::unique_ptr<VstPlugin> plugin_;
  std::mt19937 random_{20261209};
  double sample_rate_ = 44100;
  int64_t position_ = 0;
  InputKind input_kind_ = InputKind::kSignal;
  int64_t input_frame_ = 0;
  std::vector<std::vector<float>> inputs_;
  std::vector<std::vector<float>> outputs_;  // guards follow each block
  std::vector<float*> input_pointers_;
  std::vector<float*> output_pointers_;
  OutputScan scan_;
};

}  // namespace ov
