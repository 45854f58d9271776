#include "platform/midi_ports.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/clock.h"

namespace ov {

void MidiQueue::Push(const StampedMidi& message) {
  const uint64_t written = written_.load(std::memory_order_relaxed);
  if (written - read_.load(std::memory_order_acquire) >= kCapacity) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  entries_[written % kCapacity] = message;
  written_.store(written + 1, std::memory_order_release);
}

const StampedMidi* MidiQueue::Front() const {
  const uint64_t read = read_.load(std::memory_order_relaxed);
  if (read == written_.load(std::memory_order_acquire)) return nullptr;
  return &entries_[read % kCapacity];
}

void MidiQueue::PopFront() { read_.fetch_add(1, std::memory_order_release); }

namespace {

// RtMidi's thread: stamps the message now; its own delta time is not on
// our clock. System exclusive and longer messages are not taken.
void Arrived(double, std::vector<unsigned char>* message, void* user) {
  auto* queue = static_cast<MidiQueue*>(user);
  if (message == nullptr || message->empty() || message->size() > 3) return;
  StampedMidi stamped;
  stamped.nanoseconds = MonotonicNanoseconds();
  stamped.size = static_cast<uint8_t>(message->size());
  std::memcpy(stamped.bytes, message->data(), message->size());
  queue->Push(stamped);
}

// Whether `source` names the port RtMidi lists as `name`: any part of it,
// which ends with the port's "client:port" numbers.
bool Names(const std::string& source, const std::string& name) {
  return name.find(source) != std::string::npos;
}

}  // namespace

std::unique_ptr<MidiInputPorts> MidiInputPorts::Open(const std::string& client_name,
                                                     const std::vector<std::string>& sources,
                                                     bool connect_all, std::string* error) {
  std::unique_ptr<MidiInputPorts> ports(new MidiInputPorts());
  const auto add_port = [&](const std::function<void(RtMidiIn&)>& open, bool first_source) {
    auto port = std::make_unique<Port>();
    port->first_source = first_source;
    auto input = std::make_shared<RtMidiIn>(RtMidi::LINUX_ALSA, client_name);
    input->ignoreTypes(true, true, true);
    input->setCallback(&Arrived, &port->queue);
    open(*input);
    port->input = input;
    ports->ports_.push_back(std::move(port));
  };
  try {
    add_port([](RtMidiIn& input) { input.openVirtualPort("midi_in"); }, false);
    ports->report_.push_back("MIDI in: ALSA sequencer port " + client_name +
                             ":midi_in (connect sources with aconnect or a graph tool)");
    RtMidiIn lister(RtMidi::LINUX_ALSA, client_name + " list");
    const unsigned count = lister.getPortCount();
    std::vector<std::string> names;
    for (unsigned i = 0; i < count; ++i) names.push_back(lister.getPortName(i));
    std::vector<bool> chosen(names.size(), false);
    std::size_t first = names.size();
    for (const std::string& source : sources) {
      const auto found = std::find_if(names.begin(), names.end(),
                                      [&](const std::string& name) { return Names(source, name); });
      if (found == names.end()) {
        *error = "no ALSA MIDI port named '" + source + "'";
        return nullptr;
      }
      const auto index = static_cast<std::size_t>(found - names.begin());
      if (&source == &sources.front()) first = index;
      chosen[index] = true;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      const bool ours = names[i].find(client_name) == 0;
      const bool through = names[i].find("Through") != std::string::npos;
      if (!chosen[i] && !(connect_all && !ours && !through)) continue;
      add_port([&](RtMidiIn& input) { input.openPort(static_cast<unsigned>(i), "midi_in"); },
               i == first);
      ports->report_.push_back("MIDI in: connected " + names[i]);
    }
  } catch (const RtMidiError& failure) {
    *error = "the ALSA sequencer: " + failure.getMessage();
    return nullptr;
  }
  return ports;
}

MidiInputPorts::~MidiInputPorts() {
  // Each input's thread stops before its queue goes.
  for (std::unique_ptr<Port>& port : ports_) port->input.reset();
}

uint64_t MidiInputPorts::Dropped() const {
  uint64_t dropped = 0;
  for (const std::unique_ptr<Port>& port : ports_) dropped += port->queue.Dropped();
  return dropped;
}

}  // namespace ov
