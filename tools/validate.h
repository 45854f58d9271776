// `orvane validate LIB.so|NAME.lv2 [--quick]`: puts any Linux VST 2 plug-in,
// or an LV2 bundle, through what hosts do to one, one check at a time, each
// in a child process so that a crash or a hang is reported as that check's
// failure.
// Thread: the program's main thread, with no other threads running.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "tools/validate_checks.h"

namespace ov {

std::optional<ValidateOptions> ParseValidateArguments(std::span<const std::string> arguments,
                                                      std::string* error);

// Prints one line per check and a summary; 0 when no check failed.
int RunValidateCommand(const ValidateOptions& options, std::ostream& out);

}  // namespace ov
