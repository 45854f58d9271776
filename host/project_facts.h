// The facts about the loaded project that the plug-in shell reports to the
// host. A project source supplies them at start-up; the project document will
// be that source once projects are loaded from the library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ov {

class MessageSink;

// Bits of the project's plug-in option word.
enum PluginOption : uint32_t {
  kOptionSynth = 1u << 0,
  kOptionStereoPairs = 1u << 1,
  kOptionProjectVendor = 1u << 2,
  kOptionWantsTimeInfo = 1u << 3,
};

struct ProjectFacts {
  std::string title;      // the main container's title
  std::string plugin_id;  // four-character plug-in identifier text ("" when unset)
  std::string vendor;     // used when kOptionProjectVendor is set
  std::string product;
  uint32_t plugin_options = 0;
  bool can_mono = false;
  int32_t program_count = 128;
  bool has_program_selection = false;
  // Names of the main container's audio plugs that the host sees (not hidden).
  std::vector<std::string> audio_inputs;
  std::vector<std::string> audio_outputs;
  bool has_midi_input = false;  // any MIDI input plug, hidden or not
  bool midi_input_visible = false;
  bool midi_output_visible = false;
};

// Thread: editor (called once, during plug-in construction).
class ProjectSource {
 public:
  virtual ~ProjectSource() = default;
  // The project's facts, or nothing after posting to `messages` why the
  // project could not be loaded.
  virtual std::optional<ProjectFacts> Load(MessageSink& messages) = 0;
};

}  // namespace ov
