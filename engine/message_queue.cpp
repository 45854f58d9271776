#include "engine/message_queue.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#include "platform/text.h"

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

// Appends one code point as UTF-8 when it fits in the capacity `text` has.
void AppendUtf8(std::string& text, uint32_t code) {
  char bytes[4];
  std::size_t count;
  if (code < 0x80) {
    bytes[0] = static_cast<char>(code);
    count = 1;
  } else if (code < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (code >> 6));
    bytes[1] = static_cast<char>(0x80 | (code & 0x3F));
    count = 2;
  } else if (code < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (code >> 12));
    bytes[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (code & 0x3F));
    count = 3;
  } else {
    bytes[0] = static_cast<char>(0xF0 | (code >> 18));
    bytes[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (code & 0x3F));
    count = 4;
  }
  if (text.size() + count <= text.capacity()) text.append(bytes, count);
}

}  // namespace

bool MessageReader::ReadString(std::string& text) {
  uint32_t count = 0;
  if (!Read(count)) return false;
  if (count > remaining_ / 2) {
    SkipRest();
    return false;
  }
  uint32_t pending_high = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint16_t unit = 0;
    Read(unit);
    if (unit == 0 && i + 1 == count) break;  // the terminating zero
    if (unit >= 0xD800 && unit < 0xDC00) {
      if (pending_high != 0) AppendUtf8(text, 0xFFFD);
      pending_high = unit;
      continue;
    }
    if (unit >= 0xDC00 && unit < 0xE000 && pending_high != 0) {
      AppendUtf8(text, 0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00));
      pending_high = 0;
      continue;
    }
    if (pending_high != 0) AppendUtf8(text, 0xFFFD);
    pending_high = 0;
    AppendUtf8(text, unit >= 0xDC00 && unit < 0xE000 ? 0xFFFD : unit);
  }
  if (pending_high != 0) AppendUtf8(text, 0xFFFD);
  return true;
}

void MessageReader::SkipRest() {
  ring_.Discard(remaining_);
  remaining_ = 0;
}

void MessageWriter::Append(std::span<const std::byte> bytes) {
  if (failed_ || bytes.size() > kCapacity - size_) {
    failed_ = true;
    return;
  }
  std::memcpy(bytes_.data() + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

MessageWriter& MessageWriter::WriteString(std::initializer_list<std::string_view> pieces) {
  const std::size_t count_at = size_;
  uint32_t count = 0;
  Write(count);
  for (const std::string_view text : pieces) {
    for (std::size_t at = 0; at < text.size();) {
      const char32_t code = NextCodePoint(text, &at);
      if (code >= 0x10000) {
        Write(static_cast<uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
        Write(static_cast<uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        count += 2;
      } else {
        Write(static_cast<uint16_t>(code));
        ++count;
      }
    }
  }
  Write(uint16_t{0});
  ++count;
  if (!failed_) std::memcpy(bytes_.data() + count_at, &count, sizeof count);
  return *this;
}

dsp_msg_target::~dsp_msg_target() {
  if (map_ != nullptr) map_->Unregister(*this);
}

MessageTargetMap::~MessageTargetMap() {
  for (auto& [id, target] : entries_) target->map_ = nullptr;
}

void MessageTargetMap::Register(dsp_msg_target& target, uint32_t id) {
  if (target.map_ != nullptr) target.map_->Unregister(target);
  auto at = std::lower_bound(entries_.begin(), entries_.end(), id, IdBelow);
  if (at != entries_.end() && at->first == id) {
    at->second->target_id_ = 0;
    at->second->map_ = nullptr;
    at->second = &target;
  } else {
    entries_.insert(at, {id, &target});
  }
  target.target_id_ = id;
  target.map_ = this;
}

void MessageTargetMap::Unregister(dsp_msg_target& target) {
  auto at = std::lower_bound(entries_.begin(), entries_.end(), target.target_id_, IdBelow);
  if (at != entries_.end() && at->second == &target) entries_.erase(at);
  if (target.map_ == this) target.map_ = nullptr;
}

dsp_msg_target* MessageTargetMap::Find(uint32_t id) const {
  auto at = std::lower_bound(entries_.begin(), entries_.end(), id, IdBelow);
  return at != entries_.end() && at->first == id ? at->second : nullptr;
}

bool PostMessage(ByteRing& ring, uint32_t target_id, uint32_t message_id,
                 std::span<const std::byte> payload) {
  const MessageHeader header{
      static_cast<uint32_t>(payload.size()),
      target_id,
      {static_cast<uint8_t>(message_id >> 24), static_cast<uint8_t>(message_id >> 16),
       static_cast<uint8_t>(message_id >> 8), static_cast<uint8_t>(message_id)}};
  return ring.Write({std::as_bytes(std::span(&header, 1)), payload});
}

bool ReadMessageHeader(ByteRing& ring, uint32_t& payload_size, uint32_t& target_id,
                       uint32_t& message_id) {
  MessageHeader header;
  if (!ring.ReadValue(header)) return false;
  payload_size = header.payload_size;
  target_id = header.target_id;
  const auto& c = header.message_id;
  message_id =
      (uint32_t{c[0]} << 24) | (uint32_t{c[1]} << 16) | (uint32_t{c[2]} << 8) | uint32_t{c[3]};
  return true;
}

void DrainMessages(ByteRing& ring, const MessageTargetMap& targets) {
  DrainMessagesTo(ring, [&](uint32_t id) { return targets.Find(id); });
}

bool MessageQueue::Refused() {
  dropped_.fetch_add(1, std::memory_order_relaxed);
  overflow_.store(true, std::memory_order_release);
  return false;
}

bool MessageQueue::Post(uint32_t target_id, uint32_t message_id,
                        std::span<const std::byte> payload) {
  return PostMessage(ring_, target_id, message_id, payload) || Refused();
}

bool MessageQueue::Post(uint32_t target_id, uint32_t message_id, const MessageWriter& payload) {
  if (payload.Failed()) return Refused();
  return Post(target_id, message_id, payload.Bytes());
}

bool MessageQueue::PostSerialised(uint32_t target_id, uint32_t message_id,
                                  std::span<const std::byte> payload) {
  // Held only for one bounded copy, so a waiting writer spins briefly.
  while (writer_busy_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  const bool posted = PostMessage(ring_, target_id, message_id, payload);
  writer_busy_.clear(std::memory_order_release);
  return posted || Refused();
}

}  // namespace ov
