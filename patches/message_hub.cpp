#include "patches/message_hub.h"

#include "engine/audio_master.h"

namespace ov {

void MessageHub::AttachEngine(OvAudioMaster* master) {
  if (engine_ != nullptr) engine_->SetEditorBoundQueue(nullptr);
  to_editor_.Ring().DiscardAll();
  engine_ = master;
  if (engine_ != nullptr) engine_->SetEditorBoundQueue(&to_editor_);
}

bool MessageHub::PostToEngine(uint32_t target_id, uint32_t message_id,
                              const MessageWriter& payload) {
  if (engine_ == nullptr || payload.Failed()) return false;
  return engine_->PostFromEditor(target_id, message_id, payload.Bytes());
}

void MessageHub::Idle() {
  to_editor_.Drain([this](uint32_t handle) { return targets_.Find(handle); });
  overflow_seen_ = to_editor_.TakeOverflow();
}

}  // namespace ov
