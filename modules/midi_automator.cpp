#include "modules/midi_automator.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "engine/ug_container.h"
#include "engine/ug_event.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// 127 × 128: a 7-bit controller at its top reads exactly 1.
constexpr int32_t kFullScale = 16256;
constexpr int32_t kDataEntry = 6;
constexpr uint8_t kNrpnLsb = 98;
constexpr uint8_t kNrpnMsb = 99;
constexpr uint8_t kRpnLsb = 100;
constexpr uint8_t kRpnMsb = 101;

// Sets the low or high 7 bits of a parameter number; a number not yet
// selected starts from all ones.
uint16_t WithSevenBits(uint16_t number, bool high, uint8_t value) {
  if (number == ug_midi_automator::kNoParameterNumber) number = 0x3FFF;
  return high ? static_cast<uint16_t>((value << 7) | (number & 0x7F))
              : static_cast<uint16_t>((number & 0x3F80) | value);
}

}  // namespace

std::unique_ptr<ug_base> ug_midi_automator::CreateInstance() const {
  return std::make_unique<ug_midi_automator>();
}

void ug_midi_automator::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiAutomatorPlugs, {channel_, {}, {}, {}, send_all_on_patch_change_}, descriptors);
}

void ug_midi_automator::Open() {
  SetChannelFilter();
  ug_base::Open();
}

void ug_midi_automator::SetChannelFilter() {
  if (PlugCount() > kMidiInPlug) plug(kMidiInPlug)->SetChannelFilter(channel_);
}

void ug_midi_automator::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link != nullptr && PlugCount() > kChannelPlug && link->Destination() == plug(kChannelPlug)) {
    SetChannelFilter();
  }
  ug_base::OnStatusChange(time, link, state);
}

void ug_midi_automator::HandleEvent(ug_event& event) {
  if (event.kind != UET_MIDI) {
    ug_base::HandleEvent(event);
    return;
  }
  const auto word = static_cast<uint32_t>(event.parm1);
  if (midi::Command(word) != midi::kControlChange) return;
  Reading reading{};
  if (!Read(static_cast<uint8_t>(midi::Data1(word)), static_cast<uint8_t>(midi::Data2(word)),
            reading)) {
    return;
  }
  if (ug_container* context = PatchContext()) {
    for (ControllerReceiver* receiver : context->Controllers()) {
      receiver->OnController(event.time_stamp, reading.id, reading.normalised);
    }
  }
}

bool ug_midi_automator::Read(uint8_t controller, uint8_t value, Reading& reading) {
  int32_t fine = 0;
  reading.controller = controller;
  if (controller < 32) {
    uint16_t& reg = registers_[controller];
    reg = static_cast<uint16_t>((value << 7) | (reg & 0x7F));
    fine = reg;
  } else if (controller < 64) {
    reading.controller = controller - 32;
    uint16_t& reg = registers_[static_cast<size_t>(reading.controller)];
    reg = static_cast<uint16_t>((reg & 0x3F80) | value);
    fine = reg;
  } else if (controller == kNrpnLsb || controller == kNrpnMsb) {
    nrpn_ = WithSevenBits(nrpn_, controller == kNrpnMsb, value);
    rpn_ = kNoParameterNumber;
    return false;
  } else if (controller == kRpnLsb || controller == kRpnMsb) {
    rpn_ = WithSevenBits(rpn_, controller == kRpnMsb, value);
    nrpn_ = kNoParameterNumber;
    return false;
  } else {
    fine = value * 128;
  }
  reading.normalised = static_cast<float>(std::min(fine, kFullScale)) / kFullScale;
  if (reading.controller != kDataEntry) {
    reading.id = kControllerIdPlain + reading.controller;
  } else if (rpn_ != kNoParameterNumber) {
    reading.id = kControllerIdRpn + rpn_;
  } else if (nrpn_ != kNoParameterNumber) {
    reading.id = kControllerIdNrpn + nrpn_;
  } else {
    reading.id = kControllerIdPlain + kDataEntry;
  }
  return true;
}

std::unique_ptr<ug_base> ug_midi_automator_out::CreateInstance() const {
  return std::make_unique<ug_midi_automator_out>();
}

void ug_midi_automator_out::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiAutomatorOutPlugs, descriptors);
}

void ug_midi_automator_out::Open() {
  sent_ = false;
  ug_base::Open();
}

void ug_midi_automator_out::SendAutomation(uint32_t time, int32_t id, float normalised,
                                           bool patch_change) {
  // Values set while the graph is built go nowhere: nothing runs yet.
  if ((Flags() & UGF_OPEN) == 0 || automator_ == nullptr || PlugCount() <= kMidiOutPlug) return;
  if (patch_change && !automator_->SendsAllOnPatchChange()) return;
  int32_t number = 0;
  const int32_t kind = id >> 24;
  if (kind == kControllerIdPlain >> 24) {
    number = id & 0xFF;
    if (number > 127) return;
  } else if (kind == kControllerIdRpn >> 24 || kind == kControllerIdNrpn >> 24) {
    number = id & 0x3FFF;
  } else {
    return;
  }
  if (plug(kMidiOutPlug)->Connectors().empty()) return;
  // Events cannot go back in time: nothing earlier than what was already
  // sent, or than the cell now running.
  if (sent_ && static_cast<int32_t>(time - last_time_sent_) < 0) return;
  if (static_cast<int32_t>(time - Master()->CellStart()) < 0) return;
  sent_ = true;
  last_time_sent_ = time;

  int32_t controller = number;
  if (kind != kControllerIdPlain >> 24) {
    const bool rpn = kind == kControllerIdRpn >> 24;
    SendController(time, rpn ? kRpnMsb : kNrpnMsb, number >> 7);
    SendController(time, rpn ? kRpnLsb : kNrpnLsb, number & 0x7F);
    controller = kDataEntry;
  }
  const auto fine = static_cast<int32_t>(std::clamp(normalised, 0.0f, 1.0f) * kFullScale + 0.5f);
  SendController(time, controller, fine >> 7);
  if (controller < 32) SendController(time, controller + 32, fine & 0x7F);
}

void ug_midi_automator_out::SendController(uint32_t time, int32_t controller, int32_t value) {
  const auto channel = static_cast<uint32_t>(automator_->SendingChannel());
  SendMidi(*plug(kMidiOutPlug), time,
           midi::Word(midi::kControlChange | channel, static_cast<uint32_t>(controller),
                      static_cast<uint32_t>(value)));
}

}  // namespace ov
