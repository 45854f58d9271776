// A scriptable host and project for driving the plug-in object directly.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/host_ports.h"
#include "host/ov_vst.h"
#include "platform/message_sink.h"

namespace ov::testing {

// The host callback carries no user pointer, so one host is current at a time.
class FakeHost {
 public:
  FakeHost() { current_ = this; }
  ~FakeHost() { current_ = nullptr; }

  static intptr_t Callback(vst2::AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt) {
    return current_ ? current_->Answer(opcode, index, value, ptr, opt) : 0;
  }

  int Count(int32_t opcode) const {
    int n = 0;
    for (int32_t op : calls) n += op == opcode;
    return n;
  }

  intptr_t version = 2400;
  std::vector<int32_t> calls;
  vst2::VstTimeInfo time{};
  bool gives_time = true;
  intptr_t last_time_filter = 0;
  struct SentEvent {
    int32_t delta;
    uint8_t bytes[3];
  };
  std::vector<std::vector<SentEvent>> sent_blocks;
  struct Automation {
    int32_t index;
    float value;
    bool operator==(const Automation&) const = default;
  };
  std::vector<Automation> automated;

 private:
  intptr_t Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    calls.push_back(opcode);
    switch (opcode) {
      case vst2::audioMasterAutomate:
        automated.push_back({index, opt});
        return 0;
      case vst2::audioMasterVersion:
        return version;
      case vst2::audioMasterGetTime:
        last_time_filter = value;
        return gives_time ? reinterpret_cast<intptr_t>(&time) : 0;
      case vst2::audioMasterProcessEvents: {
        auto* events = static_cast<vst2::VstEvents*>(ptr);
        auto* const* list = reinterpret_cast<vst2::VstEvent* const*>(
            reinterpret_cast<const char*>(events) + offsetof(vst2::VstEvents, events));
        std::vector<SentEvent> block;
        for (int32_t i = 0; i < events->numEvents; ++i) {
          auto* midi = reinterpret_cast<vst2::VstMidiEvent*>(list[i]);
          block.push_back(
              {midi->deltaFrames,
               {static_cast<uint8_t>(midi->midiData[0]), static_cast<uint8_t>(midi->midiData[1]),
                static_cast<uint8_t>(midi->midiData[2])}});
        }
        sent_blocks.push_back(block);
        return 1;
      }
      default:
        return 0;
    }
  }

  static inline FakeHost* current_ = nullptr;
};

class FakeProject final : public ProjectSource {
 public:
  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    if (!facts) messages.Post("no project", MessageStyle::kWarning);
    return facts;
  }
  std::optional<ProjectFacts> facts = ProjectFacts{};
};

inline ProjectFacts SynthFacts() {
  ProjectFacts facts;
  facts.title = "Test Synth";
  facts.plugin_id = "OvTs";
  facts.plugin_options = kOptionSynth | kOptionStereoPairs;
  facts.audio_outputs = {"Left", "Right"};
  facts.has_midi_input = facts.midi_input_visible = true;
  return facts;
}

// Stands in for the engine module that feeds host MIDI into the graph.
class FakeInputPort final : public HostInputPort {
 public:
  void SetHostInputs(float* const*, int32_t) override {}
  uint32_t SampleTime() const override { return time; }
  void DeliverHostMidi(uint32_t stamp, uint32_t word) override {
    received.push_back({stamp, word});
  }
  uint32_t time = 0;
  std::vector<std::pair<uint32_t, uint32_t>> received;
};

// Stands in for the engine module that writes the host's outputs.
class FakeOutputPort final : public HostOutputPort {
 public:
  void SetHostOutputs(float* const*, int32_t) override {}
  uint32_t SampleTime() const override { return time; }
  const MidiRing& MidiOut() const override { return ring; }
  uint32_t time = 0;
  MidiRing ring;
};

}  // namespace ov::testing
