// The plug-in object that a host talks to: reports the project's inputs,
// outputs and identity, starts the engine at resume and stops it at suspend,
// and renders through the engine inside the host's process calls.
//
// Threads: construction, the dispatcher and destruction on the host's
// user-interface thread; process, processReplacing and processEvents on the
// host's audio thread. The two meet only in the atomic active/processing
// handshake: resume and suspend clear `active_` and then wait until no process
// call is running before they touch the engine. setParameter and
// getParameter may come from any thread: off the user-interface thread a set
// only caches the value and queues it for the engine, and suspend waits for
// such a set to finish before the engine goes.
//
// Hosts also call the dispatcher from worker threads (saving and restoring
// state, asking for display texts). Everything that reaches the editor-side
// objects is therefore serialised by one editor mutex; the audio thread
// never takes it: a set from any thread but the editor's, made while no
// engine runs, waits in its parameter's pending slot for the editor thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "document/generic_parameter.h"
#include "editor/skins/image_decodes.h"
#include "engine/host_ports.h"
#include "host/audio_effectx.h"
#include "host/host_parameters.h"
#include "host/midi_out.h"
#include "host/orvane_app.h"
#include "host/ov_vst_editor.h"

namespace ov {

class OvVst : public AudioEffectX {
 public:
  // Reads the project through `source`. When that fails, LoadFailed() is
  // true and the object must be destroyed without being handed to the host.
  OvVst(vst2::HostCallback host, ProjectSource& source);
  ~OvVst() override;

  bool LoadFailed() const { return load_failed_; }
  COrvaneAppVST& App() { return app_; }
  // The editor, when the project has a main container to show. Editor thread.
  ov_vst_editor* Editor() { return editor_.get(); }

  void suspend() override;
  void resume() override;
  void setSampleRate(float rate) override;
  void process(float** inputs, float** outputs, int32_t frames) override;
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;
  int32_t processEvents(vst2::VstEvents* events) override;

  bool getOutputProperties(int32_t index, vst2::VstPinProperties* properties) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  // The build's version; projects carry none of their own.
  int32_t getVendorVersion() override;
  int32_t canDo(const char* text) override;
  // Answers the questions of host/vendor_queries.h: the sounding voices on
  // any thread, the engine's problem on the editor thread.
  intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override;
  int32_t fxIdle() override;
  // While the editor shows something that types. Editor thread.
  bool keysRequired() override { return editor_ != nullptr && editor_->KeysRequired(); }

  // Opcodes that hosts send from their audio thread (events, capabilities,
  // fixed texts, start and stop of processing) take no lock; every other one
  // runs under the editor mutex, after any sets that waited for it. The
  // locking ones: any thread but the audio thread.
  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) override;

  // Host parameters. Any thread for setParameter and getParameter, the
  // editor thread for the rest.
  void setParameter(int32_t index, float value) override;
  float getParameter(int32_t index) override;
  void getParameterName(int32_t index, char* text) override;
  void getParameterDisplay(int32_t index, char* text) override;
  void getParameterLabel(int32_t index, char* text) override;
  bool canParameterBeAutomated(int32_t index) override;

  // Programs are the project's patches. Editor thread.
  void setProgram(int32_t program) override;
  int32_t getProgram() override;
  void setProgramName(const char* name) override;
  void getProgramName(char* name) override;
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
  bool copyProgram(int32_t destination) override;
  // The chunk handed out stays valid until the next getChunk. Editor thread.
  int32_t getChunk(void** data, bool is_preset) override;
  int32_t setChunk(void* data, int32_t size, bool is_preset) override;
  // Whether the last setChunk changed the state (not refused as damaged or
  // foreign). Editor thread.
  bool LastChunkApplied() const { return last_chunk_applied_; }

  // Host parameters set from other threads reach the engine: the audio
  // master's block-start step, on the thread holding the engine gate.
  void ApplyQueuedParameters();

  // The engine modules that carry host audio and MIDI register here when
  // they open and unregister when they close. Editor thread, audio stopped.
  void SetHostInputPort(HostInputPort* port) { input_port_ = port; }
  void SetHostOutputPort(HostOutputPort* port);
  // True when the first block after the last resume came through
  // processReplacing. Audio thread.
  bool IsReplacing() const { return replacing_; }
  // MIDI for the "MIDI In" modules, stamped on the engine's sample clock.
  // Written by the audio thread; read by the engine on it.
  const MidiRing& PlatformMidi() const { return platform_midi_; }

  // The plug-in identifier packed as hosts see it: the text padded with four
  // blanks, first character most significant, each read as a signed byte.
  static int32_t PackUniqueId(const std::string& identifier);

