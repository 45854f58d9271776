// "System Command2": opens the file its "Filename" names with the desktop's
// handler when "Trigger" is released, by the verb "Command" chooses. No
// shell runs and no program a project names starts (see DocumentOpener);
// what is refused or not supported is told to the user.
//
// Threads: editor only.
#pragma once

#include <memory>
#include <span>

#include "document/ui_module.h"
#include "patches/idle_list.h"
#include "platform/document_opener.h"

namespace ov {

class DataFiles;
class MessageSink;

extern const SerialClass kui_system_command;

class ui_system_command : public CUG_ui, private IdleClient {
 public:
  static constexpr const SerialClass& kClass = kui_system_command;
  const SerialClass& GetClass() const override { return kClass; }
  ui_system_command();
  ~ui_system_command() override;
  // Where names are resolved and refusals told; without files a name is
  // taken as it is, without a sink refusals go to stderr.
  void AttachFiles(const DataFiles* files, MessageSink* messages);

 protected:
  std::span<const HelperFeature> Features() const override;
  void VariableChanged(generic_feature& variable) override;

 private:
  bool OnIdle() override;
  void Run();

  BoolVariable trigger_{this};
  ListVariable command_{this};
  TextVariable filename_{this};
  DocumentOpener opener_;
  std::weak_ptr<IdleList> reaping_;
  const DataFiles* files_ = nullptr;
  MessageSink* messages_ = nullptr;
};

}  // namespace ov
