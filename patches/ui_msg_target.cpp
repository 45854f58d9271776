#include "patches/ui_msg_target.h"

namespace ov {

ui_msg_target::~ui_msg_target() {
  if (registry_ != nullptr) registry_->Unregister(*this);
}

UiTargetRegistry::~UiTargetRegistry() {
  for (auto& [handle, target] : targets_) target->registry_ = nullptr;
}

void UiTargetRegistry::Register(ui_msg_target& target, uint32_t handle) {
  if (target.registry_ != nullptr) target.registry_->Unregister(target);
  ui_msg_target*& slot = targets_[handle];
  if (slot != nullptr && slot != &target) slot->registry_ = nullptr;
  slot = &target;
  target.registry_ = this;
  target.handle_ = handle;
}

void UiTargetRegistry::Unregister(ui_msg_target& target) {
  const auto found = targets_.find(target.handle_);
  if (found != targets_.end() && found->second == &target) targets_.erase(found);
  if (target.registry_ == this) target.registry_ = nullptr;
}

ui_msg_target* UiTargetRegistry::Find(uint32_t handle) const {
  const auto found = targets_.find(handle);
  return found != targets_.end() ? found->second : nullptr;
}

}  // namespace ov
