#include "extmodules/module_tables.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace ov {

std::shared_ptr<ModuleTable> ModuleTableFor(std::string_view name, int32_t size_key,
                                            int64_t entries) {
  constexpr int64_t kMaxEntries = int64_t{1} << 26;
  if (entries < 0 || entries > kMaxEntries) return nullptr;
  static std::mutex mutex;
  static std::map<std::pair<std::string, int32_t>, std::shared_ptr<ModuleTable>> tables;
  std::lock_guard lock(mutex);
  std::shared_ptr<ModuleTable>& table = tables[{std::string(name), size_key}];
  const auto wanted = static_cast<std::size_t>(entries);
  if (!table || table->size < wanted) {
    auto made = std::make_shared<ModuleTable>();
    made->entries = std::make_unique<int32_t[]>(wanted > 0 ? wanted : 1);
    made->size = wanted;
    table = std::move(made);
  }
  return table;
}

}  // namespace ov
