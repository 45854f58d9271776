#include "patches/ug_patch_param_watcher.h"

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "patches/dsp_patch_manager.h"

namespace ov {

ug_patch_param_watcher::ug_patch_param_watcher() {
  SetFlags(Flags() | UGF_NEVER_SUSPEND);
  SetProcessFunction(&ug_patch_param_watcher::SleepWhenIdle);
}

std::unique_ptr<ug_base> ug_patch_param_watcher::CreateInstance() const {
  return std::make_unique<ug_patch_param_watcher>();
}

ug_patch_param_watcher& ug_patch_param_watcher::Of(ug_container& container) {
  for (const auto& child : container.Children()) {
    if (auto* watcher = dynamic_cast<ug_patch_param_watcher*>(child.get())) return *watcher;
  }
  return static_cast<ug_patch_param_watcher&>(
      container.AddChild(std::make_unique<ug_patch_param_watcher>()));
}

void ug_patch_param_watcher::Watch(ug_container& container, UPlug& output,
                                   dsp_patch_parameter& parameter) {
  UPlug* input = AddPlug(DR_IN, output.Datatype());
  input->SetUpStorage(Master()->EngineBlockSize());
  parameters_.resize(static_cast<std::size_t>(PlugCount()), nullptr);
  parameters_[static_cast<std::size_t>(input->Number())] = &parameter;
  container.connect(&output, input);
}

void ug_patch_param_watcher::OnStatusChange(uint32_t, connector* link, int32_t) {
  const UPlug& input = *link->Destination();
  const auto number = static_cast<std::size_t>(input.Number());
  if (number < parameters_.size() && parameters_[number] != nullptr) {
    parameters_[number]->OnWatchedChange(input);
  }
}

}  // namespace ov
