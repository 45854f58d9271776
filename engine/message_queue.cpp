#include "engine/message_queue.h"

#include <algorithm>
#include <array>

namespace ov {
namespace {

struct MessageHeader {
  uint32_t payload_size;
  uint32_t target_id;
  std::array<uint8_t, 4> message_id;  // characters in reading order
};
static_assert(sizeof(MessageHeader) == 12);

bool IdBelow(const std::pair<uint32_t, dsp_msg_target*>& entry, uint32_t id) {
  return entry.first < id;
}

}  // namespace

void MessageReader::SkipRest() {
  ring_.Discard(remaining_);
  remaining_ = 0;
}

void MessageTargetMap::Register(dsp_msg_target& target, uint32_t id) {
  Unregister(target);
  auto at = std::lower_bound(entries_.begin(), entries_.end(), id, IdBelow);
  if (at != entries_.end() && at->first == id) {
    at->second->target_id_ = 0;
    at->second = &target;
  } else {
    entries_.insert(at, {id, &target});
  }
  target.target_id_ = id;
}

void MessageTargetMap::Unregister(const dsp_msg_target& target) {
  auto at = std::lower_bound(entries_.begin(), entries_.end(), target.target_id_, IdBelow);
  if (at != entries_.end() && at->second == &target) entries_.erase(at);
}

dsp_msg_target* MessageTargetMap::Find(uint32_t id) const {
  auto at = std::lower_bound(entries_.begin(), entries_.end(), id, IdBelow);
  return at != entries_.end() && at->first == id ? at->second : nullptr;
}

bool PostMessage(ByteRing& ring, uint32_t target_id, uint32_t message_id,
                 std::span<const std::byte> payload) {
  const MessageHeader header{
      static_cast<uint32_t>(payload.size()), target_id,
      {static_cast<uint8_t>(message_id >> 24), static_cast<uint8_t>(message_id >> 16),
       static_cast<uint8_t>(message_id >> 8), static_cast<uint8_t>(message_id)}};
  return ring.Write({std::as_bytes(std::span(&header, 1)), payload});
}

void DrainMessages(ByteRing& ring, const MessageTargetMap& targets) {
  // Messages are published whole, so a readable header means a whole message.
  MessageHeader header;
  while (ring.ReadValue(header)) {
    MessageReader payload(ring, header.payload_size);
    if (dsp_msg_target* target = targets.Find(header.target_id)) {
      const auto& c = header.message_id;
      target->OnMessage((uint32_t{c[0]} << 24) | (uint32_t{c[1]} << 16) |
                            (uint32_t{c[2]} << 8) | uint32_t{c[3]},
                        payload);
    }
    payload.SkipRest();
  }
}

}  // namespace ov
