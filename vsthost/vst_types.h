// The hosted-plug-in family's module type, "VST Plugin". Threads: wherever the
// registry is built.
#pragma once

#include "modules/module_registry.h"

namespace ov {

void RegisterVstHostModules(ModuleRegistry& registry);

}  // namespace ov
