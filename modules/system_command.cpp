#include "modules/system_command.h"

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/plug_table.h"
#include "platform/process_starter.h"

namespace ov {

std::unique_ptr<ug_base> ug_system_command::CreateInstance() const {
  return std::make_unique<ug_system_command>();
}

void ug_system_command::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kSystemCommandPlugs, {trigger_}, descriptors);
}

void ug_system_command::Open() {
  // Read here, on the editor thread: the audio thread reads no environment.
  allowed_ = ProjectsMayStartPrograms();
  refusal_told_ = false;
  SetProcessFunction(&ug_system_command::SleepWhenIdle);
  ug_base::Open();
}

void ug_system_command::OnStatusChange(uint32_t, connector* link, int32_t state) {
  if (link->Destination()->Number() != kTrigger) return;
  if (state == ST_RUN) {
    SetProcessFunction(&ug_system_command::Scan);
    return;
  }
  Follow(SampleNow(trigger_));
  SetProcessFunction(&ug_system_command::SleepWhenIdle);
}

void ug_system_command::Scan(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) Follow(trigger_[i]);
}

void ug_system_command::Follow(float value) {
  if (high_) {
    high_ = !(value < kLowBelow);
    return;
  }
  if (!(value > kHighAbove)) return;
  high_ = true;
  if (!allowed_) {
    if (!refusal_told_) refusal_told_ = RequestMessageBox(kNotAllowed);
    return;
  }
  MessageWriter request;
  request.WriteString(plug(kCommand)->TextValue());
  if (!Master()->PostToApplication(kMsgRunCommand, request)) ++lost_requests_;
}

}  // namespace ov
