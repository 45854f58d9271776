// Command-line parsing for `orvane render`, `orvane dump`, `orvane compile`
// and `orvane bake`.
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
  std::string midi_output_path;           // optional
  std::optional<double> levels_interval;  // seconds; unset: no levels over time
};

// The interval `--levels` takes when given no number.
constexpr double kDefaultLevelsInterval = 0.5;

// A word that is not a known option fills `*positional` when that is still
// empty; an unknown option or a second such word is refused, `error` naming
// it.
bool TakePositional(const std::string& argument, std::string* positional, std::string* error);

// INDEX=VALUE, the value normalised to 0..1; nothing when malformed.
std::optional<ParameterSetting> ParseParameter(const std::string& text);

// `arguments` are those after the subcommand's name. On failure `error`
// names the offending argument.
std::optional<RenderCommandLine> ParseRenderArguments(std::span<const std::string> arguments,
                                                      std::string* error);

// `orvane compile IN.json -o OUT.ov1 [--warn-only]` and
// `orvane dump IN.ov1 [-o OUT.json]`; `output_required` (compile) also takes
// --warn-only.
struct ProjectCommandLine {
  std::string input_path;
  std::string output_path;  // empty: standard output
  bool warn_only = false;   // compile: the project checks warn instead of refusing
};

std::optional<ProjectCommandLine> ParseProjectArguments(std::span<const std::string> arguments,
                                                        bool output_required, std::string* error);

// `orvane bake PROJECT.json|PROJECT.ov1 -o NAME.so [--from orvane-vst.so]`,
// or with --lv2 `-o NAME.lv2 [--from orvane-lv2.so]`.
struct BakeCommandLine {
  std::string input_path;
  std::string output_path;
  std::string from_path;   // empty: the caller's default generic library
  bool lv2 = false;        // an LV2 bundle instead of a VST 2 library
  bool warn_only = false;  // the project checks warn instead of refusing
};

std::optional<BakeCommandLine> ParseBakeArguments(std::span<const std::string> arguments,
                                                  std::string* error);

}  // namespace ov
