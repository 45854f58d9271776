// The user-visible messages of one plug-in instance. On Windows these were
// message boxes; here each message is recorded (for the editor panel and for
// tests) and logged once to stderr. Posting never blocks.
//
// Thread: editor only. The engine never posts here directly; it sends an
// "mbox" message through the engine-to-editor queue instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

enum class MessageStyle : uint32_t {
  kInformation = 0x40,  // the numeric styles are the ones projects store
  kWarning = 0x30,
  kError = 0x10,
};

struct Message {
  std::string text;
  MessageStyle style;
};

class MessageSink {
 public:
  void Post(std::string_view text, MessageStyle style);

  const std::vector<Message>& Messages() const { return messages_; }
  bool Contains(std::string_view fragment) const;
  void Clear() { messages_.clear(); }
  // Tests turn the stderr copy off to keep their output readable.
  void SetLogToStderr(bool on) { log_to_stderr_ = on; }

 private:
  std::vector<Message> messages_;
  bool log_to_stderr_ = true;
};

}  // namespace ov
