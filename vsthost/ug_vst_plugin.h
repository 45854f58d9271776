// `ug_vst_plugin`: the engine half of a "VST Plugin" module. It feeds the
// hosted plug-in the engine's audio and MIDI and sends the plug-in's MIDI on,
// either straight on the engine's buffers or, with "Data Alignment Fix",
// through 32-sample staging buffers (32 samples of latency).
//
// Threads: made, given its wrapper, opened and closed on the editor thread
// while audio is stopped; everything else on the audio thread, where
// nothing allocates: every buffer and the event list are sized at open.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "platform/vst2.h"
#include "vsthost/vst_wrapper.h"

namespace ov {

class ug_vst_plugin : public ug_base, public VstEventSink {
 public:
  enum Plug : int32_t { kMidiIn = 0, kChannel, kMidiOut };
  static constexpr int32_t kAlignment = 32;
  // Messages held between process calls, and events per call; more are
  // dropped and counted.
  static constexpr std::size_t kQueueCapacity = 1024;
  static constexpr std::size_t kEventCapacity = 512;

  // A plug-in parameter that follows a MIDI controller: `controller` 0-127,
  // where 99 means an NRPN and 101 an RPN numbered `number`.
  struct MidiAssignment {
    int32_t index;
    int32_t controller;
    int32_t number;
  };
  static constexpr int32_t kMidiFullScale = 16256;  // 127 x 128 is 1.0

  ug_vst_plugin();
  ~ug_vst_plugin() override;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  // The plug-in this generator runs; null runs nothing. Editor thread.
  void SetWrapper(VST_Wrapper* wrapper) { wrapper_ = wrapper; }
  // The parameters "MIDI Automation" moves. Editor thread, before Open.
  void SetMidiAssignments(std::vector<MidiAssignment> assignments) {
    assignments_ = std::move(assignments);
  }
  // Whether MIDI moved the plug-in's parameter `index` since the last ask;
  // asking clears it. The editor side asks when "refr" arrives. Any thread.
  bool TakeMovedByMidi(int32_t index);
  void Open() override;
  void Close() override;
  bool CanSleep() const override { return false; }
  void QueueMidi(uint32_t time, uint32_t message, UPlug* receiver) override;
  void HandleEvent(ug_event& event) override;

  // The plug-in's events while it processes: MIDI to "MIDI Out".
  void EventsFromPlugin(const vst2::VstEvents& events) override;

  // Messages and events that found no room since open.
  uint64_t DroppedMidi() const { return dropped_; }

 private:
  struct Timed {
    uint32_t time;
    uint32_t word;
  };

  void ChooseProcessFunction();
  void ProcessDirect(int32_t position, int32_t count);
  void ProcessAligned(int32_t position, int32_t count);
  void ProcessSilent(int32_t position, int32_t count);
  // Moves the queued messages stamped in [start, start + length) into the
  // event list and hands it over.
  void SendEvents(uint32_t start, int32_t length);
  void RunPlugin(float** inputs, float** outputs, int32_t count);
  // A controller event: NRPN and RPN selection, or the value of every
  // parameter listed under the controller.
  void OnControllerEvent(int32_t controller, int32_t value);

  VST_Wrapper* wrapper_ = nullptr;
  std::vector<UPlug*> inputs_;
  std::vector<UPlug*> outputs_;
  std::vector<float*> input_pointers_;   // one per plug-in input
  std::vector<float*> output_pointers_;  // one per plug-in output
  std::vector<float> silence_;           // inputs the module has no plug for
  std::vector<float> spare_;             // outputs the module has no plug for
  // Aligned mode: per channel, 32 samples collected and 32 samples to give.
  std::vector<std::array<float, kAlignment>> staged_in_;
  std::vector<std::array<float, kAlignment>> staged_out_;
  std::vector<float*> staged_in_pointers_;
  std::vector<float*> staged_out_pointers_;
  int32_t staged_ = 0;

  std::vector<Timed> queue_;  // a ring of kQueueCapacity
  std::size_t queue_head_ = 0;
  std::size_t queue_size_ = 0;
  std::vector<vst2::VstMidiEvent> midi_events_;
  std::vector<std::byte> event_list_;  // a VstEvents with kEventCapacity pointers
  uint64_t dropped_ = 0;

  std::vector<MidiAssignment> assignments_;
  std::vector<int16_t> midi_values_;  // per assignment: high 7 bits, low 7 bits
  std::unique_ptr<std::atomic<bool>[]> moved_;  // per assignment
  // Per controller number: the assignments listed under it.
  std::array<std::vector<int16_t>, 128> by_controller_;
  int32_t nrpn_ = -1;
  int32_t rpn_ = -1;

  int16_t channel_ = -1;
  bool replacing_fix_ = false;
  bool alignment_fix_ = false;
  bool midi_automation_ = false;
  bool opened_ = false;
};

}  // namespace ov
