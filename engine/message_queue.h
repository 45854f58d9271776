// Addressed messages through a ByteRing, and the targets they reach.
//
// Each message is framed as
//   [uint32 payload size][uint32 target id][message id, 4 bytes][payload]
// The message id is four characters stored in reading order, so it reads
// big-endian ('noti' is 0x6E6F7469). The leading size lets a drain skip a
// whole message whose target is unknown, and keeps the stream in step when a
// handler reads less than its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/byte_ring.h"

namespace ov {

constexpr uint32_t MessageId(const char (&code)[5]) {
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
  uint32_t Remaining() const { return remaining_; }
  // Drops whatever the handler left unread.
  void SkipRest();

 private:
  ByteRing& ring_;
  uint32_t remaining_;
};

// Anything a queue message can be addressed to.
class dsp_msg_target {
 public:
  virtual ~dsp_msg_target() = default;

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
  uint32_t target_id_ = 0;
};

// Identifier to target. Changed only while no drain can run, so lookups on
// the audio thread need no lock and never allocate.
class MessageTargetMap {
 public:
  // Gives `target` the identifier `id`, replacing any earlier entry for
  // either. Editor thread, audio stopped.
  void Register(dsp_msg_target& target, uint32_t id);
  // Editor thread, audio stopped. The target keeps its identifier, so it can
  // be registered again under the same one.
  void Unregister(const dsp_msg_target& target);
  // Any thread; null when nothing has that identifier.
  dsp_msg_target* Find(uint32_t id) const;

 private:
  std::vector<std::pair<uint32_t, dsp_msg_target*>> entries_;  // sorted by id
};

// Producer side of the ring: false, posting nothing, when the message does
// not fit.
bool PostMessage(ByteRing& ring, uint32_t target_id, uint32_t message_id,
                 std::span<const std::byte> payload);

// Consumer side: hands every whole message to its target; skips messages for
// unknown targets.
void DrainMessages(ByteRing& ring, const MessageTargetMap& targets);

}  // namespace ov
