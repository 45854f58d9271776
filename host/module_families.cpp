// The one list of module families: each folder registers its own types, and
// the process-wide registry holds them all.
#include <mutex>
#include <optional>

#include "extmodules/module_library.h"
#include "media/media_types.h"
#include "modules/module_registry.h"
#include "vsthost/vst_types.h"

namespace ov {

void RegisterModuleFamilies(ModuleRegistry& registry) {
  RegisterBuiltInModules(registry);
  RegisterMediaModules(registry);
  RegisterVstHostModules(registry);
  RegisterModuleLibraryTypes(registry);
}

ModuleRegistry& ProcessModules() {
  static std::once_flag built;
  static std::optional<ModuleRegistry> registry;
  std::call_once(built, [] { RegisterModuleFamilies(registry.emplace()); });
  return *registry;
}

const ModuleRegistry& BuiltInModules() { return ProcessModules(); }

}  // namespace ov