 private:
  // Opcodes that need nothing of the editor side.
  static bool TakesNoLock(int32_t opcode, intptr_t value);
  // Sets of foreign threads that waited for the editor thread. Editor mutex held.
  void ApplyPendingSets();
  void WaitForProcessCallToEnd();
  // The editor side's periodic work: engine messages and fault notices.
  void ApplicationIdle();
  // Foreign-thread sets stop reaching the engine; returns once none still
  // uses it. Editor thread.
  void WithdrawEngineFromAutomation();
  // The container whose panel the host sees; null without one.
  CContainer* MainContainer();
  // True for indices of the host parameter list.
  bool IsParameter(int32_t index) const;
  // Programs the host may name: those reported, within the 128 patches.
  bool IsProgram(int32_t program) const;
  void Render(float** inputs, float** outputs, int32_t frames);
  // A replacing call's outputs become silence; an accumulating call's stay.
  void SilenceOutputs(float** outputs, int32_t frames);
  // Keeps the host's MIDI of a block of `frames` (> 0) frames for the
  // engine; then hands what is kept to the generators. Audio thread.
  void HoldHostMidi(vst2::VstEvents* events, int32_t frames);
  void StampPlatformMidi(vst2::VstEvents* events, int32_t frames);
  void DeliverHeldMidi();
  void SendMidiToHost(int32_t frames);

  // Held by whichever thread works on the editor-side objects (document,
  // patch manager, host parameter texts, chunk, messages). Recursive: the
  // dispatcher's operations call one another.
  std::recursive_mutex editor_mutex_;
  COrvaneAppVST app_;
  // Skin images the editor hands over to be decoded outside the lock.
  std::shared_ptr<ImageDecodes> image_decodes_ = std::make_shared<ImageDecodes>();
  // After app_: the editor goes first, while the document it shows exists.
  std::unique_ptr<ov_vst_editor> editor_;
  bool load_failed_ = false;
  HostInputPort* input_port_ = nullptr;
  HostOutputPort* output_port_ = nullptr;
  std::atomic<vst2::VstEvents*> pending_events_{nullptr};
  std::atomic<vst2::VstEvents*> pending_platform_events_{nullptr};
  MidiRing platform_midi_;
  std::atomic<bool> active_{false};
  std::atomic<bool> processing_{false};
  // Set by the audio thread when rendering threw; cleared at resume.
  std::atomic<bool> engine_fault_{false};
  bool engine_fault_told_ = false;  // editor thread
  // Why the last resume left no engine; empty when one runs. Editor thread.
  std::string engine_problem_;
  // Written by each process call for hosts that ask how many voices sound.
  std::atomic<int32_t> sounding_voices_{0};
  bool replacing_ = true;
  HostMidiOut midi_out_;
  // Host MIDI waiting for the engine: the current block's, and that of
  // blocks skipped while another thread held the engine. Audio thread;
  // room made at construction.
  struct HeldMidi {
    int32_t delta;  // frames after the block start
    uint32_t word;
  };
  static constexpr std::size_t kHeldMidiEvents = 4096;
  std::vector<HeldMidi> held_midi_;
  uint32_t midi_out_read_count_ = 0;  // entries of the output ring read

  // Follows the "Program" parameter of the patches' container: a patch
  // selected there (a "Patch Select", the panel) becomes the host's program
  // and the host is asked to show it. Editor thread.
  class ProgramWatcher : public ParamWatcher {
   public:
    explicit ProgramWatcher(OvVst& plugin) : plugin_(plugin) {}

   private:
    void OnParameterChanged() override;
    OvVst& plugin_;
  };

  CPatchManager* patches_ = nullptr;  // the main container's
  std::vector<std::unique_ptr<vst_parameter>> parameters_;
  ProgramWatcher program_watcher_{*this};
  std::vector<uint8_t> chunk_;  // the last chunk handed to the host
  bool last_chunk_applied_ = false;
  // The engine as foreign-thread automation sees it, and how many such sets
  // are using it: suspend clears the one and waits for the other.
  std::atomic<OvAudioMaster*> automation_engine_{nullptr};
  std::atomic<int32_t> automating_{0};
  // Raised after a host parameter's set went to its pending slot.
  std::atomic<bool> pending_sets_{false};
};

// Creates the plug-in for a host, or answers null when the host gives no
// version or the project cannot be loaded. Editor thread.
vst2::AEffect* CreatePlugin(vst2::HostCallback host, ProjectSource& source);

}  // namespace ov
