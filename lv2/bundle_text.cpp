#include "lv2/bundle_text.h"

#include <cmath>
#include <sstream>

#include "platform/text.h"

namespace ov {
namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n\n";

// A Turtle string literal.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        quoted.push_back(c);
    }
  }
  return quoted + "\"";
}

// A decimal or double literal, never an integer one, so that every port
// value reads as a float.
std::string Number(float value) {
  if (!std::isfinite(value)) value = 0.0f;
  std::string text = FormatDouble(static_cast<double>(value));
  if (text.find_first_of(".eE") == std::string::npos) text += ".0";
  return text;
}

std::string Iri(std::string_view iri) { return "<" + std::string(iri) + ">"; }

void WriteAudioPorts(std::ostream& out, const std::vector<Lv2NamedPort>& ports,
                     const char* direction, uint32_t first) {
  for (std::size_t i = 0; i < ports.size(); ++i) {
    out << "  lv2:port [\n    a lv2:" << direction << ", lv2:AudioPort ;\n    lv2:index "
        << first + i << " ;\n    lv2:symbol " << Quoted(ports[i].symbol) << " ;\n    lv2:name "
        << Quoted(ports[i].name) << "\n  ] ;\n";
  }
}

void WriteControlPort(std::ostream& out, const Lv2ControlPort& port, uint32_t index) {
  out << "  lv2:port [\n    a lv2:InputPort, lv2:ControlPort ;\n    lv2:index " << index
      << " ;\n    lv2:symbol " << Quoted(port.symbol) << " ;\n    lv2:name " << Quoted(port.name)
      << " ;\n    lv2:default " << Number(port.default_value) << " ;\n    lv2:minimum "
      << Number(port.minimum) << " ;\n    lv2:maximum " << Number(port.maximum);
  if (port.kind == ControlKind::kToggle) out << " ;\n    lv2:portProperty lv2:toggled";
  if (port.kind == ControlKind::kList) {
    out << " ;\n    lv2:portProperty lv2:integer";
    if (!port.points.empty()) {
      out << ", lv2:enumeration";
      for (const Lv2ScalePoint& point : port.points) {
        out << " ;\n    lv2:scalePoint [ rdfs:label " << Quoted(point.label) << " ; rdf:value "
            << Number(static_cast<float>(point.value)) << " ]";
      }
    }
  }
  out << "\n  ]";
}

}  // namespace

std::string UiUri(const std::string& uri) { return uri + "#ui"; }

std::string PresetUri(const std::string& uri, int program) {
  return uri + "#preset" + std::to_string(program);
}

std::string ManifestTurtle(const Lv2BundleDescription& bundle) {
  std::ostringstream out;
  out << kPrefixes << Iri(bundle.uri) << "\n  a lv2:Plugin ;\n  lv2:binary " << Iri(bundle.binary)
      << " ;\n  rdfs:seeAlso " << Iri(bundle.description) << " .\n";
  for (std::size_t i = 0; i < bundle.presets.size(); ++i) {
    out << "\n"
        << Iri(PresetUri(bundle.uri, static_cast<int>(i))) << "\n  a pset:Preset ;\n"
        << "  lv2:appliesTo " << Iri(bundle.uri) << " ;\n  rdfs:seeAlso <presets.ttl> .\n";
  }
  return out.str();
}

