#include "platform/midi_ports.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>

#include "platform/clock.h"

namespace ov {

bool MidiQueue::Push(const StampedMidi& message) {
  const uint64_t written = written_.load(std::memory_order_relaxed);
  if (written - read_.load(std::memory_order_acquire) >= kCapacity) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  entries_[written % kCapacity] = message;
  written_.store(written + 1, std::memory_order_release);
  return true;
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

namespace {

// How long the sending thread sleeps at most: how late it sees a message
// queued while it slept, and how soon it stops.
constexpr int64_t kSendPollNanoseconds = 1000000;

}  // namespace

MidiSendThread::MidiSendThread(std::function<bool(const StampedMidi&)> send)
    : send_(std::move(send)), thread_([this] { Run(); }) {}

MidiSendThread::~MidiSendThread() {
  stop_.store(true, std::memory_order_release);
  thread_.join();
}

bool MidiSendThread::Queue(const StampedMidi& message) { return queue_.Push(message); }

uint64_t MidiSendThread::Dropped() const {
  return queue_.Dropped() + refused_.load(std::memory_order_relaxed);
}

void MidiSendThread::Run() {
  while (!stop_.load(std::memory_order_acquire)) {
    const StampedMidi* message = queue_.Front();
    const int64_t now = MonotonicNanoseconds();
    if (message == nullptr || message->nanoseconds > now) {
      const int64_t wait = message == nullptr ? kSendPollNanoseconds
                                              : std::min(message->nanoseconds - now, kSendPollNanoseconds);
      std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
      continue;
    }
    if (!send_(*message)) refused_.fetch_add(1, std::memory_order_relaxed);
    queue_.PopFront();
  }
}

std::unique_ptr<MidiOutputPort> MidiOutputPort::Open(const std::string& client_name,
                                                     std::string* error) {
  std::unique_ptr<MidiOutputPort> port(new MidiOutputPort());
  std::shared_ptr<RtMidiOut> output;
  try {
    output = std::make_shared<RtMidiOut>(RtMidi::LINUX_ALSA, client_name);
    output->openVirtualPort("midi_out");
  } catch (const RtMidiError& failure) {
    *error = "the ALSA sequencer: " + failure.getMessage();
    return nullptr;
  }
  port->output_ = output;
  // The sending thread ends before the output it sends to.
  port->sender_ = std::make_unique<MidiSendThread>([raw = output.get()](const StampedMidi& message) {
    try {
      raw->sendMessage(message.bytes, message.size);
      return true;
    } catch (const RtMidiError&) {
      return false;
    }
  });
  port->report_ = "MIDI out: ALSA sequencer port " + client_name +
                  ":midi_out (connect it to a synthesiser with aconnect or a graph tool)";
  return port;
}

MidiOutputPort::~MidiOutputPort() { sender_.reset(); }

bool MidiOutputPort::Send(int64_t due_nanoseconds, std::span<const uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > 3) return false;
  StampedMidi message;
  message.nanoseconds = due_nanoseconds;
  message.size = static_cast<uint8_t>(bytes.size());
  std::memcpy(message.bytes, bytes.data(), bytes.size());
  return sender_->Queue(message);
}

}  // namespace ov
