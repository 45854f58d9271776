// A plug-in project whose one module is the example library's gain, with
// its panel part at (8, 8) of a 136 x 60 panel and "Gain" 0.5. The library
// must be registered before the project is compiled.
#pragma once

#include "document/project_text.h"

namespace ov::testing {

inline Json GainPanelProject() {
  return Json::parse(R"({
    "version": 95960, "plugin_id": "OvXp", "plugin_flags": 2, "panel_size": [136, 60],
    "root": {"type": "Container", "modules": [{
      "type": "Container", "name": "effect",
      "io": [{"name": "In", "direction": "in", "datatype": "audio"},
             {"name": "Out", "direction": "out", "datatype": "audio"}],
      "modules": [{"type": "Ov Example Gain", "name": "gain", "plug_values": {"Gain": 0.5},
                   "panel_rect": [8, 8, 128, 52]}],
      "connections": ["io.In -> gain.Input", "gain.Output -> io.Out"]}]}})");
}

}  // namespace ov::testing
