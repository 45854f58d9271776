// Editor-side message receivers and the registry that turns a handle from the
// engine-to-editor queue back into its receiver.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "engine/message_queue.h"

namespace ov {

class UiTargetRegistry;

class ui_msg_target {
 public:
  ui_msg_target() = default;
  ui_msg_target(const ui_msg_target&) = delete;
  ui_msg_target& operator=(const ui_msg_target&) = delete;
  // Leaves its registry, so a late message for it finds nothing.
  virtual ~ui_msg_target();

  // 0 until registered; afterwards kept for life, also across registries.
  uint32_t Handle() const { return handle_; }
  // Reads this message's payload; an identifier it does not handle is
  // skipped whole by the drain.
  virtual void OnMessage(uint32_t message_id, MessageReader& payload) = 0;

 private:
  friend class UiTargetRegistry;
  UiTargetRegistry* registry_ = nullptr;
  uint32_t handle_ = 0;
};

class UiTargetRegistry {
 public:
  UiTargetRegistry() = default;
  UiTargetRegistry(const UiTargetRegistry&) = delete;
  UiTargetRegistry& operator=(const UiTargetRegistry&) = delete;
  // Targets that outlive the registry forget it.
  ~UiTargetRegistry();

  // Gives `target` the handle `handle` (replacing whatever had it), leaving
  // any registry it was in.
  void Register(ui_msg_target& target, uint32_t handle);
  void Unregister(ui_msg_target& target);
  // Null when no live target has the handle.
  ui_msg_target* Find(uint32_t handle) const;

 private:
  std::unordered_map<uint32_t, ui_msg_target*> targets_;
};

}  // namespace ov
