// The registry of module types, keyed by key text (compared byte by byte,
// case-sensitively), with the legacy numbers that old documents name types
// by, and the file-type table.
//
// Threads: registering, finding and the library paths are guarded by the
// registry's mutex, so module libraries may join the process-wide registry
// (ProcessModules()) while other plug-in instances look types up; a type,
// once registered, stays until the registry is destroyed. Types() is for
// tools and tests that register nothing meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "modules/file_types.h"
#include "modules/module_info.h"
#include "modules/module_panel.h"

namespace ov {

class ModuleRegistry {
 public:
  using MessageCallback = std::function<void(std::string_view)>;
  using TypeMap = std::map<std::string, std::unique_ptr<Module_Info>, std::less<>>;

  // Messages for the user are recorded (see Messages) and also passed to
  // `on_message` when one is given.
  explicit ModuleRegistry(MessageCallback on_message = {});
  ~ModuleRegistry();
  ModuleRegistry(const ModuleRegistry&) = delete;
  ModuleRegistry& operator=(const ModuleRegistry&) = delete;

  // Takes the record. A record with an empty key is dropped and false is
  // returned. A key already registered keeps its first record: the new one is
  // dropped, the user is told "RegisterModule Error. Module found twice. <key>",
  // and true is returned.
  bool RegisterModule(std::unique_ptr<Module_Info> info);
  // Registers `info` when its key is free and returns null; otherwise leaves
  // `info` with the caller and returns the type registered under the key.
  const Module_Info* RegisterIfNew(std::unique_ptr<Module_Info>& info);
  std::size_t TypeCount() const;

  // The type registered under `key`; failing that, for a key "BI<number>",
  // the type whose legacy number is <number> (read like any stored number:
  // "BIx" is 0). Null when neither finds one.
  const Module_Info* FindModule(std::string_view key) const;
  // The key of the first type, in key order, with legacy number `number`;
  // empty when there is none. A negative number matches nothing: -1 is what
  // types without a legacy number carry.
  std::string LegacyKey(int32_t number) const;

  const TypeMap& Types() const { return types_; }
  std::span<const FileType> FileTypes() const { return ov::FileTypes(); }
  std::size_t FileTypeIndex(std::string_view extension) const {
    return ov::FileTypeIndex(extension);
  }

  // Every message given to the user, oldest first. Not while another thread
  // may report.
  const std::vector<std::string>& Messages() const { return messages_; }
  // Records a message for the user (and passes it on). Any thread.
  void Report(std::string text);

  // Files of hosted plug-in libraries that projects carried, in order.
  void AddLibraryPath(std::string path);
  std::vector<std::string> LibraryPaths() const;

  // Who makes the panel parts of module-library types: the editor side sets
  // it once before projects load; without one no panel part is made.
  void SetPanelMaker(ModulePanelMaker maker);
  const ModulePanelMaker& PanelMaker() const { return panel_maker_; }

 private:
  std::string LegacyKeyLocked(int32_t number) const;

  mutable std::mutex mutex_;
  std::mutex messages_mutex_;  // apart: a message callback may look types up
  MessageCallback on_message_;
  std::vector<std::string> library_paths_;
  std::vector<std::string> messages_;
  TypeMap types_;
  ModulePanelMaker panel_maker_;
};

// Registers this folder's types into `registry`: first the legacy table, in
// its row order, then the others.
void RegisterBuiltInModules(ModuleRegistry& registry);

// Registers every family's types: this folder's, then those of media/,
// vsthost/ and extmodules/ (defined with that list, host/module_families.cpp).
void RegisterModuleFamilies(ModuleRegistry& registry);

// The process-wide registry of every family's types, built on first use; the
// types of module libraries join it (ProcessModules()) for as long as the
// process keeps it. Defined with the family list.
const ModuleRegistry& BuiltInModules();
ModuleRegistry& ProcessModules();

}  // namespace ov
