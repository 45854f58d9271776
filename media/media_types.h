// The media family's module types. Threads: wherever the registry is built.
#pragma once

#include "modules/module_registry.h"

namespace ov {

void RegisterMediaModules(ModuleRegistry& registry);

}  // namespace ov
