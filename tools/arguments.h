// Command-line parsing for `orvane render`.
// Thread: any.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "tools/render.h"

namespace ov {

struct RenderCommandLine {
  RenderSettings settings;
  std::string output_path;
  std::string midi_output_path;  // optional
};

// `arguments` are those after the subcommand's name. On failure `error`
// names the offending argument.
std::optional<RenderCommandLine> ParseRenderArguments(std::span<const std::string> arguments,
                                                      std::string* error);

}  // namespace ov
