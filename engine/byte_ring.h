// A lock-free byte ring for one producer thread and one consumer thread.
// Capacity is fixed at construction, so neither side ever allocates.
//
// Threads: Write and WritableSize from the producer only; Read, Discard and
// ReadableSize from the consumer only. Construction and destruction while
// neither side can run. A side may change threads only through a
// synchronising hand-over (a lock or an acquire/release flag).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <type_traits>

namespace ov {

class ByteRing {
 public:
  // Any capacity above 0; every byte of it is usable.
  explicit ByteRing(uint32_t capacity);

  uint32_t Capacity() const { return capacity_; }

  // Producer: writes every part back to back and publishes them together, so
  // the consumer sees all of them or none. False, writing nothing, when they
  // do not fit.
  bool Write(std::initializer_list<std::span<const std::byte>> parts);
  bool Write(std::span<const std::byte> bytes) { return Write({bytes}); }
  uint32_t WritableSize() const;

  // Consumer: fills `out` completely, or returns false and reads nothing
  // when fewer bytes are there.
  bool Read(std::span<std::byte> out);
  template <typename T>
  bool ReadValue(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return Read(std::as_writable_bytes(std::span<T, 1>(&value, 1)));
  }
  // Consumer: drops `size` bytes, or as many as there are when fewer.
  void Discard(uint32_t size);
  uint32_t ReadableSize() const;
  // Consumer: drops everything published so far.
  void DiscardAll() { Discard(ReadableSize()); }

 private:
  const uint32_t capacity_;
  std::unique_ptr<std::byte[]> storage_;
  // Free-running byte counts (64 bits never wrap in practice); their
  // difference is the fill level.
  std::atomic<uint64_t> write_position_{0};
  std::atomic<uint64_t> read_position_{0};
};

}  // namespace ov
