// Preallocated event records for one engine, so queueing on the audio thread
// never allocates.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_event.h"

namespace ov {

// Threads: Acquire and Release on the thread that runs the engine; Reserve and
// SetGrowable on the editor thread while audio is stopped; Dropped on any.
class EventPool {
 public:
  explicit EventPool(std::size_t capacity);
  EventPool(const EventPool&) = delete;
  EventPool& operator=(const EventPool&) = delete;

  // A cleared record, or null (counted as dropped) when every record is in
  // use and the pool may not grow.
  ug_event* Acquire();
  void Release(ug_event* event);
  // Grows the pool to hold at least `capacity` records.
  void Reserve(std::size_t capacity);
  std::size_t Capacity() const { return capacity_; }
  // Records free just now. Modules that queue many events for others keep
  // the rest of the pool for everyone else by looking here first.
  std::size_t Available() const { return available_; }
  // While growable (only ever while audio is stopped) an empty pool doubles.
  void SetGrowable(bool growable) { growable_ = growable; }
  // Events lost to an exhausted pool since construction.
  uint32_t Dropped() const { return dropped_; }

 private:
  std::vector<std::unique_ptr<ug_event[]>> chunks_;
  ug_event* free_ = nullptr;  // linked through `next`
  std::size_t capacity_ = 0;
  std::size_t available_ = 0;
  bool growable_ = true;
  std::atomic<uint32_t> dropped_{0};
};

}  // namespace ov
