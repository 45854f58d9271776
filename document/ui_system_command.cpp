#include "document/ui_system_command.h"

#include <cstdio>

#include "document/document.h"
#include "engine/data_files.h"
#include "modules/list_text.h"
#include "platform/message_sink.h"

namespace ov {

constinit const SerialClass kui_system_command{"ui_system_command", 1, false,
                                               &MakeObject<ui_system_command>, &kCUG_ui};

namespace {
constexpr const char* kVerbs = ",edit,explore,find,open,print,properties";
}  // namespace

ui_system_command::~ui_system_command() {
  if (std::shared_ptr<IdleList> list = reaping_.lock()) list->Remove(*this);
}

void ui_system_command::AttachFiles(const DataFiles* files, MessageSink* messages) {
  files_ = files;
  messages_ = messages;
}

std::span<const HelperFeature> ui_system_command::Features() const {
  static constexpr HelperFeature kFeatures[] = {{"Trigger", DR_IN, DT_BOOL},
                                                {"Command", DR_IN, DT_ENUM, "0", kVerbs},
                                                {"Filename", DR_IN, DT_TEXT, ""}};
  return kFeatures;
}

ui_system_command::ui_system_command() {
  Bind(0, trigger_);
  Bind(1, command_);
  Bind(2, filename_);
}

void ui_system_command::VariableChanged(generic_feature& variable) {
  // The end of a press runs the command.
  if (&variable == &trigger_ && !trigger_.Get()) Run();
}

void ui_system_command::Run() {
  std::string verb;
  ListText(kVerbs).ForEach([&](const ListText::Item& item) {
    if (item.value != command_.Get()) return true;
    verb = item.label;
    return false;
  });
  const std::string path =
      files_ != nullptr ? files_->ResolveFilePath(filename_.Get(), "") : filename_.Get();
  std::string why;
  if (opener_.Open(verb, path, &why) == DocumentOpener::Outcome::kStarted) {
    // Reaped in the application's idle until it ends.
    const COrvaneDocBase* document = GetDocument();
    if (document != nullptr && document->IdleClients() != nullptr) {
      reaping_ = document->IdleClients();
      document->IdleClients()->Add(*this);
    }
    return;
  }
  const std::string text = title() + ": " + why;
  if (messages_ != nullptr) {
    messages_->Post(text, MessageStyle::kInformation);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

bool ui_system_command::OnIdle() { return opener_.Reap() > 0; }

}  // namespace ov
