// Addressed messages through a ByteRing, and the targets they reach.
//
// Each message is framed as
//   [uint32 payload size][uint32 target id][message id, 4 bytes][payload]
// The message id is four characters stored in reading order, so it reads
// big-endian ('noti' is 0x6E6F7469); a three-character id ends in its zero
// ('ppc' is 0x70706300). The leading size lets a drain skip a whole message
// whose target is unknown, and keeps the stream in step when a handler reads
// less than its payload. Messages are published whole, so a reader never
// meets a partly written one.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/byte_ring.h"

namespace ov {

template <std::size_t N>
constexpr uint32_t MessageId(const char (&code)[N]) {
  static_assert(N == 4 || N == 5, "a message id has three or four characters");
  return (static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

// One message's payload. Reads never run past it into the next message.
// Thread: the one draining the queue.
class MessageReader {
 public:
  MessageReader(ByteRing& ring, uint32_t payload_size) : ring_(ring), remaining_(payload_size) {}

  template <typename T>
  bool Read(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (sizeof(T) > remaining_ || !ring_.ReadValue(value)) return false;
    remaining_ -= static_cast<uint32_t>(sizeof(T));
    return true;
  }
  // A queue string: a 32-bit count of UTF-16 units including the terminating
  // zero, then the units. Appended to `text` as UTF-8 without growing it past
  // its capacity (longer text is cut at a character boundary), so a string
  // reserved beforehand never allocates. False, reading nothing more, when
  // the count overruns the payload.
  bool ReadString(std::string& text);
  // Fills `out` whole, or reads nothing and answers false when the payload
  // holds fewer bytes.
  bool ReadBytes(std::span<std::byte> out) {
    if (out.size() > remaining_ || !ring_.Read(out)) return false;
    remaining_ -= static_cast<uint32_t>(out.size());
    return true;
  }
  uint32_t Remaining() const { return remaining_; }
  // Drops whatever the handler left unread.
  void SkipRest();

 private:
  ByteRing& ring_;
  uint32_t remaining_;
};

// Builds one payload in fixed storage. A value that does not fit marks the
// writer failed, and a failed payload is never posted. Any thread (its own
// writer).
class MessageWriter {
 public:
  static constexpr std::size_t kCapacity = 2048;

  template <typename T>
  MessageWriter& Write(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    Append(std::as_bytes(std::span<const T, 1>(&value, 1)));
    return *this;
  }
  // A queue string (see MessageReader::ReadString) from UTF-8 text, or from
  // pieces of it joined, so callers need no buffer of their own.
  MessageWriter& WriteBytes(std::span<const std::byte> bytes) {
    Append(bytes);
    return *this;
  }
  MessageWriter& WriteString(std::string_view text) { return WriteString({text}); }
  MessageWriter& WriteString(std::initializer_list<std::string_view> pieces);
  bool Failed() const { return failed_; }
  std::span<const std::byte> Bytes() const { return {bytes_.data(), size_}; }

 private:
  void Append(std::span<const std::byte> bytes);

  std::array<std::byte, kCapacity> bytes_;
  std::size_t size_ = 0;
  bool failed_ = false;
};

class MessageTargetMap;

// Anything a queue message can be addressed to on the engine side.
class dsp_msg_target {
 public:
  dsp_msg_target() = default;
  dsp_msg_target(const dsp_msg_target&) = delete;
  dsp_msg_target& operator=(const dsp_msg_target&) = delete;
  // Leaves its map, so a late message for it finds nothing.
  virtual ~dsp_msg_target();

  // 0 until registered. Any thread.
  uint32_t TargetId() const { return target_id_; }

  // Reads this message's payload. Called on the thread draining the queue:
  // the audio thread while the host processes, otherwise the posting thread.
  virtual void OnMessage(uint32_t message_id, MessageReader& payload) = 0;

 protected:
  // A voice's copy answers to its model's identifier (only the model is
  // registered). Editor thread.
  void AdoptTargetId(uint32_t id) { target_id_ = id; }

 private:
  friend class MessageTargetMap;
  MessageTargetMap* map_ = nullptr;
  uint32_t target_id_ = 0;
};

// Identifier to target. Changed only while no drain can run, so lookups on
// the audio thread need no lock and never allocate.
class MessageTargetMap {
 public:
  MessageTargetMap() = default;
  MessageTargetMap(const MessageTargetMap&) = delete;
  MessageTargetMap& operator=(const MessageTargetMap&) = delete;
  // Targets that outlive the map forget it.
  ~MessageTargetMap();

  // Gives `target` the identifier `id`, replacing any earlier entry for
  // either and leaving any map it was in. Editor thread, audio stopped.
  void Register(dsp_msg_target& target, uint32_t id);
  // Editor thread, audio stopped. The target keeps its identifier, so it can
  // be registered again under the same one.
  void Unregister(dsp_msg_target& target);
  // Any thread; null when nothing has that identifier.
  dsp_msg_target* Find(uint32_t id) const;

 private:
  std::vector<std::pair<uint32_t, dsp_msg_target*>> entries_;  // sorted by id
};

// Producer side of the ring: false, posting nothing, when the message does
// not fit.
bool PostMessage(ByteRing& ring, uint32_t target_id, uint32_t message_id,
                 std::span<const std::byte> payload);

// Consumer side: hands every whole message to the target that `find` gives
// for its identifier (null: skipped whole). `find(id)` returns a pointer to
// anything with OnMessage(uint32_t, MessageReader&).
bool ReadMessageHeader(ByteRing& ring, uint32_t& payload_size, uint32_t& target_id,
                       uint32_t& message_id);
template <typename Find>
void DrainMessagesTo(ByteRing& ring, Find&& find) {
  uint32_t size = 0, target_id = 0, message_id = 0;
  while (ReadMessageHeader(ring, size, target_id, message_id)) {
    MessageReader payload(ring, size);
    if (auto* target = find(target_id)) target->OnMessage(message_id, payload);
    payload.SkipRest();
  }
}
void DrainMessages(ByteRing& ring, const MessageTargetMap& targets);

// A message ring with its failure accounting. A writer that finds the ring
// full drops the whole message, counts it and raises the overflow flag; it
// never waits and never moves the reader's position. The reader clears the
// flag when it has seen it.
//
// Threads: Post from the one writer thread; PostSerialised from any number of
// threads at once (they take turns on a spin flag held for one copy), but
// never mixed with Post. Drain, ReadableSize and TakeOverflow from the one
// reader. Dropped from any thread.
class MessageQueue {
 public:
  explicit MessageQueue(uint32_t capacity) : ring_(capacity) {}

  bool Post(uint32_t target_id, uint32_t message_id, std::span<const std::byte> payload);
  bool Post(uint32_t target_id, uint32_t message_id, const MessageWriter& payload);
  bool PostSerialised(uint32_t target_id, uint32_t message_id, std::span<const std::byte> payload);

  template <typename Find>
  void Drain(Find&& find) {
    DrainMessagesTo(ring_, std::forward<Find>(find));
  }
  // Reader: whether a message was dropped since the last call.
  bool TakeOverflow() { return overflow_.exchange(false, std::memory_order_acq_rel); }
  uint32_t Dropped() const { return dropped_.load(std::memory_order_relaxed); }
  ByteRing& Ring() { return ring_; }

 private:
  bool Refused();

  ByteRing ring_;
  std::atomic<bool> overflow_{false};
  std::atomic<uint32_t> dropped_{0};
  std::atomic_flag writer_busy_;
};

}  // namespace ov
