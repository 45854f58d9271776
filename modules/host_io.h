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

// A generator that takes MIDI at one input. Every MIDI message that passed
// the input's channel filter (set by the module's "Channel" plug, if it has
// one: -1 takes every channel) reaches OnMidi; other events get the base
// handling. It opens sleeping when idle.
class ug_midi_device : public ug_base {
 public:
  static constexpr int32_t kNoChannelPlug = -1;

  // The plug numbers of the MIDI input and of the "Channel" input.
  ug_midi_device(int32_t midi_in_plug, int32_t channel_plug);
  void Open() override;
  void HandleEvent(ug_event& event) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 protected:
  // One message word at its time stamp, which is the clock. Audio thread.
  virtual void OnMidi(uint32_t time, uint32_t word) = 0;

  int16_t channel_ = -1;  // the "Channel" plug's value

 private:
  void SetChannelFilter();

  int32_t midi_in_plug_;
  int32_t channel_plug_;
};

class ug_vst_out : public ug_midi_device, public HostOutputPort {
 public:
  ug_vst_out();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  bool CanSleep() const override { return false; }
  bool InputBlocksMayMove() const override { return true; }

  void SetHostOutputs(float* const* outputs, int32_t count) override;
  uint32_t SampleTime() const override { return Clock(); }
  const MidiRing& MidiOut() const override { return ring_; }

 protected:
  // Kept for the plug-in to send after the block.
  void OnMidi(uint32_t time, uint32_t word) override { ring_.Write(time, word); }

 private:
  // The first block after the engine starts decides, for the whole run,
  // whether the host's buffers are written over or added into.
  void ChooseWriting(int32_t position, int32_t count);
  void Replace(int32_t position, int32_t count);
  void Accumulate(int32_t position, int32_t count);

  std::vector<UPlug*> audio_;
  std::vector<float*> host_outputs_;
  MidiRing ring_;
};

}  // namespace ov
