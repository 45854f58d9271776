#include "platform/message_sink.h"

#include <cstdio>

namespace ov {

void MessageSink::Post(std::string_view text, MessageStyle style) {
  messages_.push_back({std::string(text), style});
  if (log_to_stderr_) {
    const char* kind = style == MessageStyle::kError     ? "error"
                       : style == MessageStyle::kWarning ? "warning"
                                                         : "note";
    std::fprintf(stderr, "orvane %s: %.*s\n", kind, static_cast<int>(text.size()), text.data());
  }
}

bool MessageSink::Contains(std::string_view fragment) const {
  for (const Message& m : messages_) {
    if (m.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

}  // namespace ov
