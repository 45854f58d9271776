// The state checks: parameters, the texts a plug-in writes into host
// buffers, programs, and saving and restoring its state.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <span>

#include "platform/files.h"
#include "platform/text.h"
#include "tools/state_files.h"
#include "tools/validate_checks.h"

namespace ov {
namespace {

constexpr int32_t kBlock = 512;
constexpr std::size_t kMaxFaultsShown = 3;

// Faults found while a check runs; the first few are shown.
class Faults {
 public:
  void Add(const std::string& fault) {
    if (count_++ < kMaxFaultsShown) text_ += (text_.empty() ? "" : "; ") + fault;
  }
  bool Any() const { return count_ > 0; }
  CheckResult Verdict(const OutputScan& scan, const std::string& what) const {
    if (!Any()) return ov::Verdict(scan, what);
    return Fail(text_ + (count_ > kMaxFaultsShown
                             ? " (and " + std::to_string(count_ - kMaxFaultsShown) + " more)"
                             : ""));
  }

 private:
  std::size_t count_ = 0;
  std::string text_;
};

// A text the plug-in writes into a buffer of `limit` bytes, the size the
// interface gives it, followed by guard bytes: it must end within the
// buffer and leave the guards alone. An untouched buffer is no answer.
std::string AskText(const VstPlugin& plugin, int32_t opcode, int32_t index, std::size_t limit,
                    const std::string& what, Faults& faults) {
  constexpr std::size_t kGuardBytes = 256;
  constexpr char kFill = '\x5A';
  std::vector<char> buffer(limit + kGuardBytes, kFill);
  plugin.Dispatch(opcode, index, 0, buffer.data());
  const auto limit_end = buffer.begin() + static_cast<long>(limit);
  if (std::all_of(buffer.begin(), buffer.end(), [](char c) { return c == kFill; })) return {};
  const auto terminator = std::find(buffer.begin(), limit_end, '\0');
  const bool guards_kept =
      std::all_of(limit_end, buffer.end(), [](char c) { return c == kFill; });
  if (terminator == limit_end || !guards_kept) {
    const std::size_t length = strnlen(buffer.data(), buffer.size());
    faults.Add(what + " takes " + std::to_string(length + 1) + " bytes of " +
               std::to_string(limit));
  }
  return std::string(buffer.begin(), terminator);
}

bool HasParameterCalls(const vst2::AEffect& effect) {
  return effect.setParameter != nullptr && effect.getParameter != nullptr;
}

std::vector<float> ReadParameters(vst2::AEffect& effect) {
  std::vector<float> values;
  for (int32_t i = 0; i < effect.numParams; ++i) values.push_back(effect.getParameter(&effect, i));
  return values;
}

// Hosts draw and store what getParameter answers: it stays within 0..1
// whatever set the values.
void CheckRanges(vst2::AEffect& effect, const std::string& when, Faults& faults) {
  if (!HasParameterCalls(effect)) return;
  const std::vector<float> values = ReadParameters(effect);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!(values[i] >= 0.0f && values[i] <= 1.0f)) {
      faults.Add("parameter " + std::to_string(i) + " reads " + FormatDouble(values[i]) + " " +
                 when);
    }
  }
}

void RandomiseParameters(ValidateRig& rig) {
  vst2::AEffect& effect = rig.Effect();
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (int32_t i = 0; i < effect.numParams; ++i) effect.setParameter(&effect, i, value(rig.Random()));
}

// Where two sets of parameter values first differ, as a fault; "" if equal.
// Parameters marked in `skipped` are left out.
std::string CompareParameters(const std::vector<float>& expected, const std::vector<float>& got,
                              const std::vector<bool>& skipped = {}) {
  for (std::size_t i = 0; i < expected.size() && i < got.size(); ++i) {
    if (i < skipped.size() && skipped[i]) continue;
    if (std::memcmp(&expected[i], &got[i], sizeof(float)) != 0) {
      return "parameter " + std::to_string(i) + " reads " + FormatDouble(got[i]) + ", not " +
             FormatDouble(expected[i]);
    }
  }
  return {};
}

std::string CompareBytes(std::span<const uint8_t> expected, std::span<const uint8_t> got) {
  if (expected.size() != got.size()) {
    return std::to_string(got.size()) + " bytes read back, " + std::to_string(expected.size()) +
           " given";
  }
  const auto difference = std::mismatch(expected.begin(), expected.end(), got.begin());
  if (difference.first == expected.end()) return {};
  return "byte " + std::to_string(difference.first - expected.begin()) + " of " +
         std::to_string(expected.size()) + " differs";
}

