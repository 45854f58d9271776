#include "modules/midi_utility.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "engine/saturating_cast.h"
#include "modules/controller_names.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// Data bytes as they came, for printing: a monitor shows what it was given.
uint32_t Byte1(uint32_t word) { return (word >> 8) & 0xFF; }
uint32_t Byte2(uint32_t word) { return (word >> 16) & 0xFF; }

bool IsNoteOff(uint32_t word) {
  const uint32_t command = midi::Command(word);
  return command == midi::kNoteOff || (command == midi::kNoteOn && midi::Data2(word) == 0);
}

}  // namespace

// --- MIDI Filter

std::unique_ptr<ug_base> ug_midi_filter::CreateInstance() const {
  return std::make_unique<ug_midi_filter>();
}

void ug_midi_filter::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiFilterPlugs,
              {{}, {}, channel_lo_, channel_hi_, note_lo_, note_hi_, velocity_lo_, velocity_hi_},
              descriptors);
}

bool ug_midi_filter::Passes(uint32_t word) const {
  if (midi::Status(word) >= midi::kSystem) return true;
  const int16_t channel = midi::Channel(word);
  if (channel < channel_lo_ - 1 || channel > channel_hi_ - 1) return false;
  const int16_t key = midi::Data1(word);
  const int16_t velocity = midi::Data2(word);
  if (midi::Command(word) == midi::kNoteOn && velocity > 0) {
    if (velocity < velocity_lo_ || velocity > velocity_hi_) return false;
  } else if (!IsNoteOff(word)) {
    return true;
  }
  return key >= note_lo_ && key <= note_hi_;
}

void ug_midi_filter::OnMidi(uint32_t time, uint32_t word) {
  if (Passes(word)) SendMidi(*plug(kMidiOut), time, word);
}

// --- Controllers

std::unique_ptr<ug_base> ug_midi_controllers::CreateInstance() const {
  return std::make_unique<ug_midi_controllers>();
}

void ug_midi_controllers::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiControllersPlugs, {{}, channel_, types_[0], types_[1], types_[2], types_[3]},
              descriptors);
}

void ug_midi_controllers::Open() {
  // A glide of 1/60 second.
  const int32_t glide = static_cast<int32_t>(Master()->SampleRate()) / 60;
  for (int32_t i = 0; i < kOutputs; ++i) {
    outputs_[i].init(smart_output::kLinear, glide);
    outputs_[i].attach(*plug(kAftertouch + i));
  }
  values_.fill(0);
  ug_midi_device::Open();
  SetProcessFunction(&ug_midi_controllers::Run);
}

void ug_midi_controllers::Resume() {
  ug_base::Resume();
  for (smart_output& output : outputs_) output.rearm();
}

void ug_midi_controllers::SetTarget(int32_t output, uint32_t time, float value) {
  outputs_[output].set_target(time, value);
  SetProcessFunction(&ug_midi_controllers::Run);
}

void ug_midi_controllers::OnMidi(uint32_t time, uint32_t word) {
  const int16_t first = midi::Data1(word);
  const int16_t second = midi::Data2(word);
  switch (midi::Command(word)) {
    case midi::kControlChange:
      for (int32_t i = 0; i < kSlots; ++i) {
        uint16_t& value = values_[i];
        if (first == types_[i]) {
          value = static_cast<uint16_t>(second * 128 + (value & 0x7F));
        } else if (first == types_[i] + 32 && first < 64) {
          value = static_cast<uint16_t>((value & ~0x7F) | second);
        } else {
          continue;
        }
        SetTarget(2 + i, time, static_cast<float>(value) * kControllerScale);
      }
      return;
    case midi::kChannelPressure:
      SetTarget(0, time, static_cast<float>(first) * 0.007874016f);
      return;
    case midi::kPitchBend:
      SetTarget(1, time, static_cast<float>(first + 128 * second - 8192) * 0.0001220703125f);
      return;
    default:
      return;
  }
}

void ug_midi_controllers::Run(int32_t position, int32_t count) {
  bool can_sleep = true;
  for (smart_output& output : outputs_) output.process(position, count, can_sleep);
  if (can_sleep) SetProcessFunction(&ug_midi_controllers::SleepWhenIdle);
}

// --- Trigger to MIDI

ug_cv_midi::ug_cv_midi() { SetProcessFunction(&ug_cv_midi::SleepWhenIdle); }

std::unique_ptr<ug_base> ug_cv_midi::CreateInstance() const {
  return std::make_unique<ug_cv_midi>();
}

