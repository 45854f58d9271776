// The editor side's end of the message queues: the engine-to-editor ring,
// the registry of editor-side receivers, fresh handles, and the way to the
// running engine. The application owns one; it outlives the document and the
// engine.
//
// Threads: editor thread unless a method says otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_host.h"
#include "engine/message_queue.h"
#include "patches/idle_list.h"
#include "patches/module_target.h"
#include "patches/ui_msg_target.h"
#include "platform/message_sink.h"
#include "platform/process_starter.h"

namespace ov {

class OvAudioMaster;
class ug_base;

class MessageHub {
 public:
  static constexpr uint32_t kToEditorBytes = 10000;

  // Handles come from `ids` (the application's own counter).
  explicit MessageHub(EngineHost& ids) : ids_(ids) {}
  MessageHub(const MessageHub&) = delete;
  MessageHub& operator=(const MessageHub&) = delete;

  uint32_t NewHandle() { return ids_.NewTargetId(); }
  UiTargetRegistry& Targets() { return targets_; }
  // The ring the engine writes and Idle reads.
  MessageQueue& ToEditor() { return to_editor_; }

  // The engine that editor-side messages go to, or null; the engine writes
  // back through ToEditor(). Detaching empties the ring, since its messages
  // came from the engine that is going, and every attached module forgets its
  // generator. Audio stopped; detach before the engine is destroyed.
  void AttachEngine(OvAudioMaster* master);
  // While the engine is built: `module` receives what `generator` sends to
  // the editor side (registered under the generator's identifier) and reads
  // it, until the engine is detached. Audio stopped.
  void AttachModule(ModuleMessageTarget& module, ug_base& generator);
  // A module going away while attached.
  void ForgetModule(ModuleMessageTarget& module);
  OvAudioMaster* Engine() const { return engine_; }

  // To the engine's editor queue. False (nothing sent) without an engine, or
  // when the payload failed or the message was dropped.
  bool PostToEngine(uint32_t target_id, uint32_t message_id, const MessageWriter& payload);

  // Where messages for the user go: the engine's "mbox" texts, and those the
  // editor side raises about the engine. Without a sink they reach the
  // application as plain user messages.
  void SetUserMessages(MessageSink* sink) { user_messages_ = sink; }
  void PostUserMessage(std::string_view text, MessageStyle style = MessageStyle::kWarning);

  // Hands every message from the engine to its receiver ("mbox" to the
  // user, "exec" to the command starter); messages for handles nobody has
  // are skipped whole. Then clears the overflow flag, gives the idle list
  // its turns and reaps the started programs that have ended.
  void Idle();
  // The application's idle list (its document's), run by Idle.
  void SetIdleList(std::shared_ptr<IdleList> list) { idle_list_ = std::move(list); }

  // Command lines the engine asks to run start in `folder` (the library
  // folder); without one they are dropped.
  void SetCommandFolder(std::string folder) { command_folder_ = std::move(folder); }
  ProcessStarter& Processes() { return processes_; }
  // Whether the engine lost messages to a full ring since the last Idle.
  bool OverflowSeen() const { return overflow_seen_; }

 private:
  // The application's own receiver in the registry.
  class ApplicationTarget : public ui_msg_target {
   public:
    explicit ApplicationTarget(MessageHub& hub) : hub_(hub) {}
    void OnMessage(uint32_t message_id, MessageReader& payload) override;

   private:
    MessageHub& hub_;
  };

  EngineHost& ids_;
  UiTargetRegistry targets_;
  // After the registry, so it leaves it before the registry goes.
  ApplicationTarget application_{*this};
  void RunCommand(std::string_view line);

  MessageSink* user_messages_ = nullptr;
  std::string command_folder_;
  bool programs_allowed_ = false;  // read when an engine is attached
  ProcessStarter processes_;
  MessageQueue to_editor_{kToEditorBytes};
  OvAudioMaster* engine_ = nullptr;
  std::vector<ModuleMessageTarget*> modules_;  // attached to the engine's generators
  bool overflow_seen_ = false;
  std::shared_ptr<IdleList> idle_list_;
};

}  // namespace ov