// Each parameter set to 0, 1 and random values while playing: it reads back
// within 0..1, and a value read back keeps when set again.
CheckResult Parameters(ValidateRig& rig, const ValidateOptions& options) {
  vst2::AEffect& effect = rig.Effect();
  if (effect.numParams == 0) return Pass("no parameters");
  if (!HasParameterCalls(effect)) return Fail("parameters without set and get calls");
  rig.Resume();
  std::uniform_real_distribution<float> random(0.0f, 1.0f);
  const int randoms = options.quick ? 1 : 3;
  Faults faults;
  CheckRanges(effect, "at load", faults);
  for (int32_t p = 0; p < effect.numParams; ++p) {
    std::vector<float> values = {0.0f, 1.0f};
    for (int i = 0; i < randoms; ++i) values.push_back(random(rig.Random()));
    for (const float value : values) {
      effect.setParameter(&effect, p, value);
      const float read = effect.getParameter(&effect, p);
      const std::string name = "parameter " + std::to_string(p);
      if (!(read >= 0.0f && read <= 1.0f)) {
        faults.Add(name + " set to " + FormatDouble(value) + " reads " + FormatDouble(read));
        continue;
      }
      effect.setParameter(&effect, p, read);
      const float again = effect.getParameter(&effect, p);
      if (std::fabs(again - read) > 1e-6f) {
        faults.Add(name + " set to its own " + FormatDouble(read) + " reads " +
                   FormatDouble(again));
      }
    }
    rig.Process(64);
  }
  rig.Suspend();
  return faults.Verdict(rig.Scan(), std::to_string(effect.numParams) + " parameters, " +
                                        std::to_string(2 + randoms) + " values each");
}

// Parameter texts: the interface's nominal size is 8 bytes, which plug-ins
// commonly exceed and hosts tolerate by giving 32 or more; the buffer here is
// 32 bytes, and texts beyond the nominal size are only noted.
CheckResult ParameterTexts(ValidateRig& rig, const ValidateOptions&) {
  constexpr std::size_t kHostBuffer = 32;
  vst2::AEffect& effect = rig.Effect();
  if (effect.numParams == 0) return Pass("no parameters");
  Faults faults;
  std::size_t longest = 0;
  const auto ask = [&](int32_t opcode, int32_t p, const std::string& what) {
    longest = std::max(longest, AskText(rig.Plugin(), opcode, p, kHostBuffer, what, faults).size());
  };
  for (int32_t p = 0; p < effect.numParams; ++p) {
    const std::string name = "parameter " + std::to_string(p);
    ask(vst2::effGetParamName, p, name + " name");
    ask(vst2::effGetParamLabel, p, name + " label");
    for (const float value : {0.0f, 0.5f, 1.0f}) {
      if (HasParameterCalls(effect)) effect.setParameter(&effect, p, value);
      ask(vst2::effGetParamDisplay, p, name + " display at " + FormatDouble(value));
    }
  }
  const std::size_t bytes = longest + 1;
  return faults.Verdict({}, std::to_string(effect.numParams) +
                                " parameters' names, labels and displays: up to " +
                                std::to_string(bytes) + " bytes" +
                                (bytes > vst2::kMaxParamStrLen
                                     ? " (over the nominal " +
                                           std::to_string(vst2::kMaxParamStrLen) + ")"
                                     : ""));
}

CheckResult PluginTexts(ValidateRig& rig, const ValidateOptions&) {
  Faults faults;
  const VstPlugin& plugin = rig.Plugin();
  const std::string name = AskText(plugin, vst2::effGetEffectName, 0, vst2::kMaxEffectNameLen,
                                   "the effect name", faults);
  const std::string vendor =
      AskText(plugin, vst2::effGetVendorString, 0, vst2::kMaxVendorStrLen, "the vendor", faults);
  AskText(plugin, vst2::effGetProductString, 0, vst2::kMaxProductStrLen, "the product", faults);
  // Pin properties: a record, then guard bytes.
  const vst2::AEffect& effect = rig.Effect();
  for (const bool output : {false, true}) {
    const int32_t count = output ? effect.numOutputs : effect.numInputs;
    for (int32_t i = 0; i < count; ++i) {
      constexpr uint8_t kFill = 0x5A;
      struct {
        vst2::VstPinProperties pin;
        uint8_t guard[256];
      } record;
      std::memset(&record, kFill, sizeof record);
      const std::string pin = std::string(output ? "output " : "input ") + std::to_string(i);
      if (plugin.Dispatch(output ? vst2::effGetOutputProperties : vst2::effGetInputProperties, i,
                          0, &record.pin) == 0) {
        continue;
      }
      if (std::any_of(std::begin(record.guard), std::end(record.guard),
                      [](uint8_t b) { return b != kFill; })) {
        faults.Add(pin + " properties written past the record");
      }
      if (std::memchr(record.pin.label, 0, sizeof record.pin.label) == nullptr) {
        faults.Add(pin + " label unterminated");
      }
      if (std::memchr(record.pin.shortLabel, 0, sizeof record.pin.shortLabel) == nullptr) {
        faults.Add(pin + " short label unterminated");
      }
    }
  }
  return faults.Verdict({}, "\"" + name + "\" by \"" + vendor + "\", product and pins bounded");
}

