// The module type of one module of a module library: its names and plugs
// learnt from the library, and the generators it makes.
//
// Threads: built, reloaded and asked for generators on the editor thread;
// its names and descriptors are read like any type's.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "extmodules/module_library.h"
#include "modules/module_info.h"

namespace ov {

class ModuleRegistry;

class Module_Info_Plugin : public Module_Info {
 public:
  // Makes the type and discovers its properties (loading the library for
  // that and unloading it after). Failures are told through `registry`.
  Module_Info_Plugin(ModuleRegistry& registry, std::string path, std::string display_name,
                     std::string folder, int32_t legacy_number, int32_t module_index);
  ~Module_Info_Plugin() override;

  std::string GetId() const override { return identifier_; }
  // A generator with its own module structure from the library, or null
  // (message) when the library cannot give one.
  std::unique_ptr<ug_base> CreateGenerator() const override;
  // Through the registry's panel maker, for a library that exports
  // makeModule.
  std::unique_ptr<ModulePanel> MakePanelPart(CDocOb& owner, bool loaded) const override;

  int32_t ModuleIndex() const { return module_index_; }
  const std::string& LibraryPath() const { return path_; }
  uint32_t GeneratorFlags() const { return generator_flags_; }
  int32_t ExtraValue() const { return extra_value_; }
  const std::string& AboutText() const { return about_; }
  bool HasPanelPart() const;

  // Unloads the library and learns names and plugs again from the file on
  // disk. Refused (false, `error` says why) while generators made from the
  // library live. Editor thread, with the engines built from it stopped.
  bool Reload(std::string* error);

  // Loads the library when it is not loaded; false (message) on failure.
  bool EnsureLoaded() const;
  const ModuleLibrary& Library() const { return library_; }
  // A message for the user, through the registry.
  void Report(std::string text) const;

 private:
  void DiscoverProperties();
  void Unload();

  ModuleRegistry& registry_;
  std::string identifier_;
  std::string about_;
  int32_t module_index_;
  std::string path_;
  mutable std::recursive_mutex mutex_;  // loading on demand from several editors
  mutable ModuleLibrary library_;
  uint32_t generator_flags_ = 0;
  int32_t extra_value_ = 0;
};

}  // namespace ov
