#include "patches/message_hub.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "platform/files.h"

namespace ov {

namespace {

// Room for the longest "mbox" or "exec" text as UTF-8.
constexpr std::size_t kUserTextCapacity = 4 * MessageWriter::kCapacity;

}  // namespace

void MessageHub::AttachEngine(OvAudioMaster* master) {
  // As the modules asking, the hub takes the user's word at engine start.
  programs_allowed_ = master != nullptr && ProjectsMayStartPrograms();
  if (engine_ != nullptr) engine_->SetEditorBoundQueue(nullptr);
  to_editor_.Ring().DiscardAll();
  for (ModuleMessageTarget* module : modules_) {
    module->generator_ = nullptr;
    module->hub_ = nullptr;
    targets_.Unregister(*module);
  }
  modules_.clear();
  engine_ = master;
  if (engine_ == nullptr) return;
  if (application_.Handle() == 0) targets_.Register(application_, NewHandle());
  engine_->SetEditorBoundQueue(&to_editor_, application_.Handle());
}

void MessageHub::AttachModule(ModuleMessageTarget& module, ug_base& generator) {
  targets_.Register(module, generator.TargetId());
  module.generator_ = &generator;
  generator.ClearRefreshMark();
  if (module.hub_ == nullptr) modules_.push_back(&module);
  module.hub_ = this;
  module.OnGeneratorAttached(generator);
}

void MessageHub::ForgetModule(ModuleMessageTarget& module) {
  std::erase(modules_, &module);
  module.generator_ = nullptr;
  module.hub_ = nullptr;
}

void MessageHub::PostUserMessage(std::string_view text, MessageStyle style) {
  if (user_messages_ != nullptr) {
    user_messages_->Post(text, style);
  } else {
    ids_.PostUserMessage(text);
  }
}

void MessageHub::ApplicationTarget::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (message_id == kMsgRunCommand) {
    std::string line;
    line.reserve(kUserTextCapacity);  // a string is read up to its capacity
    if (payload.ReadString(line)) hub_.RunCommand(line);
    return;
  }
  if (message_id != kMsgMbox) return;
  std::string text;
  text.reserve(kUserTextCapacity);
  uint32_t style = static_cast<uint32_t>(MessageStyle::kWarning);
  if (!payload.ReadString(text)) return;
  payload.Read(style);
  hub_.PostUserMessage(text, static_cast<MessageStyle>(style));
}

bool MessageHub::PostToEngine(uint32_t target_id, uint32_t message_id,
                              const MessageWriter& payload) {
  if (engine_ == nullptr || payload.Failed()) return false;
  return engine_->PostFromEditor(target_id, message_id, payload.Bytes());
}

void MessageHub::Idle() {
  to_editor_.Drain([this](uint32_t handle) { return targets_.Find(handle); });
  overflow_seen_ = to_editor_.TakeOverflow();
  if (idle_list_ != nullptr) idle_list_->Run();
  processes_.Reap();
}

void MessageHub::RunCommand(std::string_view line) {
  // The module asking has told the user already when it may not.
  if (!programs_allowed_) return;
  if (command_folder_.empty() || !CreateFolder(command_folder_)) return;
  // As the command's own module does not look at the outcome, neither is it
  // reported here.
  processes_.Start(SplitCommandLine(line), command_folder_);
}

}  // namespace ov
