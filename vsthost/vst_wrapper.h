// `VST_Wrapper`: one loaded VST 2 plug-in library, and `VST_Wrapper_List`,
// the process-wide list of loaded wrappers through which the one host
// callback finds the wrapper a plug-in's request is for.
//
// Threads: Load, Unload, texts, programs and chunks on the editor thread;
// Dispatch and the AEffect's process calls also on the audio thread, as the
// VST 2 interface allows. The list is changed on the editor thread and read
// by the host callback on any thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"

namespace vst2 {
struct VstFileSelect;
}

namespace ov {

class VST_HostApp;

// Who takes the plug-in's events while it processes (the engine half).
// Audio thread.
class VstEventSink {
 public:
  virtual ~VstEventSink() = default;
  virtual void EventsFromPlugin(const vst2::VstEvents& events) = 0;
};

class VST_Wrapper {
 public:
  explicit VST_Wrapper(VST_HostApp* host) : host_(host) {}
  ~VST_Wrapper() { Unload(); }
  VST_Wrapper(const VST_Wrapper&) = delete;
  VST_Wrapper& operator=(const VST_Wrapper&) = delete;

  // Loads the library at the full `path`, opens the plug-in and reads its
  // program names. False, with the user's message in `error`, on failure.
  bool Load(const std::string& path, std::string* error);
  void Unload();
  bool Loaded() const { return effect_ != nullptr; }

  vst2::AEffect* Effect() const { return effect_; }
  const std::string& Path() const { return path_; }
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) const;

  int32_t VstVersion() const { return vst_version_; }
  int32_t UniqueId() const { return effect_ != nullptr ? effect_->uniqueID : 0; }
  int32_t ProgramCount() const;  // at least 1
  bool HasChunks() const;
  bool CanReplace() const;
  bool HasEditor() const;
  // The parameter count, with the two named exceptions.
  int32_t ParameterCount() const;
  // "sendVstMidiEvent", or the plug-in known to send MIDI without saying so.
  bool SendsMidi() const;

  // The plug-in's own editor: its size from effEditGetRect (20 x 20 when it
  // gives no rectangle), opened with effEditOpen in the native window
  // `window` (an X11 Window id) and closed with effEditClose. OpenEditor
  // answers false when the plug-in has no editor or it is open already;
  // CloseEditor does nothing while it is not open. Editor thread.
  struct EditorSize {
    int32_t width = 20;
    int32_t height = 20;
  };
  EditorSize EditorRect() const;
  bool OpenEditor(uintptr_t window);
  void CloseEditor();

  // Texts, C strings cut for display at 20 bytes on a character boundary
  // or at a control byte.
  std::string ParameterName(int32_t index) const;
  std::string ParameterDisplay(int32_t index) const;
  std::string ParameterLabel(int32_t index) const;
  // The plug-in's full parameter name (up to its terminator), for lookups.
  std::string RawParameterName(int32_t index) const;
  std::string EffectName() const;
  const std::vector<std::string>& ProgramNames() const { return program_names_; }
  std::string ProgramName() const;
  void SetProgramName(const std::string& name);
  int32_t Program() const;
  void SetProgram(int32_t program) const;
  float GetParameter(int32_t index) const;
  void SetParameter(int32_t index, float value) const;

  // The bank chunk (effGetChunk), or empty.
  std::vector<uint8_t> BankChunk() const { return Chunk(false); }
  void SetBankChunk(const std::vector<uint8_t>& chunk) const { SetChunk(false, chunk); }
  // The current program's chunk, or empty.
  std::vector<uint8_t> ProgramChunk() const { return Chunk(true); }
  void SetProgramChunk(const std::vector<uint8_t>& chunk) const { SetChunk(true, chunk); }
  // The plug-in's own count of parameters and its version number.
  int32_t RealParameterCount() const { return effect_ != nullptr ? std::max(effect_->numParams, 0) : 0; }
  int32_t PluginVersion() const { return effect_ != nullptr ? effect_->version : 0; }

  // Sample rate and block size, sent together as hosts do before switching
  // on; the block size is what audioMasterGetBlockSize then answers.
  void SetRateAndBlock(float sample_rate, int32_t block_size);
  void SetMains(bool on) const;

  // The time record the plug-in reads; the engine half keeps its position.
  // Audio thread while processing.
  vst2::VstTimeInfo& Time() { return time_; }

  // While one lives, this thread's host requests go to `wrapper` unless they
  // name another plug-in: the engine half holds one around its process calls,
  // so the audio thread never reads the list.
  class CallingScope {
   public:
    explicit CallingScope(VST_Wrapper& wrapper);
    ~CallingScope();
    CallingScope(const CallingScope&) = delete;
    CallingScope& operator=(const CallingScope&) = delete;

   private:
    VST_Wrapper* previous_;
  };

  // Events from the plug-in go here while set, else to the host. Editor
  // thread, while audio is stopped.
  void SetEventSink(VstEventSink* sink) { sink_ = sink; }

  // The host callback's answer for this wrapper.
  intptr_t Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  std::atomic<bool> idle_wanted{false};
  std::atomic<bool> editor_open{false};

 private:
  void ReadProgramNames();
  std::vector<uint8_t> Chunk(bool program) const;
  void SetChunk(bool program, const std::vector<uint8_t>& chunk) const;
  // audioMasterOpenFileSelector: the host's dialog, the path copied back
  // within the request's room (or into room allocated here, freed by
  // audioMasterCloseFileSelector or at unloading). 1 when a path was given.
  intptr_t SelectFile(vst2::VstFileSelect* select);
  intptr_t CloseFileSelector(vst2::VstFileSelect* select);

  std::string path_;
  std::string directory_;  // what audioMasterGetDirectory points at
  std::vector<std::string> program_names_;
  vst2::AEffect* effect_ = nullptr;
  DynamicLibrary library_;
  VST_HostApp* host_;
  VstEventSink* sink_ = nullptr;
  int32_t vst_version_ = 0;
  std::atomic<int32_t> block_size_{0};
  vst2::VstTimeInfo time_{};
  std::vector<std::unique_ptr<char[]>> chosen_paths_;
};

// The process-wide list of wrappers whose library is loaded: a copy-on-write
// list swapped atomically, so the host callback never waits on a change.
class VST_Wrapper_List {
 public:
  static void Add(VST_Wrapper* wrapper);
  static void Remove(VST_Wrapper* wrapper);
  // The wrapper of `effect`, or null. Any thread.
  static VST_Wrapper* Find(const vst2::AEffect* effect);
  static std::size_t Size();
};

// The callback every hosted library is given. Any thread.
intptr_t VstHostCallback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                         void* ptr, float opt);

// A name cut for display: at most `limit` bytes, never inside a UTF-8
// character, and ending at the first control byte.
std::string CutName(const char* text, std::size_t limit);

}  // namespace ov