// Every program chosen in turn while playing: it becomes the current one
// and its names fit the host's 24 bytes.
CheckResult Programs(ValidateRig& rig, const ValidateOptions& options) {
  const int32_t count = rig.Effect().numPrograms;
  if (count <= 0) return Pass("no programs");
  const int32_t tried = std::min(count, options.quick ? 16 : 128);
  rig.Resume();
  Faults faults;
  VstPlugin& plugin = rig.Plugin();
  for (int32_t i = 0; i < tried; ++i) {
    plugin.Dispatch(vst2::effSetProgram, 0, i);
    CheckRanges(rig.Effect(), "in program " + std::to_string(i), faults);
    const intptr_t current = plugin.Dispatch(vst2::effGetProgram);
    if (current != i) {
      faults.Add("program " + std::to_string(i) + " chosen, " + std::to_string(current) +
                 " current");
    }
    const std::string name = "program " + std::to_string(i);
    AskText(plugin, vst2::effGetProgramName, 0, vst2::kMaxProgNameLen, name + " name", faults);
    AskText(plugin, vst2::effGetProgramNameIndexed, i, vst2::kMaxProgNameLen,
            name + " indexed name", faults);
    rig.Play(kBlock, 128, ValidateRig::Chord(kBlock));
  }
  plugin.Dispatch(vst2::effSetProgram, 0, 0);
  rig.Process(kBlock);
  rig.Suspend();
  return faults.Verdict(rig.Scan(), std::to_string(tried) + " of " + std::to_string(count) +
                                        " programs chosen and named");
}

