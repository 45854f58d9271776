#include "modules/module_registry.h"

#include <mutex>
#include <utility>

#include "modules/list_text.h"

namespace ov {

ModuleRegistry::ModuleRegistry(MessageCallback on_message) : on_message_(std::move(on_message)) {}

ModuleRegistry::~ModuleRegistry() = default;

bool ModuleRegistry::RegisterModule(std::unique_ptr<Module_Info> info) {
  std::string key = info->GetId();
  if (key.empty()) return false;
  if (RegisterIfNew(info) != nullptr) {
    Report("RegisterModule Error. Module found twice. " + key);
  }
  return true;
}

const Module_Info* ModuleRegistry::RegisterIfNew(std::unique_ptr<Module_Info>& info) {
  std::string key = info->GetId();
  std::lock_guard lock(mutex_);
  const auto [where, inserted] = types_.try_emplace(std::move(key), nullptr);
  if (!inserted) return where->second.get();
  where->second = std::move(info);
  return nullptr;
}

std::size_t ModuleRegistry::TypeCount() const {
  std::lock_guard lock(mutex_);
  return types_.size();
}

const Module_Info* ModuleRegistry::FindModule(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (const auto found = types_.find(key); found != types_.end()) return found->second.get();
  if (key.substr(0, 2) != "BI") return nullptr;
  const std::string legacy_key = LegacyKeyLocked(ParseLeadingInteger(key.substr(2)));
  const auto found = types_.find(legacy_key);
  return found != types_.end() ? found->second.get() : nullptr;
}

std::string ModuleRegistry::LegacyKey(int32_t number) const {
  std::lock_guard lock(mutex_);
  return LegacyKeyLocked(number);
}

std::string ModuleRegistry::LegacyKeyLocked(int32_t number) const {
  if (number < 0) return {};
  for (const auto& [key, info] : types_) {
    if (info->LegacyNumber() == number) return info->GetId();
  }
  return {};
}

void ModuleRegistry::Report(std::string text) {
  std::lock_guard lock(messages_mutex_);
  if (on_message_) on_message_(text);
  messages_.push_back(std::move(text));
}

void ModuleRegistry::AddLibraryPath(std::string path) {
  std::lock_guard lock(mutex_);
  library_paths_.push_back(std::move(path));
}

std::vector<std::string> ModuleRegistry::LibraryPaths() const {
  std::lock_guard lock(mutex_);
  return library_paths_;
}

void ModuleRegistry::SetPanelMaker(ModulePanelMaker maker) {
  std::lock_guard lock(mutex_);
  panel_maker_ = std::move(maker);
}

}  // namespace ov
