// Any bytes given to the LV2 instance as its saved state (the first byte
// chooses the property, bank, program or the files kept with the session,
// and its type) restore whole or
// change nothing; never a crash or an overrun. A restore that succeeds
// leaves a state that saves, restores and saves again to the very same
// bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/document_project.h"
#include "lv2/bundle_text.h"
#include "lv2/lv2_plugin.h"

namespace {

struct Property {
  uint32_t key = 0;
  uint32_t type = 0;
  std::vector<uint8_t> value;
};

struct Host {
  Host() {
    ov::CompileOptions options;
    options.base_directory = OV_FUZZ_SEEDS;
    options.messages = &ov::fuzz::QuietMessages();
    const ov::COrvaneDocBase compiled = ov::CompileDocument(
        ov::Json::parse(ov::fuzz::ReadText(std::string(OV_FUZZ_SEEDS) + "/panel.json")), options);
    ov::StreamProject source(compiled.Write(compiled.version()));
    const LV2_Feature map_feature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&map_feature, nullptr};
    instance = ov::OvLv2::Create(48000, features, source);
    if (instance == nullptr) __builtin_trap();
  }

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& ids = *static_cast<std::map<std::string, uint32_t>*>(handle);
    return ids.try_emplace(uri, static_cast<uint32_t>(ids.size() + 1)).first->second;
  }
  uint32_t Id(const char* uri) { return Map(&ids, uri); }

  static LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value,
                                size_t size, uint32_t type, uint32_t) {
    const auto* bytes = static_cast<const uint8_t*>(value);
    static_cast<std::vector<Property>*>(handle)->push_back(
        {key, type, std::vector<uint8_t>(bytes, bytes + size)});
    return LV2_STATE_SUCCESS;
  }
  static const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags) {
    for (const Property& property : *static_cast<const std::vector<Property>*>(handle)) {
      if (property.key != key) continue;
      *size = property.value.size();
      *type = property.type;
      *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
      return property.value.data();
    }
    return nullptr;
  }

  // Abstract paths are the absolute ones.
  static char* SamePath(LV2_State_Map_Path_Handle, const char* path) { return strdup(path); }

  std::vector<Property> Save() {
    std::vector<Property> saved;
    instance->Save(&Store, &saved, features);
    return saved;
  }
  LV2_State_Status Restore(const std::vector<Property>& properties) {
    return instance->Restore(&Retrieve, const_cast<std::vector<Property>*>(&properties), features);
  }

  std::map<std::string, uint32_t> ids;
  LV2_URID_Map map{&ids, &Host::Map};
  LV2_State_Map_Path map_path{nullptr, &Host::SamePath, &Host::SamePath};
  const LV2_Feature map_path_feature{LV2_STATE__mapPath, &map_path};
  const LV2_Feature* features[2] = {&map_path_feature, nullptr};
  std::unique_ptr<ov::OvLv2> instance;
};

Host& TheHost() {
  static Host* host = new Host;
  return *host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Host& host = TheHost();
  const uint8_t choice = data[0];
  Property property;
  const bool files = (choice & 8) != 0;
  property.key = host.Id(files               ? ov::kLv2FilesProperty
                         : (choice & 1) != 0 ? ov::kLv2ProgramProperty
                                             : ov::kLv2BankProperty);
  property.type = host.Id(files               ? LV2_ATOM__Tuple
                          : (choice & 2) != 0 ? LV2_ATOM__Int
                          : (choice & 4) != 0 ? LV2_ATOM__String
                                              : LV2_ATOM__Chunk);
  property.value.assign(data + 1, data + size);

  const std::vector<Property> before = host.Save();
  if (before.empty()) __builtin_trap();
  if (host.Restore({property}) != LV2_STATE_SUCCESS) {
    // A refused bank leaves the state as it was.
    if ((choice & 1) == 0 && host.Save()[0].value != before[0].value) __builtin_trap();
    return 0;
  }
  const std::vector<Property> saved = host.Save();
  if (host.Restore(saved) != LV2_STATE_SUCCESS) __builtin_trap();
  if (host.Save()[0].value != saved[0].value) __builtin_trap();
  return 0;
}
