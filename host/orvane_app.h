// The application object: owns the project facts, the project document and
// its embedded files, the user-visible messages and the engine, and starts and
// stops the engine for the plug-in.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "document/geometry.h"
#include "engine/engine_host.h"
#include "extmodules/module_tables.h"
#include "host/project_facts.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "platform/thread_identity.h"

namespace ov {

class CPlugin;
class CVisualOb;
class OvAudioMaster;
class ug_container;
class OvVst;

class COrvaneAppBase : public EngineHost {
 public:
  COrvaneAppBase();
  ~COrvaneAppBase() override;

  // One-time start-up on the creating (user-interface) thread: records that
  // thread and reads the project. False when there is no usable project.
  bool Initialise(ProjectSource& source);

  const ProjectFacts& Facts() const { return *facts_; }
  bool HasProject() const { return facts_.has_value(); }
  // The loaded document and its files; null for sources that read none.
  COrvaneDocBase* Document() const { return holdings_.document.get(); }
  EmbeddedFiles* Files() const { return holdings_.files.get(); }
  MessageSink& Messages() { return messages_; }
  bool OnUserInterfaceThread() const { return ui_thread_.IsCreatingThread(); }

  // Editor thread, with no process call running.
  void SetSampleRate(float rate) { sample_rate_ = rate; }
  float SampleRate() const { return sample_rate_; }
  // Stops a running engine first, then builds the graph from the document
  // (none without a document) and starts it. False, with the reason posted
  // to Messages(), when the graph cannot be built; no engine exists then.
  bool StartEngine(int32_t host_block_size);
  // Why the last start left no engine; empty after one that succeeded.
  const std::string& EngineFailure() const { return engine_failure_; }
  // Stops and deletes the engine; what it sent to the editor side before it
  // stopped is delivered first.
  void StopEngine();
  // "Reload DLL" of a module from a module library: with this instance's
  // engine stopped meanwhile, its type learns names and plugs again from the
  // library file, and the module's container hears that the module changed.
  // Refused, with a message, while another instance's engine runs the
  // library. False when nothing was reloaded. Editor thread.
  bool ReloadModuleLibrary(CPlugin& module);
  // A context-menu command the panel's root hands over, for `target` at
  // `p` (its coordinates): "About..." shows the project's about text and
  // "Reload DLL" reloads the library of the module the menu was built for;
  // every other command goes to the target. Editor thread.
  void MenuCommand(CVisualOb& target, int32_t id, Point p);
  // The running engine, or null. Audio thread while active.
  OvAudioMaster* Engine() { return master_.get(); }
  // The editor side's end of the message queues. Editor thread.
  MessageHub& Hub() { return hub_; }

  uint32_t NewTargetId() override;
  void PostUserMessage(std::string_view text) override;
  const DataFiles* MediaFiles() const override;
  ModuleTables* LibraryTables() override { return &library_tables_; }
  std::string_view ModuleVendorText() const override;

  // Reloads with the host's processing stopped meanwhile; the base has no
  // host to stop.
  virtual bool ReloadWhileStopped(CPlugin& module) { return ReloadModuleLibrary(module); }

 private:
  // Makes and starts the engine; the reason when the graph cannot be built.
  std::string BuildAndStartEngine(int32_t host_block_size);
  // Drops an engine whose start failed, and whatever of it was registered.
  void DiscardEngine();

  ThreadIdentity ui_thread_;
  // Before the engine, whose library modules hold its tables.
  ModuleTables library_tables_;
  // Before the document and the engine, which both use it.
  MessageHub hub_{*this};
  MessageSink messages_;
  std::optional<ProjectFacts> facts_;
  // After messages_: the embedded files post to it.
  ProjectHoldings holdings_;
  float sample_rate_ = 44100.0f;
  int32_t host_block_size_ = 0;  // of the last start, for restarts
  std::string engine_failure_;
  std::unique_ptr<OvAudioMaster> master_;
  // After master_: destroyed first, while the engine it belongs to exists.
  std::unique_ptr<ug_container> graph_;
  std::atomic<uint32_t> next_target_id_{1};
};

// The application inside the plug-in: time information comes from the host,
// and the engine's host ports register with the plug-in object.
class COrvaneAppVST : public COrvaneAppBase {
 public:
  explicit COrvaneAppVST(OvVst& plugin) : plugin_(plugin) {}
  const vst2::VstTimeInfo* HostTimeInfo(int32_t filter) override;
  void SetHostInputPort(HostInputPort* port) override;
  void SetHostOutputPort(HostOutputPort* port) override;
  const MidiRing* PlatformMidiIn() const override;
  bool HostReplaces() const override;
  bool RendersOffline() override;
  void ApplyQueuedHostParameters() override;
  intptr_t CallVstHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                       float opt) override;

 protected:
  // The plug-in suspends around the reload, so no process call meets the
  // engine going, and resumes as it was.
  bool ReloadWhileStopped(CPlugin& module) override;

 private:
  OvVst& plugin_;
};

}  // namespace ov
