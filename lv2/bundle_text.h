// The Turtle files of an LV2 bundle: manifest.ttl (what the bundle holds),
// the plug-in's description with its ports, and presets.ttl with one preset
// per program.
// Thread: any.
#pragma once

#include <string>
#include <vector>

#include "lv2/port_layout.h"

namespace ov {

// State properties of the plug-in: the bank chunk it saves, the files read
// from disk that the host keeps with the session, and the program a preset
// selects.
constexpr const char* kLv2BankProperty = "urn:orvane:lv2:state#bank";
constexpr const char* kLv2FilesProperty = "urn:orvane:lv2:state#files";
constexpr const char* kLv2ProgramProperty = "urn:orvane:lv2:state#program";

struct Lv2Preset {
  std::string name;
  std::vector<float> control_values;  // one per control port, in port order
};

struct Lv2BundleDescription {
  std::string uri;
  std::string name;         // doap:name
  std::string binary;       // the library's file name inside the bundle
  std::string description;  // the plug-in's file name inside the bundle
  bool instrument = false;
  Lv2PortLayout layout;
  std::vector<Lv2Preset> presets;  // preset n selects program n
};

// The URI of the X11 UI of the plug-in at `uri`.
std::string UiUri(const std::string& uri);

// The URI of preset `program` of the plug-in at `uri`.
std::string PresetUri(const std::string& uri, int program);

std::string ManifestTurtle(const Lv2BundleDescription& bundle);
std::string PluginTurtle(const Lv2BundleDescription& bundle);
std::string PresetsTurtle(const Lv2BundleDescription& bundle);

}  // namespace ov