void ug_cv_midi::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kCvMidiPlugs, {gate_, pitch_, velocity_, channel_, {}, freq_scale_}, descriptors);
}

void ug_cv_midi::Open() {
  SetProcessFunction(&ug_cv_midi::SleepWhenIdle);
  ug_base::Open();
}

int32_t ug_cv_midi::NoteOf(float pitch, int16_t freq_scale) {
  const double volts = static_cast<double>(pitch) * 10.0;
  const double note = freq_scale == kVoltPerKilohertz
                          ? 12.0 * std::log2(volts * 1000.0 / 440.0) + 69.0
                          : (volts - 5.0) * 12.0 + 69.5;
  const int32_t n = SaturatingCast<int32_t>(note);
  return std::clamp(n > 126 ? 127 : n, 0, 127);
}

int32_t ug_cv_midi::VelocityOf(float velocity) {
  return std::clamp(SaturatingCast<int32_t>(static_cast<double>(velocity) * 127.0), 1, 127);
}

void ug_cv_midi::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link == nullptr || link->Destination()->Number() != kGate || state == ST_STOP) return;
  if (state == ST_RUN) {
    SetProcessFunction(&ug_cv_midi::Scan);
    return;
  }
  const int32_t index = BlockPosition();
  const bool high = gate_[index] > 0.0f;
  if (high != gate_high_) Edge(time, index, high);
  SetProcessFunction(&ug_cv_midi::SleepWhenIdle);
}

void ug_cv_midi::Scan(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const bool high = gate_[i] > 0.0f;
    if (high != gate_high_) Edge(Clock() + static_cast<uint32_t>(i - position), i, high);
  }
}

void ug_cv_midi::Edge(uint32_t time, int32_t index, bool high) {
  gate_high_ = high;
  const auto channel = static_cast<uint32_t>(std::clamp<int16_t>(channel_, 0, 15));
  if (high) {
    note_ = NoteOf(pitch_[index], freq_scale_);
    const auto velocity = static_cast<uint32_t>(VelocityOf(velocity_[index]));
    SendMidi(*plug(kMidiOut), time,
             midi::Word(midi::kNoteOn + channel, static_cast<uint32_t>(note_), velocity));
  } else {
    SendMidi(*plug(kMidiOut), time,
             midi::Word(midi::kNoteOff + channel, static_cast<uint32_t>(note_), 64));
  }
}

// --- KeyBoard

ug_midi_keyboard::ug_midi_keyboard() { SetProcessFunction(&ug_midi_keyboard::Send); }

std::unique_ptr<ug_base> ug_midi_keyboard::CreateInstance() const {
  return std::make_unique<ug_midi_keyboard>();
}

void ug_midi_keyboard::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiKeyboardPlugs, {channel_}, descriptors);
}

void ug_midi_keyboard::Open() {
  first_ = count_ = 0;
  SetProcessFunction(&ug_midi_keyboard::Send);
  ug_base::Open();
}

void ug_midi_keyboard::OnNotify(int32_t kind, int32_t value) {
  if (kind != kKeyDown && kind != kKeyUp) {
    ug_base::OnNotify(kind, value);
    return;
  }
  if (count_ == kQueueWords) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  const auto channel = static_cast<uint32_t>(std::clamp<int16_t>(channel_, 0, 15));
  const auto key = static_cast<uint32_t>(value) & 0x7F;
  queue_[(first_ + count_++) % kQueueWords] = kind == kKeyDown
                                                  ? midi::Word(midi::kNoteOn + channel, key, 90)
                                                  : midi::Word(midi::kNoteOff + channel, key, 64);
  if (IsSleeping()) Wake();
}

void ug_midi_keyboard::Send(int32_t position, int32_t count) {
  for (; count_ > 0; --count_, first_ = (first_ + 1) % kQueueWords) {
    SendMidi(*plug(kMidiOut), Clock(), queue_[first_]);
  }
  SleepWhenIdle(position, count);
}

// --- MIDI Monitor

std::unique_ptr<ug_base> ug_midi_monitor::CreateInstance() const {
  return std::make_unique<ug_midi_monitor>();
}

void ug_midi_monitor::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiMonitorPlugs, {{}, channel_}, descriptors);
}

void ug_midi_monitor::Open() {
  ControllerNames();  // built here, not on the audio thread
  ug_midi_device::Open();
  RequestPrint("Sound ON");
}

