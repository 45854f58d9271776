#include "extmodules/module_tables.h"

#include <algorithm>

namespace ov {

std::shared_ptr<ModuleTable> NewModuleTable(int64_t entries) {
  constexpr int64_t kMaxEntries = int64_t{1} << 26;
  if (entries < 0 || entries > kMaxEntries) return nullptr;
  auto made = std::make_shared<ModuleTable>();
  const auto size = static_cast<std::size_t>(entries);
  made->entries = std::make_unique<int32_t[]>(size > 0 ? size : 1);
  made->size = size;
  return made;
}

std::shared_ptr<ModuleTable> ModuleTables::For(std::string_view name, int32_t size_key,
                                               int64_t entries) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<ModuleTable>& table = tables_[{std::string(name), size_key}];
  if (!table || table->size < static_cast<std::size_t>(std::max<int64_t>(entries, 0))) {
    std::shared_ptr<ModuleTable> made = NewModuleTable(entries);
    if (!made) return nullptr;
    table = std::move(made);
  }
  return table;
}

}  // namespace ov
