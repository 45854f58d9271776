// Module libraries: shared libraries ("ovm", "ovp") whose modules become
// module types, and the registration of the files a project carries.
//
// Threads: editor (the thread that loads projects); never the audio thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/dynamic_library.h"
#include "sdk/orvane_module.h"

namespace ov {

class MessageSink;
class ModuleRegistry;

// An open library with the three exports looked for (null when absent).
struct ModuleLibrary {
  DynamicLibrary library;
  OvGetModulePropertiesFunction get_properties = nullptr;
  OvMakeModuleFunction make_module = nullptr;
  OvMainFunction main = nullptr;

  bool IsOpen() const { return library.IsOpen(); }
};

// Registers the family's fixed type: "Plugin", the stand-in of a module whose
// library is not loaded.
void RegisterModuleLibraryTypes(ModuleRegistry& registry);

// Opens the library at the absolute `path` (a bare name would let the loader
// search for it). Empty, with `error` set, on failure.
ModuleLibrary OpenModuleLibrary(const std::string& path, std::string* error);

// Registers the modules of one library file into `registry`: "ovm" and "ovp"
// files are loaded and each module becomes a type; "dll", "ov1" and "so"
// files are only listed as hosted plug-in library paths. A relative path is
// taken from the working folder and stored in full. `folder` becomes
// the types' category text. Messages go to the registry and to `messages`
// when given.
void RegisterModuleLibrary(ModuleRegistry& registry, std::string_view folder,
                           std::string_view file_name, const std::string& path,
                           MessageSink* messages = nullptr);

}  // namespace ov
