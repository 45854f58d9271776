// The container generator: owns the generators of a container module and
// makes the connections between them.
//
// Threads: building (AddChild, connect, IoModule) on the editor thread while
// audio is stopped; as a generator it follows ug_base.
#pragma once

#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "engine/midi_automation.h"
#include "engine/ug_base.h"
#include "engine/voice_list.h"

namespace ov {

// The inner side of a container's plugs; here it holds the constant sources
// that feed inputs given a value but no connection. It never processes: its
// outputs hold their values and announce them with a static.
class ug_io_mod : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  // A new output plug of `datatype`, with its storage. Editor thread.
  UPlug* AddConstantSource(int32_t datatype);
};

// Also the voice list of the container: every child joins the model voice.
class ug_container : public ug_base, public VoiceList {
 public:
  ug_container() = default;
  // Children are destroyed iteratively, so nesting depth is not limited by
  // the stack.
  ~ug_container() override;

  std::unique_ptr<ug_base> CreateInstance() const override;
  std::span<const std::unique_ptr<ug_base>> Children() const override { return children_; }

  // Takes ownership; the child joins this container's engine and its model
  // voice (raising VoiceConflict for a second note source).
  ug_base& AddChild(std::unique_ptr<ug_base> child);
  // AddChild, then all the child's plugs and their buffers.
  template <typename T>
  T& Add(std::unique_ptr<T> child) {
    T& added = static_cast<T&>(AddChild(std::move(child)));
    added.CreatePlugs();
    added.SetUpBuffers();
    return added;
  }

  // Connects an output to an input, following redirects. A second source on
  // a plain audio or MIDI input gets an adder put in front of the input
  // (created here, its sort order left to the graph's sort), and later
  // sources join that adder. Raises std::invalid_argument for a null plug
  // and for an audio input whose source has no sample block (buffers not set
  // up, or a project joining it to a source that is not audio): the build
  // then fails as a whole with that text instead of running half-connected.
  void connect(UPlug* source, UPlug* destination);

  // Made on first use.
  ug_io_mod& IoModule();

  // As a patch context: where its MIDI automator's controllers go (the
  // engine sides of the patch managers below it) and where its patch
  // parameters' values go out as MIDI (its automator's output, or null).
  // Set while the graph is built.
  void AddControllerReceiver(ControllerReceiver& receiver) { controllers_.push_back(&receiver); }
  std::span<ControllerReceiver* const> Controllers() const { return controllers_; }
  void SetAutomationOutput(AutomationSender* output) { automation_output_ = output; }
  AutomationSender* AutomationOutput() const { return automation_output_; }

  // Polyphony, once the graph is connected and sorted: marks what depends on
  // the model voice's note source, makes the differing generators per voice,
  // sums voices where they meet shared inputs and watches each voice for
  // silence; a drum trigger instead gives each drum a voice of its own.
  void SetUpPolyphony();
  // Then fills voices 1 .. polyphony - 1 with copies of the per-voice
  // generators, connected as their models are.
  void CreateVoices();

 private:
  // A summing adder for audio, a merging one for MIDI, with its plugs.
  ug_base& AddAdderFor(int32_t datatype);
  void InsertVoiceAdder(UPlug& output, connector& link);
  void SetUpVoiceGroups(ug_notesource& source);
  void ConnectClone(const ug_base& original, ug_base& clone,
                    const std::unordered_map<const ug_base*, ug_base*>& clones);
  void AdoptClone(std::unique_ptr<ug_base> clone) { children_.push_back(std::move(clone)); }

  void Link(UPlug& source, UPlug& destination);
  void InsertAdder(UPlug& source, UPlug& destination);

  std::vector<std::unique_ptr<ug_base>> children_;
  ug_io_mod* io_module_ = nullptr;
  std::vector<ControllerReceiver*> controllers_;
  AutomationSender* automation_output_ = nullptr;
};

}  // namespace ov
