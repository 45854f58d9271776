// The facts about the loaded project that the plug-in shell reports to the
// host. A project source supplies them at start-up; in the plug-in library the
// source is the project document read from the library itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ov {

class COrvaneDocBase;
class EmbeddedFiles;
class MessageSink;

// Bits of the project's plug-in option word.
enum PluginOption : uint32_t {
  kOptionSynth = 1u << 0,
  kOptionStereoPairs = 1u << 1,
  kOptionProjectVendor = 1u << 2,
  kOptionWantsTimeInfo = 1u << 3,
};

// The vendor hosts are told when the project's own is not to be shown.
inline constexpr char kFixedVendor[] = "Orvane";

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

// What a load leaves for the application to keep for the plug-in's lifetime:
// the document the facts came from and the files it carries. Both stay empty
// for sources that read no document.
struct ProjectHoldings {
  ProjectHoldings();
  ProjectHoldings(ProjectHoldings&&) noexcept;
  ProjectHoldings& operator=(ProjectHoldings&&) noexcept;
  ~ProjectHoldings();

  std::unique_ptr<COrvaneDocBase> document;
  std::unique_ptr<EmbeddedFiles> files;
};

// Thread: editor (called once, during plug-in construction).
class ProjectSource {
 public:
  virtual ~ProjectSource() = default;
  // The project's facts, or nothing after posting to `messages` why the
  // project could not be loaded.
  virtual std::optional<ProjectFacts> Load(MessageSink& messages) = 0;
  // After a successful Load: hands over what the application keeps. Objects
  // in it may refer to the `messages` given to Load.
  virtual ProjectHoldings TakeHoldings();
};

}  // namespace ov
