#include "extmodules/module_library.h"

#include <filesystem>
#include <memory>

#include "extmodules/module_info_plugin.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/module_info.h"
#include "modules/module_registry.h"
#include "platform/file_names.h"
#include "platform/message_sink.h"
#include "modules/ug_unavailable.h"

namespace ov {
namespace {

// A library may offer at most this many modules: a getModuleProperties that
// never answers 0 must not register types for ever.
constexpr int32_t kMaxModulesPerLibrary = 256;

void Tell(ModuleRegistry& registry, MessageSink* messages, const std::string& text) {
  registry.Report(text);
  if (messages != nullptr) messages->Post(text, MessageStyle::kWarning);
}

void Insert(ModuleRegistry& registry, MessageSink* messages, const std::string& path,
            std::string_view file_name, std::string_view folder, int32_t module_index) {
  const auto legacy_number = static_cast<int32_t>(registry.TypeCount());
  std::unique_ptr<Module_Info> type = std::make_unique<Module_Info_Plugin>(
      registry, path, std::string(file_name), std::string(folder), legacy_number, module_index);
  if (type->GetId().empty()) {
    Tell(registry, messages,
         "A module of " + path + " gives no identifier and was not registered.");
    return;
  }
  const Module_Info* registered = registry.RegisterIfNew(type);
  if (registered == nullptr) return;
  // The same file registered again adds nothing, silently.
  const auto* other = dynamic_cast<const Module_Info_Plugin*>(registered);
  if (other == nullptr || other->LibraryPath() != path) {
    Tell(registry, messages,
         "Module FOUND TWICE!, only one loaded\n" + path + "\n" +
             (other != nullptr ? other->LibraryPath() : std::string("(built in)")));
  }
}

}  // namespace

void RegisterModuleLibraryTypes(ModuleRegistry& registry) {
  // What a module of a library that is not loaded stands in as.
  registry.RegisterModule(std::make_unique<Module_Info>(
      "Plugin", "", 0, 0, "", UnavailableGeneratorFactory("Plugin", kPlaceholderPlugs), 0x100, 113));
}

ModuleLibrary OpenModuleLibrary(const std::string& path, std::string* error) {
  ModuleLibrary opened;
  if (path.empty() || path.front() != '/') {
    if (error) *error = path + ": a module library is opened by its full path only";
    return opened;
  }
  opened.library = DynamicLibrary::Open(path, error);
  if (!opened.library.IsOpen()) return opened;
  opened.get_properties =
      reinterpret_cast<OvGetModulePropertiesFunction>(opened.library.Symbol("getModuleProperties"));
  opened.make_module = reinterpret_cast<OvMakeModuleFunction>(opened.library.Symbol("makeModule"));
  opened.main = reinterpret_cast<OvMainFunction>(opened.library.Symbol("main"));
  return opened;
}

void RegisterModuleLibrary(ModuleRegistry& registry, std::string_view folder,
                           std::string_view file_name, const std::string& given_path,
                           MessageSink* messages) {
  // Libraries are opened by full path: the loader then searches nowhere.
  std::error_code failed;
  const std::filesystem::path full = std::filesystem::absolute(given_path, failed);
  const std::string path = failed ? given_path : full.lexically_normal().string();
  const std::string extension = FileExtension(file_name);
  if (extension != "ovp" && extension != "ovm") {
    if (extension == "dll" || extension == "ov1" || extension == "so") registry.AddLibraryPath(path);
    return;
  }
  std::string error;
  const ModuleLibrary library = OpenModuleLibrary(path, &error);
  if (!library.IsOpen()) {
    Tell(registry, messages, "Can't load OV Plugin(" + error + "). (" + path + ").");
    return;
  }
  if (library.get_properties == nullptr) {
    Insert(registry, messages, path, file_name, folder, 0);
    return;
  }
  for (int32_t index = 0; index < kMaxModulesPerLibrary; ++index) {
    OvModuleProperties properties{};
    if (library.get_properties(index, &properties) == 0) return;
    Insert(registry, messages, path, file_name, folder, index);
  }
  Tell(registry, messages,
       path + " offers more than " + std::to_string(kMaxModulesPerLibrary) +
           " modules; only the first were registered.");
}

}  // namespace ov
