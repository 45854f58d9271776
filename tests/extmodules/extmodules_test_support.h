// Where the module libraries built for these tests are, and a registry that
// holds the example libraries' types.
#pragma once

#include <string>

#include "extmodules/module_library.h"
#include "modules/module_registry.h"

namespace ov::test {

inline std::string ExampleModules() { return std::string(OV_SDK_LIBRARIES) + "/example_modules.ovm"; }
inline std::string ExampleLegacy() { return std::string(OV_SDK_LIBRARIES) + "/example_legacy.ovp"; }
inline std::string HostileLibrary(int kind) {
  return std::string(OV_TEST_LIBRARIES) + "/hostile_" + std::to_string(kind) + ".ovm";
}

// A registry of the example libraries only (the type count starts at 0).
inline ModuleRegistry& ExampleTypes() {
  static ModuleRegistry* registry = [] {
    auto* made = new ModuleRegistry;
    RegisterModuleLibrary(*made, "", "example_modules.ovm", ExampleModules());
    RegisterModuleLibrary(*made, "", "example_legacy.ovp", ExampleLegacy());
    RegisterModuleLibrary(*made, "", "hostile_4.ovm", HostileLibrary(4));
    return made;
  }();
  return *registry;
}

}  // namespace ov::test
