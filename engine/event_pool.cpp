#include "engine/event_pool.h"

namespace ov {

EventPool::EventPool(std::size_t capacity) { Reserve(capacity); }

ug_event* EventPool::Acquire() {
  if (free_ == nullptr && growable_) Reserve(capacity_ * 2 + 64);
  ug_event* event = free_;
  if (event == nullptr) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
  }
  free_ = event->next;
  --available_;
  *event = ug_event{};
  return event;
}

void EventPool::Release(ug_event* event) {
  event->next = free_;
  free_ = event;
  ++available_;
}

void EventPool::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  const std::size_t added = capacity - capacity_;
  auto chunk = std::make_unique<ug_event[]>(added);
  for (std::size_t i = 0; i < added; ++i) Release(&chunk[i]);
  chunks_.push_back(std::move(chunk));
  capacity_ = capacity;
}

}  // namespace ov
