// "MIDI Automator" and "MIDI Automator Output": MIDI controllers move the
// patch parameters of the automator's patch context (with learning), and the
// values those parameters output go back out as controller messages.
//
// The output generator is made by the graph build beside each automator;
// the automator's "MIDI Out" is redirected to the output's, so connections
// drawn from the automator carry what the output sends.
//
// Threads: built and opened on the editor thread while audio is stopped;
// MIDI handling and sending on the audio thread, without allocating.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/midi_automation.h"
#include "engine/ug_base.h"

namespace ov {

class ug_midi_automator : public ug_base {
 public:
  static constexpr int32_t kChannelPlug = 0;
  static constexpr int32_t kMidiInPlug = 1;
  static constexpr int32_t kMidiOutPlug = 2;
  static constexpr int32_t kHiddenOutputPlug = 3;
  static constexpr uint16_t kNoParameterNumber = 0xFFFF;

  // What one controller message amounts to: the controller (an LSB of
  // 32-63 counts as its MSB's), its id and its value from 0 to 1.
  struct Reading {
    int32_t controller;
    int32_t id;
    float normalised;
  };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  void HandleEvent(ug_event& event) override;

  // Updates the 14-bit registers and parameter numbers with controller
  // `controller` = `value`. False for a parameter-number selection, which
  // moves nothing by itself.
  bool Read(uint8_t controller, uint8_t value, Reading& reading);

  // The channel outgoing messages use: the "Channel" setting, or the first
  // channel for "All".
  int16_t SendingChannel() const { return channel_ < 0 ? int16_t{0} : channel_; }
  bool SendsAllOnPatchChange() const { return send_all_on_patch_change_; }

 private:
  void SetChannelFilter();

  int16_t channel_ = -1;
  bool send_all_on_patch_change_ = false;
  std::array<uint16_t, 32> registers_{};
  uint16_t rpn_ = kNoParameterNumber;
  uint16_t nrpn_ = kNoParameterNumber;
};

class ug_midi_automator_out : public ug_base, public AutomationSender {
 public:
  static constexpr int32_t kHiddenInputPlug = 1;
  static constexpr int32_t kMidiOutPlug = 2;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  // The automator whose channel and patch-change setting apply.
  void SetAutomator(const ug_midi_automator* automator) { automator_ = automator; }
  void SendAutomation(uint32_t time, int32_t id, float normalised, bool patch_change) override;

 private:
  void SendController(uint32_t time, int32_t controller, int32_t value);

  const ug_midi_automator* automator_ = nullptr;
  bool sent_ = false;
  uint32_t last_time_sent_ = 0;
};

}  // namespace ov
