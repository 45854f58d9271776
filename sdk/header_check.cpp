// The header compiles as C++ with its layout checks, and its export macros
// define the three entry points with C linkage.
#include "sdk/orvane_module.h"

OV_EXPORT intptr_t getModuleProperties(int32_t, OvModuleProperties*) { return 0; }
OV_EXPORT void* makeModule(int32_t, int32_t, OvHostCallback, void*) { return nullptr; }
OV_DEFINE_MAIN(host) {
  (void)host;
  return nullptr;
}
