#include "engine/byte_ring.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace ov {

ByteRing::ByteRing(uint32_t capacity) : capacity_(capacity) {
  if (capacity == 0) throw std::invalid_argument("byte ring capacity must be above 0");
  storage_.reset(new std::byte[capacity]);
}

uint32_t ByteRing::WritableSize() const {
  const uint64_t used = write_position_.load(std::memory_order_relaxed) -
                        read_position_.load(std::memory_order_acquire);
  return capacity_ - static_cast<uint32_t>(used);
}

uint32_t ByteRing::ReadableSize() const {
  return static_cast<uint32_t>(write_position_.load(std::memory_order_acquire) -
                               read_position_.load(std::memory_order_relaxed));
}

bool ByteRing::Write(std::initializer_list<std::span<const std::byte>> parts) {
  size_t total = 0;
  for (const auto& part : parts) total += part.size();
  if (total > WritableSize()) return false;

  uint64_t position = write_position_.load(std::memory_order_relaxed);
  for (const auto& part : parts) {
    const uint32_t size = static_cast<uint32_t>(part.size());
    if (size == 0) continue;  // an empty span may have no storage to copy from
    const uint32_t start = static_cast<uint32_t>(position % capacity_);
    const uint32_t first = std::min(size, capacity_ - start);
    std::memcpy(storage_.get() + start, part.data(), first);
    std::memcpy(storage_.get(), part.data() + first, size - first);
    position += size;
  }
  write_position_.store(position, std::memory_order_release);
  return true;
}

bool ByteRing::Read(std::span<std::byte> out) {
  const uint32_t size = static_cast<uint32_t>(out.size());
  if (out.size() > ReadableSize()) return false;

  const uint64_t position = read_position_.load(std::memory_order_relaxed);
  const uint32_t start = static_cast<uint32_t>(position % capacity_);
  const uint32_t first = std::min(size, capacity_ - start);
  std::memcpy(out.data(), storage_.get() + start, first);
  std::memcpy(out.data() + first, storage_.get(), size - first);
  read_position_.store(position + size, std::memory_order_release);
  return true;
}

void ByteRing::Discard(uint32_t size) {
  size = std::min(size, ReadableSize());
  read_position_.store(read_position_.load(std::memory_order_relaxed) + size,
                       std::memory_order_release);
}

}  // namespace ov
