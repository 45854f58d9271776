#include "vsthost/vst_types.h"

#include <memory>

#include "modules/descriptors/plug_tables.h"
#include "modules/module_info.h"
#include "modules/ug_unavailable.h"

namespace ov {

void RegisterVstHostModules(ModuleRegistry& registry) {
  registry.RegisterModule(std::make_unique<Module_Info>(
      "VST Plugin", "", 0, 0, "Ctl_VST_Plugin",
      UnavailableGeneratorFactory("VST Plugin", kVstPluginPlugs), 0x108, 40));
}

}  // namespace ov
