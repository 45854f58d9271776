// The registry of module types, keyed by key text (compared byte by byte,
// case-sensitively), with the legacy numbers that old documents name types
// by, and the file-type table.
//
// Threads: a registry is not synchronised. It is filled on one thread and
// only read afterwards; BuiltInModules() is filled once, under call_once,
// and is then safe to read from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "modules/file_types.h"
#include "modules/module_info.h"

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

  // Every message given to the user, oldest first.
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  void Report(std::string text);

  MessageCallback on_message_;
  std::vector<std::string> messages_;
  TypeMap types_;
};

// Registers every built-in type into `registry`: first the legacy table, in
// its row order, then the others.
void RegisterBuiltInModules(ModuleRegistry& registry);

// The process-wide registry of the built-in types, built on first use.
const ModuleRegistry& BuiltInModules();

}  // namespace ov
