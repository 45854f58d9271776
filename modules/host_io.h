// "VST Input" and "VST Output": where the host's audio and MIDI enter the
// graph and leave it. The plug-in hands them the host's buffers before each
// block; the input copies host audio into its outputs and sends host MIDI
// on, the output copies (or adds) its inputs into the host's buffers and
// keeps outgoing MIDI in a ring that the plug-in reads after the block.
//
// Threads: opened and closed on the editor thread while audio is stopped
// (they register with the plug-in then); everything else on the audio
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/host_ports.h"
#include "engine/ug_base.h"

namespace ov {

class ug_vst_in : public ug_base, public HostInputPort {
 public:
  static constexpr int32_t kMidiOutPlug = 0;

  ug_vst_in();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  bool CanSleep() const override { return false; }

  void SetHostInputs(float* const* inputs, int32_t count) override;
  uint32_t SampleTime() const override { return Clock(); }
  void DeliverHostMidi(uint32_t time, uint32_t word) override;

 private:
  void Copy(int32_t position, int32_t count);

  std::vector<UPlug*> audio_;
  std::vector<const float*> host_inputs_;
};

// A generator that collects outgoing MIDI in a ring.
class ug_midi_device : public ug_base {
 public:
  const MidiRing& Ring() const { return ring_; }

 protected:
  MidiRing ring_;
};

class ug_vst_out : public ug_midi_device, public HostOutputPort {
 public:
  ug_vst_out();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  void HandleEvent(ug_event& event) override;
  bool CanSleep() const override { return false; }

  void SetHostOutputs(float* const* outputs, int32_t count) override;
  uint32_t SampleTime() const override { return Clock(); }
  const MidiRing& MidiOut() const override { return ring_; }

 private:
  // The first block after the engine starts decides, for the whole run,
  // whether the host's buffers are written over or added into.
  void ChooseWriting(int32_t position, int32_t count);
  void Replace(int32_t position, int32_t count);
  void Accumulate(int32_t position, int32_t count);

  std::vector<UPlug*> audio_;
  std::vector<float*> host_outputs_;
};

}  // namespace ov
