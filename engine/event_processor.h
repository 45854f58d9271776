// The time-ordered list of a generator's pending events.
#pragma once

#include <cstdint>

#include "engine/event_pool.h"
#include "engine/ug_event.h"

namespace ov {

class connector;

// Events are kept in non-decreasing time order. Within one time stamp, status
// changes stay ordered by destination plug number, and a newer change of the
// same connector replaces the older one; other events keep arrival order.
//
// Threads: the thread that runs the engine (the audio thread, or the editor
// thread while audio is stopped). Nothing here allocates.
class EventProcessor {
 public:
  EventProcessor() = default;
  EventProcessor(const EventProcessor&) = delete;
  EventProcessor& operator=(const EventProcessor&) = delete;

  bool HasEvents() const { return head_ != nullptr; }
  const ug_event* FirstEvent() const { return head_; }
  // Returns every pending event to the pool.
  void ClearEvents();

 protected:
  ~EventProcessor() { ClearEvents(); }

  // Records come from, and go back to, this pool. Set before any event is
  // queued; editor thread.
  void SetEventPool(EventPool* pool) { pool_ = pool; }
  EventPool* Pool() const { return pool_; }

  ug_event* Head() const { return head_; }
  // Takes ownership of `event` and links it in order.
  void InsertEvent(ug_event* event);
  // Unlinks the first event and hands it to the caller (null when empty).
  ug_event* TakeFirstEvent();
  void ReleaseEvent(ug_event* event) { pool_->Release(event); }
  // Events stamped before `time` move up to it (they cannot act in the past).
  void RestampEventsBefore(uint32_t time);
  // Of the status changes of `link` stamped before `time`, keeps only the
  // most recent.
  void PruneStatusBacklog(const connector* link, uint32_t time);

 private:
  void LinkAfter(ug_event* after, ug_event* event);  // null `after`: at the head
  void Unlink(ug_event* event);

  ug_event* head_ = nullptr;
  ug_event* tail_ = nullptr;
  EventPool* pool_ = nullptr;
};

}  // namespace ov
