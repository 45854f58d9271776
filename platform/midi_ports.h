// MIDI from ALSA sequencer ports through RtMidi: a port of our own that
// anything may connect to, and the sources asked for, connected. Each
// message is stamped with the monotonic clock as it arrives and queued for
// the audio thread, which places it in the period that follows.
//
// Threads: Open, Report and the destructor on the owner's thread; messages
// arrive on RtMidi's threads, one per port; TakeUntil on the audio thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ov {

struct StampedMidi {
  int64_t nanoseconds = 0;  // MonotonicNanoseconds() at arrival
  uint8_t size = 0;
  uint8_t bytes[3] = {};
};

// A fixed ring of messages for one producer and one consumer thread; a full
// ring drops the newest message and counts it.
class MidiQueue {
 public:
  // Producer.
  void Push(const StampedMidi& message);
  // Consumer: the oldest message, or null.
  const StampedMidi* Front() const;
  void PopFront();
  uint64_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }

 private:
  static constexpr uint32_t kCapacity = 1024;
  std::array<StampedMidi, kCapacity> entries_{};
  std::atomic<uint64_t> written_{0};
  std::atomic<uint64_t> read_{0};
  std::atomic<uint64_t> dropped_{0};
};

class MidiInputPorts {
 public:
  // Our port is named "<client_name>:midi_in"; `sources` name other ports by
  // "client:port" numbers or by part of their name. With `connect_all`,
  // every other port that sends MIDI is connected too. Null, with `error`,
  // when the sequencer cannot be opened or a source is not found.
  static std::unique_ptr<MidiInputPorts> Open(const std::string& client_name,
                                              const std::vector<std::string>& sources,
                                              bool connect_all, std::string* error);
  ~MidiInputPorts();
  MidiInputPorts(const MidiInputPorts&) = delete;
  MidiInputPorts& operator=(const MidiInputPorts&) = delete;

  // Audio thread: hands `take` every queued message stamped before
  // `before_nanoseconds`, oldest first within each port, with whether it
  // came from the first of the sources asked for.
  template <typename Take>
  void TakeUntil(int64_t before_nanoseconds, Take&& take) {
    for (const std::unique_ptr<Port>& port : ports_) {
      while (const StampedMidi* message = port->queue.Front()) {
        if (message->nanoseconds >= before_nanoseconds) break;
        take(*message, port->first_source);
        port->queue.PopFront();
      }
    }
  }
  uint64_t Dropped() const;
  std::vector<std::string> Report() const { return report_; }

  // One RtMidi input (held opaquely) and the queue its thread fills.
  struct Port {
    MidiQueue queue;
    std::shared_ptr<void> input;
    bool first_source = false;
  };

 private:
  MidiInputPorts() = default;
  std::vector<std::unique_ptr<Port>> ports_;
  std::vector<std::string> report_;
};

}  // namespace ov