std::size_t ug_midi_monitor::FormatLine(uint32_t word, std::array<char, kLineBytes>& line) {
  const uint32_t status = midi::Status(word);
  const uint32_t command = midi::Command(word);
  const uint32_t d1 = Byte1(word);
  const uint32_t d2 = Byte2(word);
  char* out = line.data();
  std::size_t room = line.size();
  const auto append = [&](int written) {
    const auto used = std::min(static_cast<std::size_t>(std::max(written, 0)), room - 1);
    out += used;
    room -= used;
  };
  if (status < midi::kSystem) {
    append(std::snprintf(out, room, "C%2d ", static_cast<int>(midi::Channel(word)) + 1));
  }
  const auto text = [&](const char* fixed) { append(std::snprintf(out, room, "%s", fixed)); };
  if (status >= midi::kSystem) {
    switch (status) {
      case 0xF8:
        text("CLOCK");
        break;
      case 0xFA:
        text("CLOCK - Start");
        break;
      case 0xFB:
        text("CLOCK - Continue");
        break;
      case 0xFC:
        text("CLOCK - Stop");
        break;
      default:
        append(std::snprintf(out, room, "SYSTEM (%x)", word));
    }
  } else if (command == 0x00) {
    text("Zeros bytes!");
  } else if (command < midi::kNoteOff) {
    append(std::snprintf(out, room, "Byte = %02x %02x %02x", command, d1, d2));
  } else if (command == midi::kNoteOff || (command == midi::kNoteOn && d2 == 0)) {
    append(std::snprintf(out, room, "Note Off (%3u,%3u)", d1, d2));
  } else if (command == midi::kNoteOn) {
    append(std::snprintf(out, room, "Note On  (%3u,%3u)", d1, d2));
  } else if (command == 0xA0) {
    append(std::snprintf(out, room, "Pattern (%u)", d1));
  } else if (command == midi::kControlChange && d1 < 128) {
    const std::string_view label = std::string_view(ControllerNames()[d1]).substr(0, 20);
    append(std::snprintf(out, room, "Cntlr: %.*s (%u)", static_cast<int>(label.size()),
                         label.data(), d2));
  } else if (command == midi::kControlChange) {
    text("Cntlr: ILEGAL CNTRLR");
  } else if (command == midi::kProgramChange) {
    append(std::snprintf(out, room, "Prg change (%3u)", d1 + 1));
  } else if (command == midi::kChannelPressure) {
    append(std::snprintf(out, room, "Channel Pressure (%3u)", d1));
  } else {
    append(std::snprintf(out, room, "Bender (%3d)", static_cast<int>(d2) - 64));
  }
  text("\n");
  return line.size() - room;
}

void ug_midi_monitor::OnMidi(uint32_t, uint32_t word) {
  std::array<char, kLineBytes> line;
  const std::size_t length = FormatLine(word, line);
  RequestPrint(std::string_view(line.data(), length));
}

// --- MIDI Out

std::unique_ptr<ug_base> ug_midi_in::CreateInstance() const {
  return std::make_unique<ug_midi_in>();
}

void ug_midi_in::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiInPlugs, descriptors);
}

void ug_midi_in::Open() {
  ring_ = Master()->Host().PlatformMidiIn();
  // What came before the engine started is not played.
  read_count_ = ring_ != nullptr ? ring_->written.load(std::memory_order_acquire) : 0;
  ug_base::Open();
}

void ug_midi_in::Process(int32_t frames) {
  if (ring_ != nullptr && frames > 0) {
    const uint32_t now = Clock();
    const uint32_t end = now + static_cast<uint32_t>(frames);
    const uint32_t written = ring_->written.load(std::memory_order_acquire);
    // A writer a whole ring ahead overwrote the oldest entries.
    if (written - read_count_ > static_cast<uint32_t>(MidiRing::kSize)) {
      read_count_ = written - static_cast<uint32_t>(MidiRing::kSize);
    }
    for (; read_count_ != written; ++read_count_) {
      const MidiRing::Entry& entry = ring_->At(read_count_);
      if (static_cast<int32_t>(entry.time - end) >= 0) break;  // a later slice's
      if ((entry.word & 0xFF) == 0xFE) continue;               // active sensing
      const bool late = static_cast<int32_t>(entry.time - now) < 0;
      SendMidi(*plug(kMidiDataPlug), late ? now : entry.time, entry.word);
    }
  }
  ug_base::Process(frames);
}

std::unique_ptr<ug_base> ug_midi_out::CreateInstance() const {
  return std::make_unique<ug_midi_out>();
}

void ug_midi_out::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiOutPlugs, descriptors);
}

}  // namespace ov
