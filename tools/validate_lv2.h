// `orvane validate NAME.lv2`: an LV2 bundle loaded through lilv as LV2 hosts
// load it, and put through what they do to a plug-in: block sizes, sample
// rates, every control's range, state saved, restored and damaged, presets.
// Thread: the thread that drives the plug-in (each check in a child process
// of its own, as for VST 2 plug-ins).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/validate_checks.h"

namespace ov {

// True for a folder, which only an LV2 bundle can be here.
bool IsLv2Bundle(const std::string& path);

struct BundleCheck {
  std::string name;
  std::function<CheckResult(const ValidateOptions&)> run;
};

// The bundle holds one plug-in that lilv finds valid and instantiates.
CheckResult LoadBundle(const ValidateOptions& options);
std::vector<BundleCheck> BundleChecks();

}  // namespace ov
