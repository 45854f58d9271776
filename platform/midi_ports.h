// MIDI through ALSA sequencer ports and RtMidi. In: a port of our own that
// anything may connect to, and the sources asked for, connected; each
// message is stamped with the monotonic clock as it arrives and queued for
// the audio thread, which places it in the period that follows. Out: a port
// of our own the audio thread queues messages for, each with the time it is
// due, sent then by a thread of the port's.
//
// Threads: Open, Report and the destructors on the owner's thread; input
// messages arrive on RtMidi's threads, one per port; TakeUntil and Send on
// the audio thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
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
  // Producer: false when the ring was full.
  bool Push(const StampedMidi& message);
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

// Sends each message handed to it no earlier than it is due, on a thread
// of its own: RtMidi sends at once, and sending writes to the sequencer,
// which the audio thread must never wait for. Messages are sent in the
// order they came (each due no earlier than the one before).
// Threads: construction and destruction on the owner's; Queue on one
// producer thread; `send` on the thread of its own.
class MidiSendThread {
 public:
  // `send` is called with each message once it is due; false from it counts
  // the message as dropped.
  explicit MidiSendThread(std::function<bool(const StampedMidi&)> send);
  // Stops the thread; what it has not sent by then is dropped.
  ~MidiSendThread();
  MidiSendThread(const MidiSendThread&) = delete;
  MidiSendThread& operator=(const MidiSendThread&) = delete;

  // Producer: a message due at `nanoseconds` (MonotonicNanoseconds' clock);
  // false, and counted, when the queue is full.
  bool Queue(const StampedMidi& message);
  // Messages the queue had no room for or `send` refused. Any thread.
  uint64_t Dropped() const;

 private:
  void Run();

  std::function<bool(const StampedMidi&)> send_;
  MidiQueue queue_;
  std::atomic<uint64_t> refused_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class MidiOutputPort {
 public:
  // Our port "<client_name>:midi_out". Null, with `error`, when the
  // sequencer cannot be opened.
  static std::unique_ptr<MidiOutputPort> Open(const std::string& client_name, std::string* error);
  ~MidiOutputPort();
  MidiOutputPort(const MidiOutputPort&) = delete;
  MidiOutputPort& operator=(const MidiOutputPort&) = delete;

  // Audio thread: a short message to be sent at `due_nanoseconds`; false
  // when there is no room for it.
  bool Send(int64_t due_nanoseconds, std::span<const uint8_t> bytes);
  uint64_t Dropped() const { return sender_->Dropped(); }
  std::string Report() const { return report_; }

 private:
  MidiOutputPort() = default;
  std::shared_ptr<void> output_;  // the RtMidi output, held opaquely
  std::unique_ptr<MidiSendThread> sender_;
  std::string report_;
};

}  // namespace ov
