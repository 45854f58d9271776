#include "patches/module_target.h"

#include <string>

#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "patches/message_hub.h"

namespace ov {

ModuleMessageTarget::~ModuleMessageTarget() {
  if (hub_ != nullptr) hub_->ForgetModule(*this);
}

void ModuleMessageTarget::OnMessage(uint32_t message_id, MessageReader& payload) {
  if (message_id == kMsgRefresh) {
    if (generator_ == nullptr) return;
    generator_->ClearRefreshMark();
    OnRefresh(*generator_);
  } else if (message_id == kMsgPrint) {
    std::string line;
    line.reserve(4 * MessageWriter::kCapacity);
    if (payload.ReadString(line)) OnPrint(line);
  }
}

}  // namespace ov
