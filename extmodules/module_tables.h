// Shared tables that module libraries ask for by name and size key (host
// opcode 20): 32-bit entries a module fills and its other instances read.
// A table never moves or shrinks while a generator holds it; a request for
// more entries makes a new, larger table for later askers.
//
// Threads: ModuleTableFor on the editor thread (it locks and allocates);
// entries on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace ov {

struct ModuleTable {
  std::unique_ptr<int32_t[]> entries;
  std::size_t size = 0;
};

// The table of that name and size key with room for at least `entries`
// entries (zeroed when new); null for a negative count or one above 2^26.
std::shared_ptr<ModuleTable> ModuleTableFor(std::string_view name, int32_t size_key,
                                            int64_t entries);

}  // namespace ov