std::vector<uint8_t> GetChunk(VstPlugin& plugin, bool program) {
  void* data = nullptr;
  const intptr_t size = plugin.Dispatch(vst2::effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return {bytes, bytes + size};
}

// Readouts: parameters that hosts may not automate and whose values the
// plug-in keeps to itself, ignoring what a host sets (a level meter, say).
// Their values are the plug-in's measurements, not its state, so state
// round trips leave them out.
std::vector<bool> FindReadouts(ValidateRig& rig) {
  vst2::AEffect& effect = rig.Effect();
  std::vector<bool> readouts(static_cast<std::size_t>(std::max(effect.numParams, 0)), false);
  for (int32_t i = 0; i < effect.numParams; ++i) {
    if (rig.Plugin().Dispatch(vst2::effCanBeAutomated, i) != 0) continue;
    const float before = effect.getParameter(&effect, i);
    effect.setParameter(&effect, i, before < 0.5f ? 1.0f : 0.0f);
    const float after = effect.getParameter(&effect, i);
    readouts[static_cast<std::size_t>(i)] = std::memcmp(&before, &after, sizeof(float)) == 0;
    effect.setParameter(&effect, i, before);
  }
  return readouts;
}

// A state saved, then other values, then the state given back: the plug-in
// saves the very same bytes again and reads the same parameter values.
CheckResult ChunkRoundTrip(ValidateRig& rig, const ValidateOptions&, bool program) {
  vst2::AEffect& effect = rig.Effect();
  if (!(effect.flags & vst2::effFlagsProgramChunks)) return Skip("the plug-in keeps no chunks");
  rig.Resume();
  const std::vector<bool> readouts = HasParameterCalls(effect) ? FindReadouts(rig)
                                                               : std::vector<bool>();
  if (HasParameterCalls(effect)) RandomiseParameters(rig);
  rig.Process(kBlock);
  std::vector<uint8_t> saved = GetChunk(rig.Plugin(), program);
  if (saved.empty()) return Fail("the plug-in gave no chunk");
  const std::vector<float> values = HasParameterCalls(effect) ? ReadParameters(effect)
                                                              : std::vector<float>();
  if (HasParameterCalls(effect)) RandomiseParameters(rig);
  rig.Process(kBlock);
  rig.Plugin().Dispatch(vst2::effSetChunk, program ? 1 : 0, static_cast<intptr_t>(saved.size()),
                        saved.data());
  rig.Process(kBlock);
  Faults faults;
  CheckRanges(effect, "after the chunk was loaded", faults);
  // A readout's latest reading is saved with the rest, so with readouts
  // the bytes need not match; the other parameters' values still must.
  const bool moving = std::find(readouts.begin(), readouts.end(), true) != readouts.end();
  if (!moving) {
    const std::string bytes = CompareBytes(saved, GetChunk(rig.Plugin(), program));
    if (!bytes.empty()) faults.Add("saved again: " + bytes);
  }
  if (HasParameterCalls(effect)) {
    const std::string parameters = CompareParameters(values, ReadParameters(effect), readouts);
    if (!parameters.empty()) faults.Add(parameters);
  }
  rig.Suspend();
  return faults.Verdict(rig.Scan(), std::to_string(saved.size()) +
                                        (moving ? " bytes, bit-exact values but for readouts"
                                                : " bytes, bit-exact"));
}

// The same through bank and program files, as a host saves them.
CheckResult FileRoundTrip(ValidateRig& rig, const ValidateOptions&, const std::string& extension) {
  vst2::AEffect& effect = rig.Effect();
  if (!(effect.flags & vst2::effFlagsProgramChunks)) {
    return Skip("the plug-in keeps no chunks, so its files hold parameters only");
  }
  const std::filesystem::path base = std::filesystem::temp_directory_path() /
                                     ("orvane-validate-" + std::to_string(std::random_device{}()));
  const std::string first = base.string() + "-saved" + extension;
  const std::string second = base.string() + "-again" + extension;
  if (HasParameterCalls(effect)) RandomiseParameters(rig);
  std::string error;
  Faults faults;
  std::vector<uint8_t> saved, again;
  if (!SaveStateFile(rig.Plugin(), first, &error)) {
    faults.Add(error);
  } else {
    if (HasParameterCalls(effect)) RandomiseParameters(rig);
    if (!LoadStateFile(rig.Plugin(), first, &error) ||
        !SaveStateFile(rig.Plugin(), second, &error) ||
        !ReadFileBytes(first, std::size_t{1} << 30, &saved, &error) ||
        !ReadFileBytes(second, std::size_t{1} << 30, &again, &error)) {
      faults.Add(error);
    } else {
      const std::string bytes = CompareBytes(saved, again);
      if (!bytes.empty()) faults.Add("saved again: " + bytes);
    }
  }
  std::error_code ignored;
  std::filesystem::remove(first, ignored);
  std::filesystem::remove(second, ignored);
  return faults.Verdict({}, std::to_string(saved.size()) + " bytes, bit-exact");
}

// What a host restores of a plug-in without chunks: every parameter value.
CheckResult ParameterStateRoundTrip(ValidateRig& rig, const ValidateOptions&) {
  vst2::AEffect& effect = rig.Effect();
  if (effect.numParams == 0) return Pass("no parameters");
  if (!HasParameterCalls(effect)) return Fail("parameters without set and get calls");
  RandomiseParameters(rig);
  const std::vector<float> saved = ReadParameters(effect);
  RandomiseParameters(rig);
  for (int32_t i = 0; i < effect.numParams; ++i) effect.setParameter(&effect, i, saved[i]);
  const std::string difference = CompareParameters(saved, ReadParameters(effect));
  if (!difference.empty()) return Fail(difference);
  return Pass(std::to_string(effect.numParams) + " values, bit-exact");
}

}  // namespace

std::vector<Check> StateChecks() {
  using namespace std::placeholders;
  return {{"parameters", Parameters},
          {"parameter texts", ParameterTexts},
          {"plug-in texts", PluginTexts},
          {"programs", Programs},
          {"bank chunk round trip", std::bind(ChunkRoundTrip, _1, _2, false)},
          {"program chunk round trip", std::bind(ChunkRoundTrip, _1, _2, true)},
          {"bank file round trip", std::bind(FileRoundTrip, _1, _2, ".fxb")},
          {"program file round trip", std::bind(FileRoundTrip, _1, _2, ".fxp")},
          {"parameter state round trip", ParameterStateRoundTrip}};
}

}  // namespace ov
