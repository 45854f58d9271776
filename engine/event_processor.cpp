#include "engine/event_processor.h"

#include "engine/uplug.h"

namespace ov {

namespace {

int32_t DestinationPlugNumber(const ug_event& event) {
  return static_cast<const connector*>(event.parm2)->Destination()->Number();
}

}  // namespace

void EventProcessor::ClearEvents() {
  while (ug_event* event = TakeFirstEvent()) ReleaseEvent(event);
}

void EventProcessor::InsertEvent(ug_event* event) {
  const uint32_t time = event->time_stamp;
  // Senders stamp in increasing time, so the walk usually stops at the tail.
  ug_event* at = tail_;
  while (at != nullptr && TimeBefore(time, at->time_stamp)) at = at->previous;
  if (at == nullptr || event->kind != UET_STAT_CHANGE) {
    LinkAfter(at, event);
    return;
  }
  const int32_t plug = DestinationPlugNumber(*event);
  for (; at != nullptr; at = at->previous) {
    if (TimeBefore(at->time_stamp, time)) break;
    if (at->kind == UET_STAT_CHANGE) {
      const int32_t other_plug = DestinationPlugNumber(*at);
      if (other_plug <= plug) {
        LinkAfter(at, event);
        if (other_plug == plug && at->parm2 == event->parm2) {
          Unlink(at);
          ReleaseEvent(at);
        }
        return;
      }
    }
  }
  LinkAfter(at, event);
}

ug_event* EventProcessor::TakeFirstEvent() {
  ug_event* event = head_;
  if (event != nullptr) Unlink(event);
  return event;
}

void EventProcessor::RestampEventsBefore(uint32_t time) {
  for (ug_event* event = head_; event != nullptr && TimeBefore(event->time_stamp, time);
       event = event->next) {
    event->time_stamp = time;
  }
}

void EventProcessor::PruneStatusBacklog(const connector* link, uint32_t time) {
  ug_event* kept = nullptr;
  for (ug_event* event = head_; event != nullptr && TimeBefore(event->time_stamp, time);) {
    ug_event* next = event->next;
    if (event->kind == UET_STAT_CHANGE && event->parm2 == link) {
      if (kept != nullptr) {
        Unlink(kept);
        ReleaseEvent(kept);
      }
      kept = event;
    }
    event = next;
  }
}

void EventProcessor::LinkAfter(ug_event* after, ug_event* event) {
  ug_event* before = after != nullptr ? after->next : head_;
  event->previous = after;
  event->next = before;
  (after != nullptr ? after->next : head_) = event;
  (before != nullptr ? before->previous : tail_) = event;
}

void EventProcessor::Unlink(ug_event* event) {
  (event->previous != nullptr ? event->previous->next : head_) = event->next;
  (event->next != nullptr ? event->next->previous : tail_) = event->previous;
  event->previous = event->next = nullptr;
}

}  // namespace ov
