// The ports an LV2 bundle of a project offers, worked out from the project
// the same way when the bundle's description is written and when the
// wrapper library instantiates the plug-in, so that both agree on every
// index and symbol.
//
// Port order: the audio inputs, the audio outputs, the event input (MIDI and
// transport), the MIDI output when the project sends MIDI, the freewheel
// control, then one control per host parameter that takes host values.
//
// Thread: built on the host's main thread; NormalisedValue is called on the
// audio thread and allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "modules/list_text.h"
#include "patches/patch_value.h"

namespace ov {

class CPatchManager;
class PatchParameter;
struct ProjectFacts;

// How a control port's value becomes its host parameter's normalised value.
enum class ControlKind {
  kFloat,   // the parameter's range, as the panel sets it
  kToggle,  // 0 or 1
  kList,    // the value of one of the list's items
};

struct Lv2ScalePoint {
  std::string label;
  int32_t value;
};

struct Lv2ControlPort {
  std::string name;
  std::string symbol;
  int32_t parameter_index = 0;  // in the host parameter list
  ControlKind kind = ControlKind::kFloat;
  float minimum = 0.0f;
  float maximum = 1.0f;
  float default_value = 0.0f;
  FloatRange range;                   // kFloat
  std::optional<ListText> items;      // kList
  std::vector<Lv2ScalePoint> points;  // kList with listed items (not a numeric range)
};

struct Lv2NamedPort {
  std::string name;
  std::string symbol;
};

struct Lv2PortLayout {
  std::vector<Lv2NamedPort> audio_inputs;
  std::vector<Lv2NamedPort> audio_outputs;
  bool midi_output = false;
  std::vector<Lv2ControlPort> controls;

  uint32_t EventInputIndex() const {
    return static_cast<uint32_t>(audio_inputs.size() + audio_outputs.size());
  }
  // Only when midi_output.
  uint32_t MidiOutputIndex() const { return EventInputIndex() + 1; }
  uint32_t FreewheelIndex() const { return EventInputIndex() + (midi_output ? 2 : 1); }
  uint32_t FirstControlIndex() const { return FreewheelIndex() + 1; }
  uint32_t PortCount() const {
    return FirstControlIndex() + static_cast<uint32_t>(controls.size());
  }
};

// Fixed symbols of the ports every bundle has.
constexpr const char* kEventInputSymbol = "events_in";
constexpr const char* kMidiOutputSymbol = "midi_out";
constexpr const char* kFreewheelSymbol = "freewheel";

// The ports of a project whose main container's patches are `patches`
// (null: no controls). Integer and text parameters, which ignore what hosts
// set, get no port.
Lv2PortLayout LayoutPorts(const ProjectFacts& facts, CPatchManager* patches);

// The current value of `parameter` in the units of `port`.
float PortValue(const Lv2ControlPort& port, const PatchParameter& parameter);
// What the host parameter behind `port` is set to for `port_value`. Audio
// thread: allocates nothing.
float NormalisedValue(const Lv2ControlPort& port, float port_value);
// The other way: the port value of the parameter's normalised value.
float PortValueOf(const Lv2ControlPort& port, float normalised);

// A valid and unused port symbol made from `name`: letters, digits and
// underscores, not starting with a digit; a number is appended to one taken
// already. The result is added to `taken`.
std::string MakePortSymbol(std::string_view name, std::vector<std::string>& taken);

// The plug-in's URI: "urn:orvane:lv2:" then the project's four-character
// plug-in identifier as eight hexadecimal digits (as hosts of the other
// format see it packed), ":" and the project's name with every character
// but letters, digits, '-' and '.' written as '_'. The same project gives
// the same URI at every bake; a new identifier or name makes a new plug-in.
std::string PluginUri(const ProjectFacts& facts);

}  // namespace ov
