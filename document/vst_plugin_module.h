// `Ctl_VST_Plugin`: the "VST Plugin" module's document half. It keeps the
// hosted plug-in's stored state (file name, identity, programs and MIDI
// assignments), loads the library when the project is initialised, hands
// the stored state to the plug-in, and stores the plug-in's live state when
// the project is written. It answers the plug-in's host requests.
//
// Threads: editor, except the host requests VST_HostApp marks as audio
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/module.h"
#include "patches/idle_list.h"
#include "platform/thread_identity.h"
#include "vsthost/vst_host_app.h"
#include "vsthost/vst_wrapper.h"

namespace ov {

class FileDialog;
class MessageSink;
class generic_parameter;
class parameter_vst;

class Ctl_VST_Plugin : public CUG_with_patches, public VST_HostApp, public IdleClient {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_VST_Plugin();
  ~Ctl_VST_Plugin() override;
  void Serialize(FieldWalker& walker) override;
  // Finds and loads the stored library and applies the stored state to it.
  void InitialiseAfterLoad(bool loaded) override;

  struct Program {
    std::string name;
    std::vector<float> values;   // without program chunks: one per parameter
    std::vector<uint8_t> chunk;  // per-program chunks of versions before 39
  };

  const std::string& file_name() const { return file_name_; }
  int32_t unique_id() const { return unique_id_; }
  const std::vector<Program>& programs() const { return programs_; }
  const std::vector<uint8_t>& bank_chunk() const { return bank_chunk_; }
  VST_Wrapper& wrapper() { return *wrapper_; }
  const VST_Wrapper& wrapper() const { return *wrapper_; }
  // Why the stored library is not loaded, when it is not.
  const std::string& load_error() const { return load_error_; }

  // Loads the library at the full `path` for this module: the module takes
  // its file name, identity and title, its plugs follow the plug-in's
  // channels. False with `error` on failure.
  bool PrepareForLibrary(const std::string& path, std::string* error);
  // The index of the parameter named `name` (as the plug-in gives it, or
  // cut for display), or of the index `name` writes; -1 when none.
  int32_t ParameterIndex(const std::string& name) const;
  // Reads what the plug-in holds now into the stored fields.
  void CaptureLiveState();
  // The plug-in's live state for a host's saved session: its chunk, or each
  // program's name and values, and the current program. Empty when no
  // library is loaded.
  std::vector<uint8_t> LiveState();
  // Applies what LiveState wrote when it fits the loaded plug-in. False,
  // with the reason, when the bytes are damaged or do not fit; nothing is
  // applied then.
  bool RestoreLiveState(std::span<const uint8_t> bytes, std::string* problem);

  // The panel parameters: for each of the plug-in's parameters a
  // `parameter_vst` or null (names "invalid index", and empty names above
  // index 32, get none), then "Program Name", then "Program". Empty while
  // no library is loaded. Panels and the generic grid show them; hosts do
  // not see them (the plug-in's state travels in our chunk's hosted section).
  const std::vector<std::unique_ptr<generic_parameter>>& parameters() const {
    return parameters_;
  }
  // The `parameter_vst` of the plug-in's parameter `index`, or null.
  parameter_vst* VstParameter(int32_t index) const;
  // Selects the plug-in's program `program` and tells every parameter.
  void SelectProgram(int32_t program);
  // Program names or values changed: every parameter's watchers hear it.
  void ProgramsChanged();
  // Assigns MIDI controller `controller` (-1 none; 99 NRPN and 101 RPN with
  // `number`) to the plug-in's parameter `index`; stored with the module,
  // and followed by the engine half from its next start.
  void SetMidiAssignment(int32_t index, int32_t controller, int32_t number);

  // "Load Bank", "Save Bank", "Load Inst" and "Save Inst" on the plug-in's
  // programs: the dialog asks for the file, and the answer loads or saves
  // it; what goes wrong is told in `messages`. The module, `dialog` and
  // `messages` must outlive the question (the editor withdraws it when it
  // closes). False for other commands or without a library.
  bool RunFileCommand(int32_t id, ov::FileDialog& dialog, MessageSink& messages);
  // The same on a named file. False, with the message for the user, when
  // the file cannot be read or written or does not fit the plug-in.
  bool LoadProgramsFile(const std::string& path, bool bank, std::string* error);
  bool SaveProgramsFile(const std::string& path, bool bank, std::string* error);
  // Copies the current program to programs first..last, named "(Copy k)
  // <name>", through the plug-in's own copy when it has one, else in memory.
  void CopyProgram(int32_t first, int32_t last);
  // With a library: "Panel Edit...", the four file commands and
  // "Automation..." (the editor carries them out).
  void AddMenuEntries(ContextMenu& menu) override;

  // IdleClient: the plug-in's editor idle and the idle calls it asked for;
  // the module stays listed while its library is loaded.
  bool OnIdle() override;

  // VST_HostApp.
  void Idle() override;
  void LibraryUnloading() override;
  void EventsFromPlugin(const vst2::VstEvents& /*events*/) override {}
  void SetTime(const vst2::VstTimeInfo& /*time*/) override {}
  const vst2::VstTimeInfo* GetTime(int32_t /*flags*/) override { return nullptr; }
  int32_t SampleRate() override { return static_cast<int32_t>(wrapper_->Time().sampleRate); }
  int32_t BlockSize() override { return 0; }
  // The desktop's dialog, waited for (only the editor thread asks).
  bool FileDialog(bool save, const std::string& file_type, std::string& path) override;
  void ParameterAutomated(int32_t index, float value) override;
  bool CopyLibrariesBeforeLoading() override { return false; }
  void DisplayChanged() override;

  // The engine half just made for this module runs its plug-in. Editor
  // thread, while the graph is built.
  void OnGeneratorMade(ug_base& generator);

 protected:
  // MIDI moved parameters: their watchers hear it.
  void OnRefresh(ug_base& generator) override;

 private:
  // Whether the stored state was written for a plug-in shaped like the
  // loaded one.
  bool StoredStateFits() const;
  void ApplyStoredState();
  // The title becomes the effect name; "ProcessReplacing Fix" is set for a
  // plug-in that adds to outputs it was asked to replace, "Data Alignment
  // Fix" for the plug-ins known to need it.
  void ApplyAutomaticFixes();
  void SetPlugText(const std::string& name, const std::string& text);
  // One panel parameter per usable plug-in parameter, then the two extras;
  // the stored MIDI assignments go to them.
  void BuildParameters();
  void ApplyMidiAssignments();
  // Joins the application's idle list (editor thread, inside a document).
  void JoinIdleList();
  // Tells the parameters the plug-in reported changed off the editor thread.
  void DeliverPendingChanges();
  // As many "Signal in" and "Signal Out" plugs as the plug-in has channels.
  void MatchChannelPlugs();

  std::unique_ptr<VST_Wrapper> wrapper_;
  std::string load_error_;
  int32_t load_version_ = 0;
  std::string file_name_;
  int32_t unique_id_ = 0;
  int32_t chunk_flag_ = 0;
  int32_t parameter_count_ = 0;
  int32_t current_program_ = 0;
  std::vector<uint8_t> bank_chunk_;
  std::vector<Program> programs_;
  std::vector<int32_t> midi_assignments_;
  std::vector<std::unique_ptr<generic_parameter>> parameters_;
  std::shared_ptr<IdleList> idle_list_;  // the one joined, while joined
  ThreadIdentity editor_thread_;
  // Reports from the plug-in on another thread wait for the next idle.
  std::atomic<bool> display_changed_{false};
};

}  // namespace ov