std::string PluginTurtle(const Lv2BundleDescription& bundle) {
  const Lv2PortLayout& layout = bundle.layout;
  std::ostringstream out;
  out << kPrefixes << Iri(bundle.uri) << "\n  a lv2:Plugin, "
      << (bundle.instrument ? "lv2:InstrumentPlugin" : "lv2:UtilityPlugin") << " ;\n"
      << "  doap:name " << Quoted(bundle.name) << " ;\n"
      << "  lv2:requiredFeature urid:map ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable, opts:options, bufsz:boundedBlockLength,\n"
      << "    work:schedule, state:makePath, state:mapPath, state:freePath ;\n"
      << "  lv2:extensionData state:interface, work:interface ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength ;\n"
      << "  ui:ui " << Iri(UiUri(bundle.uri)) << " ;\n";
  WriteAudioPorts(out, layout.audio_inputs, "InputPort", 0);
  WriteAudioPorts(out, layout.audio_outputs, "OutputPort",
                  static_cast<uint32_t>(layout.audio_inputs.size()));
  out << "  lv2:port [\n    a lv2:InputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence ;\n"
      << "    atom:supports midi:MidiEvent, time:Position ;\n"
      << "    lv2:designation lv2:control ;\n    lv2:index " << layout.EventInputIndex()
      << " ;\n    lv2:symbol " << Quoted(kEventInputSymbol) << " ;\n    lv2:name \"Events In\"\n"
      << "  ] ;\n";
  if (layout.midi_output) {
    out << "  lv2:port [\n    a lv2:OutputPort, atom:AtomPort ;\n    atom:bufferType atom:Sequence "
           ";\n"
        << "    atom:supports midi:MidiEvent ;\n    lv2:index " << layout.MidiOutputIndex()
        << " ;\n    lv2:symbol " << Quoted(kMidiOutputSymbol) << " ;\n    lv2:name \"MIDI Out\"\n"
        << "  ] ;\n";
  }
  out << "  lv2:port [\n    a lv2:InputPort, lv2:ControlPort ;\n"
      << "    lv2:designation lv2:freeWheeling ;\n    lv2:portProperty lv2:toggled, "
         "pprops:notOnGUI ;\n    lv2:index "
      << layout.FreewheelIndex() << " ;\n    lv2:symbol " << Quoted(kFreewheelSymbol)
      << " ;\n    lv2:name \"Freewheel\" ;\n    lv2:default 0.0 ;\n    lv2:minimum 0.0 ;\n"
      << "    lv2:maximum 1.0\n  ]";
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    out << " ;\n";
    WriteControlPort(out, layout.controls[i],
                     layout.FirstControlIndex() + static_cast<uint32_t>(i));
  }
  out << " .\n\n";
  // The editor, shown in the host's window; it needs the plug-in instance.
  out << Iri(UiUri(bundle.uri)) << "\n  a ui:X11UI ;\n  ui:binary " << Iri(bundle.binary)
      << " ;\n  lv2:requiredFeature ui:idleInterface, ui:parent,\n"
      << "    <http://lv2plug.in/ns/ext/instance-access> ;\n"
      << "  lv2:optionalFeature ui:resize ;\n"
      << "  lv2:extensionData ui:idleInterface .\n";
  return out.str();
}

std::string PresetsTurtle(const Lv2BundleDescription& bundle) {
  std::ostringstream out;
  out << kPrefixes << Iri(kLv2ProgramProperty)
      << "\n  a rdf:Property ;\n  rdfs:label \"program\" ;\n"
      << "  rdfs:comment \"The program (patch) that a preset selects, counted from 0.\" .\n\n";
  for (std::size_t i = 0; i < bundle.presets.size(); ++i) {
    const Lv2Preset& preset = bundle.presets[i];
    out << Iri(PresetUri(bundle.uri, static_cast<int>(i))) << "\n  a pset:Preset ;\n"
        << "  lv2:appliesTo " << Iri(bundle.uri) << " ;\n  rdfs:label " << Quoted(preset.name)
        << " ;\n";
    for (std::size_t c = 0; c < preset.control_values.size() && c < bundle.layout.controls.size();
         ++c) {
      out << "  lv2:port [ lv2:symbol " << Quoted(bundle.layout.controls[c].symbol)
          << " ; pset:value " << Number(preset.control_values[c]) << " ] ;\n";
    }
    out << "  state:state [ " << Iri(kLv2ProgramProperty) << " " << i << " ] .\n\n";
  }
  return out.str();
}

}  // namespace ov
