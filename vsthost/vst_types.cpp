#include "vsthost/vst_types.h"

#include <memory>

#include "modules/module_info.h"
#include "vsthost/ug_vst_plugin.h"

namespace ov {

void RegisterVstHostModules(ModuleRegistry& registry) {
  registry.RegisterModule(std::make_unique<Module_Info>(
      "VST Plugin", "", 0, 0, "Ctl_VST_Plugin",
      [] { return std::unique_ptr<ug_base>(std::make_unique<ug_vst_plugin>()); }, 0x108, 40));
}

}  // namespace ov
