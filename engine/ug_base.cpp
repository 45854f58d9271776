#include "engine/ug_base.h"

#include <algorithm>

#include "engine/audio_master.h"

namespace ov {

void ug_base::VisitTree(const std::function<void(ug_base&)>& visit) { visit(*this); }

void ug_base::Open() { master_->Activate(this); }

void ug_base::Close() { master_->Deactivate(this); }

void ug_base::Process(int32_t frames) {
  while (frames > 0) {
    DeliverDueNotifications();
    int32_t stretch = frames;
    if (pending_count_ > 0) {
      stretch = std::min(stretch, static_cast<int32_t>(pending_[0].time - clock_));
    }
    DoProcess(stretch);
    clock_ += static_cast<uint32_t>(stretch);
    frames -= stretch;
  }
}

void ug_base::Wake() { master_->Wake(this); }

void ug_base::Sleep() {
  sleeping_ = true;
  master_->Deactivate(this);
}

void ug_base::OnNotify(int32_t, int32_t) {}

void ug_base::QueueNotification(uint32_t time, int32_t a, int32_t b) {
  if (pending_count_ == kMaxPendingNotifications) {
    OnNotify(a, b);
    return;
  }
  pending_[pending_count_++] = {time, a, b};
}

void ug_base::RestampEventsBefore(uint32_t time) {
  for (int i = 0; i < pending_count_; ++i) {
    if (static_cast<int32_t>(pending_[i].time - time) < 0) pending_[i].time = time;
  }
}

void ug_base::DeliverDueNotifications() {
  while (pending_count_ > 0 && static_cast<int32_t>(pending_[0].time - clock_) <= 0) {
    const Notification due = pending_[0];
    std::copy(pending_.begin() + 1, pending_.begin() + pending_count_, pending_.begin());
    --pending_count_;
    OnNotify(due.a, due.b);  // may queue more: the store is consistent by now
  }
}

void ug_base::OnMessage(uint32_t message_id, MessageReader& payload) {
  NotifyMessage notify;
  if (message_id != NotifyMessage::kId || !payload.Read(notify)) return;
  if (master_->IsRunning()) {
    QueueNotification(master_->SampleClock(), notify.a, notify.b);
  } else {
    OnNotify(notify.a, notify.b);
  }
}

}  // namespace ov
