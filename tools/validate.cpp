#include "tools/validate.h"

#include <iomanip>

#include "platform/child_process.h"
#include "tools/arguments.h"
#include "tools/validate_lv2.h"

namespace ov {
namespace {

constexpr double kRate = 44100;
constexpr int32_t kBlock = 512;
constexpr int kNameWidth = 34;
// Far more than any check takes; a plug-in that hangs is stopped after it.
constexpr unsigned kFullTimeoutSeconds = 600;
constexpr unsigned kQuickTimeoutSeconds = 120;

// A check's outcome travels from the child as one letter and the detail.
constexpr char kOutcomeLetters[] = {'P', 'F', 'S'};
constexpr const char* kOutcomeNames[] = {"PASS", "FAIL", "SKIP"};

std::string Encode(const CheckResult& result) {
  return kOutcomeLetters[result.outcome] + result.detail;
}

CheckResult Decode(const std::string& report) {
  for (int outcome = 0; outcome < 3; ++outcome) {
    if (!report.empty() && report[0] == kOutcomeLetters[outcome]) {
      return {static_cast<CheckResult::Outcome>(outcome), report.substr(1)};
    }
  }
  return Fail("unreadable answer from the check");
}

CheckResult RunIsolated(const std::function<CheckResult()>& work, const ValidateOptions& options) {
  const ChildOutcome outcome = RunInChild([&] { return Encode(work()); },
                                          options.quick ? kQuickTimeoutSeconds : kFullTimeoutSeconds);
  return outcome.finished ? Decode(outcome.report) : Fail(outcome.failure);
}

std::string Describe(ValidateRig& rig) {
  const vst2::AEffect& effect = rig.Effect();
  const auto count = [](int32_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  return "\"" + rig.Plugin().DispatchText(vst2::effGetEffectName) + "\", " +
         count(effect.numInputs, "input") + ", " + count(effect.numOutputs, "output") + ", " +
         count(effect.numParams, "parameter") + ", " + count(effect.numPrograms, "program") +
         ((effect.flags & vst2::effFlagsProgramChunks) ? ", chunks" : "");
}

void PrintLine(const std::string& name, const CheckResult& result, std::ostream& out) {
  out << std::left << std::setw(kNameWidth) << name << ' ' << kOutcomeNames[result.outcome]
      << "  " << result.detail << std::endl;
}

void PrintSummary(const std::string& path, std::size_t checks, const int counts[3],
                  std::ostream& out) {
  out << path << ": " << checks << " checks, " << counts[0] << " passed, " << counts[1]
      << " failed, " << counts[2] << " skipped" << std::endl;
}

}  // namespace

std::optional<ValidateOptions> ParseValidateArguments(std::span<const std::string> arguments,
                                                      std::string* error) {
  ValidateOptions options;
  for (const std::string& argument : arguments) {
    if (argument == "--quick") {
      options.quick = true;
    } else if (!TakePositional(argument, &options.library_path, error)) {
      return std::nullopt;
    }
  }
  if (options.library_path.empty()) {
    *error = "no plug-in library or LV2 bundle given";
    return std::nullopt;
  }
  return options;
}

int RunValidateCommand(const ValidateOptions& options, std::ostream& out) {
  if (IsLv2Bundle(options.library_path)) {
    const CheckResult loaded = RunIsolated([&] { return LoadBundle(options); }, options);
    PrintLine("load", loaded, out);
    if (loaded.outcome == CheckResult::kFail) return 1;
    const std::vector<BundleCheck> checks = BundleChecks();
    int counts[3] = {1, 0, 0};
    for (const BundleCheck& check : checks) {
      const CheckResult result = RunIsolated([&] { return check.run(options); }, options);
      PrintLine(check.name, result, out);
      ++counts[result.outcome];
    }
    PrintSummary(options.library_path, checks.size() + 1, counts, out);
    return counts[CheckResult::kFail] > 0 ? 1 : 0;
  }
  const CheckResult loaded = RunIsolated(
      [&] {
        std::string error;
        const std::unique_ptr<ValidateRig> rig = ValidateRig::Load(options.library_path, &error);
        if (!rig) return Fail(error);
        // A plug-in whose engine cannot be built loads, and then plays
        // silence whatever is checked.
        rig->Configure(kRate, kBlock);
        rig->Resume();
        const std::string problem = rig->Plugin().EngineProblem();
        rig->Suspend();
        return problem.empty() ? Pass(Describe(*rig)) : Fail(problem);
      },
      options);
  PrintLine("load", loaded, out);
  if (loaded.outcome == CheckResult::kFail) return 1;

  std::vector<Check> checks = AudioChecks();
  for (Check& check : StateChecks()) checks.push_back(std::move(check));
  int counts[3] = {1, 0, 0};
  for (const Check& check : checks) {
    const CheckResult result = RunIsolated(
        [&] {
          std::string error;
          std::unique_ptr<ValidateRig> rig = ValidateRig::Load(options.library_path, &error);
          if (!rig) return Fail(error);
          rig->Configure(kRate, kBlock);
          return check.run(*rig, options);
        },
        options);
    PrintLine(check.name, result, out);
    ++counts[result.outcome];
  }
  PrintSummary(options.library_path, checks.size() + 1, counts, out);
  return counts[CheckResult::kFail] > 0 ? 1 : 0;
}

}  // namespace ov
