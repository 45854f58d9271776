// The checks of `orvane validate`, in two families: audio (loading, rates,
// block sizes, MIDI, odd input, what comes out) and state (parameters, texts,
// programs, chunks and bank/program files).
// Thread: the thread that drives the plug-in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/validate_rig.h"

namespace ov {

struct ValidateOptions {
  std::string library_path;
  bool quick = false;  // fewer and shorter runs
};

struct CheckResult {
  enum Outcome { kPass, kFail, kSkip } outcome = kPass;
  std::string detail;
};

inline CheckResult Pass(std::string detail) { return {CheckResult::kPass, std::move(detail)}; }
inline CheckResult Fail(std::string detail) { return {CheckResult::kFail, std::move(detail)}; }
inline CheckResult Skip(std::string detail) { return {CheckResult::kSkip, std::move(detail)}; }

// Each check gets its own plug-in, loaded and told 44.1 kHz and blocks of
// up to 512 frames, but not yet resumed.
struct Check {
  std::string name;
  std::function<CheckResult(ValidateRig&, const ValidateOptions&)> run;
};

std::vector<Check> AudioChecks();
std::vector<Check> StateChecks();

// A pass naming `what` was done, or a failure naming what the scan found.
CheckResult Verdict(const OutputScan& scan, const std::string& what);

}  // namespace ov
