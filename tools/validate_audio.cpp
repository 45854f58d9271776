// The audio checks: what a host's scan and its audio thread do to a plug-in.
#include <algorithm>
#include <cmath>

#include "tools/validate_checks.h"

namespace ov {
namespace {

constexpr double kRate = 44100;
constexpr int32_t kBlock = 512;

int64_t Frames(double seconds, double rate) { return std::llround(seconds * rate); }

// Seconds of play per check: enough for envelopes and tails to move.
double PlaySeconds(const ValidateOptions& options) { return options.quick ? 0.1 : 1.0; }

CheckResult OpenAndClose(ValidateRig& rig, const ValidateOptions& options) {
  const int times = options.quick ? 5 : 50;
  OutputScan scan;
  for (int i = 0; i < times; ++i) {
    std::string error;
    std::unique_ptr<ValidateRig> other = ValidateRig::Load(options.library_path, &error);
    if (!other) return Fail("load " + std::to_string(i + 1) + ": " + error);
    // Every other one only opens and closes, as a host's scan does.
    if (i % 2 == 1) {
      other->Configure(kRate, kBlock);
      other->Resume();
      other->Play(kBlock, kBlock, ValidateRig::Chord(kBlock));
      other->Suspend();
      scan.non_finite += other->Scan().non_finite;
      scan.overruns += other->Scan().overruns;
    }
  }
  static_cast<void>(rig);
  return Verdict(scan, std::to_string(times) + " times, beside an open instance");
}

CheckResult PlayAtRate(ValidateRig& rig, const ValidateOptions& options, double rate) {
  rig.Configure(rate, kBlock);
  rig.Resume();
  const int64_t frames = Frames(PlaySeconds(options), rate);
  rig.Play(frames, kBlock, ValidateRig::Chord(frames));
  rig.Suspend();
  return Verdict(rig.Scan(), std::to_string(frames) + " frames");
}

CheckResult PlayInBlocks(ValidateRig& rig, const ValidateOptions& options, int32_t block) {
  rig.Configure(kRate, block);
  rig.Resume();
  const int64_t frames = std::max<int64_t>(Frames(PlaySeconds(options), kRate), 4 * block);
  rig.Play(frames, block, ValidateRig::Chord(frames));
  rig.Suspend();
  return Verdict(rig.Scan(), std::to_string(frames) + " frames");
}

// Hosts with a varying buffer give any size up to the one they announced.
CheckResult VaryingBlocks(ValidateRig& rig, const ValidateOptions& options) {
  rig.Configure(kRate, ValidateRig::kMaxBlock);
  rig.Resume();
  std::uniform_int_distribution<int32_t> size(1, ValidateRig::kMaxBlock);
  const int calls = options.quick ? 20 : 200;
  BlockEventScheduler scheduler(ValidateRig::Chord(int64_t{calls} * 2048));
  int64_t position = 0;
  for (int i = 0; i < calls; ++i) {
    // Short blocks more often than long ones, as hosts give.
    const int32_t frames = i % 4 == 0 ? size(rig.Random()) : size(rig.Random()) % 300 + 1;
    rig.Process(frames, &scheduler.TakeBlock(position, frames));
    position += frames;
  }
  rig.Suspend();
  return Verdict(rig.Scan(), std::to_string(calls) + " calls of 1 to 8192 frames");
}

// Some hosts keep calling process around suspend; the plug-in must survive.
CheckResult ProcessWhileSuspended(ValidateRig& rig, const ValidateOptions&) {
  rig.Play(4 * kBlock, kBlock, ValidateRig::Chord(4 * kBlock));
  rig.Resume();
  rig.Play(4 * kBlock, kBlock, ValidateRig::Chord(4 * kBlock));
  rig.Suspend();
  rig.Play(4 * kBlock, kBlock, ValidateRig::Chord(4 * kBlock));
  return Verdict(rig.Scan(), "before the first resume and after suspend");
}

CheckResult RateChangeWhilePlaying(ValidateRig& rig, const ValidateOptions& options) {
  rig.Resume();
  const int64_t frames = Frames(PlaySeconds(options), kRate);
  for (const double rate : {96000.0, 22050.0, 44100.0}) {
    rig.Play(frames, kBlock, ValidateRig::Chord(frames));
    rig.Configure(rate, kBlock);
  }
  rig.Play(frames, kBlock, ValidateRig::Chord(frames));
  rig.Suspend();
  return Verdict(rig.Scan(), "96000, 22050, 44100 Hz set between process calls");
}

// A new block size takes effect at the next resume; until then the host
// keeps to the old one.
CheckResult BlockChangeWhilePlaying(ValidateRig& rig, const ValidateOptions& options) {
  rig.Resume();
  const int64_t frames = Frames(PlaySeconds(options), kRate);
  rig.Play(frames, kBlock, ValidateRig::Chord(frames));
  rig.Configure(kRate, 64);
  rig.Play(frames, 64, ValidateRig::Chord(frames));
  rig.Configure(kRate, 4096);
  rig.Play(frames, 64, ValidateRig::Chord(frames));
  rig.Suspend();
  rig.Resume();
  rig.Play(frames, 4096, ValidateRig::Chord(frames));
  rig.Suspend();
  return Verdict(rig.Scan(), "512, 64 and 4096 set between process calls");
}

// 1,000 MIDI events in one block, then 1,000 more all at its first frame:
// notes, controllers, pitch bend, pressure and program changes on every
// channel, and then every note off.
CheckResult MidiBursts(ValidateRig& rig, const ValidateOptions& options) {
  rig.Resume();
  std::uniform_int_distribution<int> byte(0, 127);
  std::uniform_int_distribution<int> kind(0, 7);
  std::uniform_int_distribution<int> offset(0, kBlock - 1);
  constexpr uint8_t kStatus[] = {0x90, 0x90, 0x80, 0x80, 0xB0, 0xE0, 0xD0, 0xA0};
  const int bursts = options.quick ? 2 : 10;
  std::vector<ScheduledMidi> midi;
  for (int burst = 0; burst < bursts; ++burst) {
    const int64_t block_start = int64_t{burst} * 4 * kBlock;
    for (int i = 0; i < 1000; ++i) {
      const int channel = i % 16;
      const int k = kind(rig.Random());
      uint8_t status = static_cast<uint8_t>(kStatus[k] | channel);
      if (i % 97 == 0) status = static_cast<uint8_t>(0xC0 | channel);  // program change
      const int64_t frame = block_start + (burst % 2 == 0 ? offset(rig.Random()) : 0);
      midi.push_back({frame,
                      {status, static_cast<uint8_t>(byte(rig.Random())),
                       static_cast<uint8_t>(byte(rig.Random()))}});
    }
    for (int channel = 0; channel < 16; ++channel) {
      midi.push_back({block_start + 2 * kBlock, {static_cast<uint8_t>(0xB0 | channel), 123, 0}});
      for (int key = 0; key < 128; ++key) {
        midi.push_back({block_start + 3 * kBlock,
                        {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 0}});
      }
    }
  }
  rig.Play(int64_t{bursts} * 4 * kBlock + Frames(PlaySeconds(options), kRate), kBlock,
           std::move(midi));
  rig.Suspend();
  return Verdict(rig.Scan(), std::to_string(bursts) + " bursts of 1000 events, then all off");
}

// NaN and infinity in the input may come out while they last, but the
// plug-in must not keep them in its state: soon after the input is clean
// again, so is the output.
CheckResult NonFiniteInput(ValidateRig& rig, const ValidateOptions& options) {
  if (rig.Effect().numInputs == 0) return Skip("the plug-in has no inputs");
  rig.Resume();
  rig.SetInput(InputKind::kNonFinite);
  rig.Play(8 * kBlock, kBlock, ValidateRig::Chord(8 * kBlock));
  rig.SetInput(InputKind::kSignal);
  rig.Play(Frames(0.5, kRate), kBlock);
  rig.ResetScan();
  rig.Play(Frames(PlaySeconds(options), kRate), kBlock, ValidateRig::Chord(kBlock * 8));
  rig.Suspend();
  if (!rig.Scan().Clean()) {
    return Fail("0.5 s after NaN/inf input: " + rig.Scan().Faults());
  }
  return Pass("the output is clean 0.5 s after NaN/inf input");
}

// Tails that fade into the denormal range must reach zero instead: denormal
// samples are slow in every plug-in that follows.
CheckResult Denormals(ValidateRig& rig, const ValidateOptions& options) {
  rig.Resume();
  rig.SetInput(InputKind::kFading);
  const int64_t frames = Frames(options.quick ? 1.0 : 3.0, kRate);
  rig.Play(frames, kBlock, ValidateRig::Chord(Frames(0.2, kRate)));
  rig.Suspend();
  const OutputScan& scan = rig.Scan();
  if (scan.denormal > 0) {
    return Fail(std::to_string(scan.denormal) + " denormal samples of " +
                std::to_string(scan.frames * rig.Effect().numOutputs));
  }
  return Verdict(scan, "none in " + std::to_string(frames) + " frames of fading sound");
}

}  // namespace

CheckResult Verdict(const OutputScan& scan, const std::string& what) {
  return scan.Clean() ? Pass(what) : Fail(scan.Faults());
}

std::vector<Check> AudioChecks() {
  std::vector<Check> checks = {{"open and close", OpenAndClose}};
  for (const double rate : {22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
    checks.push_back({"sample rate " + std::to_string(static_cast<int>(rate)),
                      [rate](ValidateRig& rig, const ValidateOptions& options) {
                        return PlayAtRate(rig, options, rate);
                      }});
  }
  for (const int32_t block : {1, 2, 97, 512, 4096, 8192}) {
    checks.push_back({"block size " + std::to_string(block),
                      [block](ValidateRig& rig, const ValidateOptions& options) {
                        return PlayInBlocks(rig, options, block);
                      }});
  }
  checks.insert(checks.end(), {{"varying block sizes", VaryingBlocks},
                               {"process while suspended", ProcessWhileSuspended},
                               {"sample rate change while playing", RateChangeWhilePlaying},
                               {"block size change while playing", BlockChangeWhilePlaying},
                               {"MIDI bursts", MidiBursts},
                               {"NaN and infinity in the input", NonFiniteInput},
                               {"denormals", Denormals}});
  return checks;
}

}  // namespace ov
