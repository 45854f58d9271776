// The wrapper library's LV2 entry point. Its one plug-in's URI comes from
// the project baked into the library, so that the bundle's description and
// the library name the same plug-in; lv2ui_descriptor (lv2_ui.cpp) is the
// only other export.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "host/document_project.h"
#include "lv2/lv2_library.h"
#include "lv2/lv2_plugin.h"
#include "platform/dynamic_library.h"
#include "platform/message_sink.h"

namespace {

ov::OvLv2* Self(LV2_Handle handle) { return static_cast<ov::OvLv2*>(handle); }

// Nothing thrown inside the plug-in may reach the host.
template <typename Call>
void Guarded(Call call) {
  try {
    call();
  } catch (...) {
  }
}

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
  try {
    ov::DocumentProject source(ov::OwnLibraryPath());
    return ov::OvLv2::Create(rate, features, source).release();
  } catch (...) {
    return nullptr;
  }
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  Self(handle)->Connect(port, data);
}
void Activate(LV2_Handle handle) {
  Guarded([&] { Self(handle)->Activate(); });
}
void Run(LV2_Handle handle, uint32_t frames) { Self(handle)->Run(frames); }
void Deactivate(LV2_Handle handle) {
  Guarded([&] { Self(handle)->Deactivate(); });
}
void Cleanup(LV2_Handle handle) {
  Guarded([&] { delete Self(handle); });
}

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t, const LV2_Feature* const* features) {
  try {
    return Self(handle)->Save(store, state, features);
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t, const LV2_Feature* const* features) {
  try {
    return Self(handle)->Restore(retrieve, state, features);
  } catch (...) {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_Worker_Status Work(LV2_Handle handle, LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle,
                       uint32_t, const void*) {
  Guarded([&] { Self(handle)->Work(); });
  return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status WorkResponse(LV2_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; }

const void* ExtensionData(const char* uri) {
  static const LV2_State_Interface state{Save, Restore};
  static const LV2_Worker_Interface worker{Work, WorkResponse, nullptr};
  if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
  if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &worker;
  return nullptr;
}

}  // namespace

const std::string& ov::BakedPluginUri() {
  static const std::string uri = [] {
    try {
      DocumentProject source(OwnLibraryPath());
      MessageSink messages;
      if (std::optional<ProjectFacts> facts = source.Load(messages)) return PluginUri(*facts);
    } catch (...) {
    }
    return std::string();
  }();
  return uri;
}

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    uint32_t index) {
  const std::string& uri = ov::BakedPluginUri();
  static const LV2_Descriptor descriptor{uri.c_str(), Instantiate, ConnectPort, Activate,
                                         Run,         Deactivate,  Cleanup,     ExtensionData};
  return index == 0 && !uri.empty() ? &descriptor : nullptr;
}
