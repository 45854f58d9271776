// Shared tables that module libraries ask for by name and size key (host
// opcode 20): 32-bit entries a module fills and its other instances read.
// They belong to one application (plug-in instance) and go with it, so two
// instances in one process never write into each other's. A table never
// moves or shrinks while a generator holds it; a request for more entries
// makes a new, larger table for later askers.
//
// Threads: For on the editor thread (it locks and allocates; engine build
// and start); entries on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace ov {

struct ModuleTable {
  std::unique_ptr<int32_t[]> entries;
  std::size_t size = 0;
};

// A zeroed table of `entries` entries; null for a negative count or one
// above 2^26.
std::shared_ptr<ModuleTable> NewModuleTable(int64_t entries);

class ModuleTables {
 public:
  // The table of that name and size key with room for at least `entries`
  // entries (zeroed when new); null for a count NewModuleTable refuses.
  std::shared_ptr<ModuleTable> For(std::string_view name, int32_t size_key, int64_t entries);

 private:
  std::mutex mutex_;
  std::map<std::pair<std::string, int32_t>, std::shared_ptr<ModuleTable>> tables_;
};

}  // namespace ov
