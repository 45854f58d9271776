#include "lv2/port_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/patch_manager.h"
#include "host/host_parameters.h"
#include "host/ov_vst.h"
#include "host/project_facts.h"

namespace ov {
namespace {

std::vector<Lv2NamedPort> AudioPorts(const std::vector<std::string>& names, const char* fallback,
                                     std::vector<std::string>& taken) {
  std::vector<Lv2NamedPort> ports;
  for (const std::string& name : names) {
    const std::string shown = name.empty() ? fallback : name;
    ports.push_back({shown, MakePortSymbol(shown, taken)});
  }
  return ports;
}

// The port of one host parameter; none for the types hosts cannot set.
std::optional<Lv2ControlPort> ControlPortOf(const PatchParameter& parameter) {
  Lv2ControlPort port;
  port.name = parameter.name().empty() ? "Parameter" : parameter.name();
  switch (parameter.value_type()) {
    case PatchParameter::kFloat:
      port.kind = ControlKind::kFloat;
      port.range = parameter.range();
      port.minimum = std::min(port.range.minimum, port.range.maximum);
      port.maximum = std::max(port.range.minimum, port.range.maximum);
      break;
    case PatchParameter::kBool:
      port.kind = ControlKind::kToggle;
      break;
    case PatchParameter::kEnum: {
      port.kind = ControlKind::kList;
      ListText& items = port.items.emplace(parameter.list_text());
      if (items.Count() <= 0) return std::nullopt;
      items.ForEach([&port](const ListText::Item& item) {
        port.points.push_back({item.label, item.value});
        return true;
      });
      const int32_t first = items.ItemAt(0).value;
      const int32_t last = items.ItemAt(items.Count() - 1).value;
      port.minimum = static_cast<float>(std::min(first, last));
      port.maximum = static_cast<float>(std::max(first, last));
      for (const Lv2ScalePoint& point : port.points) {
        port.minimum = std::min(port.minimum, static_cast<float>(point.value));
        port.maximum = std::max(port.maximum, static_cast<float>(point.value));
      }
      break;
    }
    default:
      return std::nullopt;
  }
  port.default_value = std::clamp(PortValue(port, parameter), port.minimum, port.maximum);
  return port;
}

}  // namespace

Lv2PortLayout LayoutPorts(const ProjectFacts& facts, CPatchManager* patches) {
  Lv2PortLayout layout;
  std::vector<std::string> taken = {kEventInputSymbol, kMidiOutputSymbol, kFreewheelSymbol};
  layout.audio_inputs = AudioPorts(facts.audio_inputs, "Input", taken);
  layout.audio_outputs = AudioPorts(facts.audio_outputs, "Output", taken);
  layout.midi_output = facts.midi_output_visible;
  const std::vector<PatchParameter*> parameters = HostParameterOrder(patches);
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    std::optional<Lv2ControlPort> port = ControlPortOf(*parameters[i]);
    if (!port) continue;
    port->parameter_index = static_cast<int32_t>(i);
    port->symbol = MakePortSymbol(port->name, taken);
    layout.controls.push_back(std::move(*port));
  }
  return layout;
}

float PortValue(const Lv2ControlPort& port, const PatchParameter& parameter) {
  const PatchValue value = parameter.CurrentValue();
  return port.kind == ControlKind::kFloat ? value.real : static_cast<float>(value.number);
}

float NormalisedValue(const Lv2ControlPort& port, float port_value) {
  switch (port.kind) {
    case ControlKind::kFloat:
      return NormaliseFloat(port_value, port.range);
    case ControlKind::kToggle:
      return port_value >= 0.5f ? 1.0f : 0.0f;
    case ControlKind::kList:
      if (!std::isfinite(port_value)) return 0.0f;
      return static_cast<float>(port.items->PositionOf(
          static_cast<int32_t>(std::lround(std::clamp(port_value, port.minimum, port.maximum)))));
  }
  return 0.0f;
}

float PortValueOf(const Lv2ControlPort& port, float normalised) {
  switch (port.kind) {
    case ControlKind::kFloat:
      return DenormaliseFloat(normalised, port.range);
    case ControlKind::kToggle:
      return normalised >= 0.5f ? 1.0f : 0.0f;
    case ControlKind::kList:
      return static_cast<float>(port.items->ValueAt(ClampNormalised(normalised)));
  }
  return 0.0f;
}

std::string MakePortSymbol(std::string_view name, std::vector<std::string>& taken) {
  std::string symbol;
  for (const char c : name) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (word) {
      symbol.push_back(c);
    } else if (!symbol.empty() && symbol.back() != '_') {
      symbol.push_back('_');
    }
  }
  while (!symbol.empty() && symbol.back() == '_') symbol.pop_back();
  if (symbol.empty() || (symbol[0] >= '0' && symbol[0] <= '9')) symbol.insert(0, "p_");
  std::string unique = symbol;
  for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n) {
    unique = symbol + "_" + std::to_string(n);
  }
  taken.push_back(unique);
  return unique;
}

std::string PluginUri(const ProjectFacts& facts) {
  char id[9];
  std::snprintf(id, sizeof id, "%08x", static_cast<uint32_t>(OvVst::PackUniqueId(facts.plugin_id)));
  std::string name;
  for (const char c : facts.title) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.';
    name.push_back(kept ? c : '_');
  }
  return "urn:orvane:lv2:" + std::string(id) + ":" + name;
}

}  // namespace ov
