// One LV2 instance of the project baked into this library. It drives the
// same plug-in object that VST 2 hosts get, through that object's own
// record, answering its host calls itself: instantiate builds it, activate
// resumes it, run processes, deactivate suspends and cleanup closes it.
// Control ports become parameter changes at the block they change in, MIDI
// lands at its frame, and transport positions are what the plug-in reads
// as the host's time.
//
// Threads, as LV2 classes them: Create, Activate, Deactivate, Restore and
// the destructor on the host's main thread (the one that created the
// instance is the plug-in's editor thread); Connect and Run on the audio
// thread; Save and Work on any thread but the audio one (they go through
// the plug-in's locking dispatcher).
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "lv2/port_layout.h"
#include "lv2/session_files.h"
#include "platform/vst2.h"

namespace ov {

class OvVst;
class ProjectSource;

// Whether `feature` is the one named `uri`. Some hosts list features
// without a name; those are no feature of ours.
inline bool IsFeature(const LV2_Feature* feature, const char* uri) {
  return feature->URI != nullptr && std::strcmp(feature->URI, uri) == 0;
}

class OvLv2 {
 public:
  // Null, after telling stderr why, when the host lacks urid:map or the
  // project in `source` cannot be loaded.
  static std::unique_ptr<OvLv2> Create(double sample_rate, const LV2_Feature* const* features,
                                       ProjectSource& source);
  ~OvLv2();
  OvLv2(const OvLv2&) = delete;
  OvLv2& operator=(const OvLv2&) = delete;

  void Connect(uint32_t port, void* data);
  void Activate();
  void Run(uint32_t frames);
  void Deactivate();
  // With the host's state:mapPath among `features`, the files the project
  // read from disk are saved as the host's abstract paths beside the bank,
  // and restored to where the host says they are now.
  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                        const LV2_Feature* const* features);
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                           const LV2_Feature* const* features);
  // The plug-in's periodic editor-side work, which a VST 2 host's idle
  // calls do.
  void Work();

  // The editor, for a UI on the host's user-interface thread (the one that
  // instantiated the plug-in). Opening shows the plug-in's current values
  // and changes no port; while open, each control the user moves is written
  // to its port through `write_port`. False, with a message, when the
  // editor cannot open in `parent`.
  using PortWriter = std::function<void(uint32_t port, float value)>;
  bool OpenEditor(void* parent, PortWriter write_port, int32_t* width, int32_t* height,
                  void** window);
  // False once the editor's window is gone.
  bool EditorIdle();
  void CloseEditor();

 private:
  struct Uris {
    LV2_URID atom_chunk, atom_int, atom_long, atom_float, atom_double, atom_object, atom_blank,
        atom_sequence, midi_event, time_position, time_frame, time_speed, time_bpm, time_bar,
        time_bar_beat, time_beat, time_beats_per_bar, time_beat_unit, bank, program, max_block,
        nominal_block, atom_urid, atom_tuple, atom_string, atom_path, files;
  };
  struct TimedMidi {
    uint32_t frame;
    uint8_t bytes[3];
  };
  struct Transport {
    uint32_t frame;  // in this run
    const LV2_Atom_Object* position;
  };

  OvLv2() = default;
  static intptr_t HostCallback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                               void* ptr, float opt);
  intptr_t Answer(int32_t opcode, int32_t index, void* ptr, float opt);
  // A control the user moved on the panel: its port hears of it.
  void ReportToPort(int32_t parameter_index, float normalised);
  intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  void ReadOptions(const LV2_Feature* const* features);
  void ApplyControlPorts();
  void ReadEvents(uint32_t frames);
  void ApplyPosition(const LV2_Atom_Object& position);
  void AdvanceTime(uint32_t frames);
  void ProcessSlice(uint32_t offset, uint32_t frames);
  void SendMidiOut(const vst2::VstEvents& events);
  LV2_State_Status SaveFiles(LV2_State_Store_Function store, LV2_State_Handle handle,
                             const Lv2PathFeatures& paths);
  // Where the files in a restored state are now: nothing when the state
  // lists none or the host cannot say; `damaged` when the list is.
  std::map<std::string, std::string> RestoredFiles(LV2_State_Retrieve_Function retrieve,
                                                   LV2_State_Handle handle,
                                                   const Lv2PathFeatures& paths, bool* damaged);

  std::unique_ptr<OvVst> plugin_;
  vst2::AEffect* effect_ = nullptr;
  Lv2PortLayout layout_;
  Uris uris_{};
  LV2_URID_Map* map_ = nullptr;
  LV2_Worker_Schedule* schedule_ = nullptr;
  Lv2PathFeatures paths_;  // as given at instantiation
  double sample_rate_ = 44100;
  int32_t block_size_ = 1024;

  // Ports, as the host connected them.
  std::vector<const float*> audio_in_;
  std::vector<float*> audio_out_;
  const LV2_Atom_Sequence* events_in_ = nullptr;
  LV2_Atom_Sequence* midi_out_ = nullptr;
  const float* freewheel_ = nullptr;
  std::vector<const float*> controls_;
  // The control values applied last, first the ports' defaults.
  std::vector<float> applied_;

  // Made at instantiation, so that run allocates nothing: inputs are copied
  // before the plug-in clears its outputs, which the host may have given as
  // the same buffers.
  std::vector<float> input_copy_;
  std::vector<float*> input_slices_;
  std::vector<float*> output_slices_;
  std::vector<float> discard_;
  std::vector<TimedMidi> midi_;
  std::vector<Transport> transports_;
  std::vector<vst2::VstMidiEvent> slice_events_;
  std::vector<intptr_t> slice_record_;  // a VstEvents record with room for every pointer

  LV2_Atom_Forge forge_{};
  LV2_Atom_Forge_Frame midi_out_frame_{};
  bool midi_out_open_ = false;
  uint32_t slice_offset_ = 0;
  int64_t last_midi_out_frame_ = 0;

  vst2::VstTimeInfo time_{};
  double speed_ = 0;
  double beats_per_bar_ = 4;
  double beat_unit_ = 4;
  std::atomic<bool> offline_{false};
  uint32_t frames_since_work_ = 0;
  PortWriter write_port_;  // while the editor is open; user-interface thread
};

}  // namespace ov
