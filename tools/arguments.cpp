#include "tools/arguments.h"

#include <cstdint>
#include <functional>
#include <map>

#include "platform/text.h"

namespace ov {
namespace {

constexpr double kMaxSeconds = 24 * 3600;

std::optional<long long> IntegerIn(const std::string& text, long long low, long long high) {
  const std::optional<long long> value = ParseInteger(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

std::optional<double> NumberIn(const std::string& text, double low, double high) {
  const std::optional<double> value = ParseDouble(text);
  if (!value || !(*value >= low && *value <= high)) return std::nullopt;
  return value;
}

// KEY:VELOCITY:START_S:LENGTH_S
std::optional<NoteRequest> ParseNote(const std::string& text) {
  std::string fields[4];
  std::size_t begin = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t end = i < 3 ? text.find(':', begin) : text.size();
    if (end == std::string::npos) return std::nullopt;
    fields[i] = text.substr(begin, end - begin);
    begin = end + 1;
  }
  const auto key = IntegerIn(fields[0], 0, 127);
  const auto velocity = IntegerIn(fields[1], 1, 127);
  const auto start = NumberIn(fields[2], 0, kMaxSeconds);
  const auto length = NumberIn(fields[3], 0, kMaxSeconds);
  if (!key || !velocity || !start || !length || *length == 0) return std::nullopt;
  return NoteRequest{static_cast<int>(*key), static_cast<int>(*velocity), *start, *length};
}

}  // namespace

bool TakePositional(const std::string& argument, std::string* positional, std::string* error) {
  if (argument.starts_with("-") || !positional->empty()) {
    *error = "unexpected argument '" + argument + "'";
    return false;
  }
  *positional = argument;
  return true;
}

std::optional<ParameterSetting> ParseParameter(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return std::nullopt;
  const auto index = IntegerIn(text.substr(0, equals), 0, INT32_MAX);
  const auto value = NumberIn(text.substr(equals + 1), 0, 1);
  if (!index || !value) return std::nullopt;
  return ParameterSetting{static_cast<int32_t>(*index), static_cast<float>(*value)};
}

std::optional<RenderCommandLine> ParseRenderArguments(std::span<const std::string> arguments,
                                                      std::string* error) {
  RenderCommandLine line;
  RenderSettings& settings = line.settings;
  // Each option takes one value; a handler returns false when it is invalid.
  using Handler = std::function<bool(const std::string&)>;
  const auto into = [](std::string* target) {
    return [target](const std::string& value) {
      *target = value;
      return !value.empty();
    };
  };
  const std::map<std::string, Handler> options = {
      {"-o", into(&line.output_path)},
      {"--midi", into(&settings.midi_path)},
      {"--in", into(&settings.input_path)},
      {"--midi-out", into(&line.midi_output_path)},
      {"--load-state", into(&settings.load_state_path)},
      {"--save-state", into(&settings.save_state_path)},
      {"--note",
       [&](const std::string& value) {
         const auto note = ParseNote(value);
         if (note) settings.notes.push_back(*note);
         return note.has_value();
       }},
      {"--param",
       [&](const std::string& value) {
         const auto parameter = ParseParameter(value);
         if (parameter) settings.parameters.push_back(*parameter);
         return parameter.has_value();
       }},
      {"--seconds",
       [&](const std::string& value) {
         settings.seconds = NumberIn(value, 1e-3, kMaxSeconds);
         return settings.seconds.has_value();
       }},
      {"--tail",
       [&](const std::string& value) {
         const auto tail = NumberIn(value, 0, kMaxSeconds);
         if (tail) settings.tail_seconds = *tail;
         return tail.has_value();
       }},
      {"--rate",
       [&](const std::string& value) {
         const auto rate = IntegerIn(value, 1000, 768000);
         if (rate) settings.sample_rate = static_cast<double>(*rate);
         return rate.has_value();
       }},
      {"--block",
       [&](const std::string& value) {
         const auto block = IntegerIn(value, 1, 65536);
         if (block) settings.block_size = static_cast<int32_t>(*block);
         return block.has_value();
       }},
      {"--program",
       [&](const std::string& value) {
         const auto program = IntegerIn(value, 0, INT32_MAX);
         if (program) settings.program = static_cast<int32_t>(*program);
         return program.has_value();
       }},
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    // The one option whose value may be left out.
    if (argument == "--levels") {
      line.levels_interval = kDefaultLevelsInterval;
      if (i + 1 < arguments.size() && ParseDouble(arguments[i + 1])) {
        line.levels_interval = NumberIn(arguments[++i], 1e-3, kMaxSeconds);
        if (!line.levels_interval) {
          *error = "invalid value '" + arguments[i] + "' for --levels";
          return std::nullopt;
        }
      }
      continue;
    }
    const auto option = options.find(argument);
    if (option == options.end()) {
      if (!TakePositional(argument, &settings.plugin_path, error)) return std::nullopt;
      continue;
    }
    if (i + 1 == arguments.size()) {
      *error = argument + " needs a value";
      return std::nullopt;
    }
    if (!option->second(arguments[++i])) {
      *error = "invalid value '" + arguments[i] + "' for " + argument;
      return std::nullopt;
    }
  }
  if (settings.plugin_path.empty() || line.output_path.empty()) {
    *error =
        settings.plugin_path.empty() ? "no plug-in library given" : "no output file given (-o)";
    return std::nullopt;
  }
  return line;
}

std::optional<ProjectCommandLine> ParseProjectArguments(std::span<const std::string> arguments,
                                                        bool output_required, std::string* error) {
  ProjectCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-o") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        *error = "-o needs a value";
        return std::nullopt;
      }
      line.output_path = arguments[++i];
    } else if (argument == "--warn-only" && output_required) {
      line.warn_only = true;
    } else if (!TakePositional(argument, &line.input_path, error)) {
      return std::nullopt;
    }
  }
  if (line.input_path.empty()) {
    *error = "no input file given";
    return std::nullopt;
  }
  if (output_required && line.output_path.empty()) {
    *error = "no output file given (-o)";
    return std::nullopt;
  }
  return line;
}

std::optional<BakeCommandLine> ParseBakeArguments(std::span<const std::string> arguments,
                                                  std::string* error) {
  BakeCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-o" || argument == "--from") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        *error = argument + " needs a value";
        return std::nullopt;
      }
      (argument == "-o" ? line.output_path : line.from_path) = arguments[++i];
    } else if (argument == "--lv2") {
      line.lv2 = true;
    } else if (argument == "--warn-only") {
      line.warn_only = true;
    } else if (!TakePositional(argument, &line.input_path, error)) {
      return std::nullopt;
    }
  }
  if (line.input_path.empty()) {
    *error = "no project given";
    return std::nullopt;
  }
  if (line.output_path.empty()) {
    *error = "no output file given (-o)";
    return std::nullopt;
  }
  return line;
}

}  // namespace ov
