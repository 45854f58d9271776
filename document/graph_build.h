// Builds the engine's generator graph from a document: one generator per
// module that is not excluded, containers flattened into their holder unless
// they keep their own, connections, constant sources for typed values, then
// container plugs collapsed and every generator given its run order.
//
// Threads: editor thread, audio stopped. The document is only read (apart
// from the highlight a feedback report puts on a connection).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/ug_container.h"

namespace ov {

class CContainer;
class CPlug2;
class CUG;
class MessageHub;
class OvAudioMaster;
class ug_feedback_delay;
class ug_midi_automator;

// A build that cannot finish: a feedback path (kind 1, with the generators
// where it was found) or a note source in a container nested in another that
// holds one (kind 2).
class OvException : public std::runtime_error {
 public:
  static constexpr int32_t kFeedback = 1;
  static constexpr int32_t kNestedNoteSource = 2;
  OvException(int32_t kind, ug_base* a, ug_base* b);
  int32_t kind() const { return kind_; }
  ug_base* a() const { return a_; }
  ug_base* b() const { return b_; }

 private:
  int32_t kind_;
  ug_base* a_;
  ug_base* b_;
};

class GraphBuild {
 public:
  explicit GraphBuild(OvAudioMaster& master);
  // With a hub, each container's patch manager starts its engine side once
  // the container's connections are made. Without one (builds that only look
  // at the graph) no patch manager is started.
  void SetMessageHub(MessageHub* hub) { hub_ = hub; }
  // Builds the tree under `root` (the root container), then collapses
  // container plugs and sorts. Raises OvException as above. Every generator
  // gets one plug per descriptor: a document plug whose index its type does
  // not have, or another plug of the module has, is left out with its
  // connections, and a descriptor no plug names takes its default; the user
  // is told once per module. A module whose generator cannot be made is left
  // out with a message, and the rest builds.
  // What was made stays here until this object goes, so a failure can be
  // reported; destroy it before the master.
  void Build(CContainer& root);
  // Build's three steps, for callers that change generators between them.
  void BuildGraph(CContainer& root);
  // Inner containers first: outer sources then feed inner destinations
  // directly, and inner sources outer destinations.
  void CollapseContainerPlugs();
  // Gives every generator its run order (higher runs earlier).
  void SortAll();
  // Voices of every container that holds a note source, then the run order
  // again with the adders and voice copies this made; each note source's
  // copies run just after their model.
  void SetUpVoices();
  ~GraphBuild();
  GraphBuild(const GraphBuild&) = delete;
  GraphBuild& operator=(const GraphBuild&) = delete;

  // Hands the tree to the engine's owner.
  std::unique_ptr<ug_container> TakeRoot() { return std::move(root_); }

  // The generator made for a module, or null (excluded, no type, or no
  // generator for its type).
  ug_base* GeneratorOf(const CUG& module) const;
  // The engine plug made for a document plug, or null.
  UPlug* EnginePlugOf(const CPlug2& plug) const;
  // The module a generator was made for; null for generators the engine
  // made itself (adders, constant holders).
  CUG* ModuleOf(const ug_base& generator) const;
  // The container generator that receives program changes and controller
  // registrations for `generator`.
  ug_container* PatchContextOf(const ug_base& generator) const { return generator.PatchContext(); }

  // The message a failed build shows the user. For feedback it marks the
  // offending connections, so the document is touched here.
  std::string FailureMessage(const OvException& failure) const;

 private:
  struct Frame;
  ug_base* MakeGenerator(CUG& module);
  void MakePlugs(CUG& module, ug_base& generator);
  void PlaceModule(CUG& module, ug_container& holder, ug_container* context);
  // Beside every "MIDI Automator": its output, which also becomes the patch
  // context's way out for parameter values.
  void PlaceAutomatorOutput(ug_midi_automator& automator, const CUG& module, ug_container& holder,
                            ug_container* context);
  // Beside every "Feedback Delay": its output half, where connections drawn
  // from the module's outputs start.
  void PlaceFeedbackDelayOutput(ug_feedback_delay& delay, CUG& module, ug_container& holder,
                                ug_container* context);
  void ApplyDocumentValues(CUG& module);
  void ConnectChildren(const CContainer& container);
  void StartPatchManager(const CContainer& container);
  // Connections to `plug` go to `target` from now on. Container plugs wired
  // round through each other with no module between would make the chain
  // a loop: that is a feedback path.
  void RedirectTo(UPlug& plug, UPlug& target);
  void CheckNoteSources(const CContainer& inner, const std::vector<Frame>& above) const;
  std::vector<ug_base*> CollectGenerators() const;

  OvAudioMaster& master_;
  MessageHub* hub_ = nullptr;
  std::unique_ptr<ug_container> root_;
  std::unordered_map<const CUG*, ug_base*> generators_;
  std::unordered_map<const ug_base*, CUG*> modules_;
  // The container each module was found in; parent links may be unset.
  std::unordered_map<const CUG*, const CContainer*> containers_;
  std::unordered_map<const CPlug2*, UPlug*> engine_plugs_;
  // Engine plugs no document plug named, with the default they take.
  std::unordered_map<const CUG*, std::vector<std::pair<UPlug*, std::string>>> defaults_;
  // The inner and outer engine plugs of each container plug, both ways.
  std::unordered_map<const UPlug*, UPlug*> twins_;
};

}  // namespace ov
