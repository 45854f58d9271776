// A library whose entry point returns a record that is not a VST 2 plug-in.
#include "platform/vst2.h"

extern "C" __attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(vst2::HostCallback) {
  static vst2::AEffect not_a_plugin{};
  return &not_a_plugin;
}
