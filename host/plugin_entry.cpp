// The library's exported entry points. Hosts look for VSTPluginMain first and
// fall back to the older name main; both do the same.
#include "host/document_project.h"
#include "host/ov_vst.h"
#include "platform/dynamic_library.h"

namespace {

// Each plug-in instance reads the project stored in this library afresh.
// Nothing thrown here may reach the host: it gets no plug-in instead.
vst2::AEffect* Entry(vst2::HostCallback host) {
  try {
    ov::DocumentProject source(ov::OwnLibraryPath());
    return ov::CreatePlugin(host, source);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(
    vst2::HostCallback host) {
  return Entry(host);
}

// A C++ function cannot be called main and return a pointer, so the symbol
// name is bound with an assembler label.
extern "C" __attribute__((visibility("default"))) vst2::AEffect* LegacyMain(
    vst2::HostCallback host) __asm__("main");
extern "C" vst2::AEffect* LegacyMain(vst2::HostCallback host) { return Entry(host); }
