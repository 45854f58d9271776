#include "modules/ug_unavailable.h"

#include <map>
#include <mutex>
#include <utility>

#include "engine/audio_master.h"

namespace ov {
namespace {

// Which engines have been told about which types. Every placeholder that
// opened in an engine holds its (engine, type) entry until it is destroyed,
// so the entry ends with the engine and a later engine at the same address
// is told again. Any thread: plug-in instances may build engines at once.
class Announcements {
 public:
  // True for the first holder, which tells the user.
  bool Hold(const OvAudioMaster* engine, const std::string& key) {
    std::lock_guard lock(mutex_);
    return ++holders_[{engine, key}] == 1;
  }
  void Drop(const OvAudioMaster* engine, const std::string& key) {
    std::lock_guard lock(mutex_);
    const auto entry = holders_.find({engine, key});
    if (entry != holders_.end() && --entry->second == 0) holders_.erase(entry);
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<const OvAudioMaster*, std::string>, int> holders_;
};

Announcements& TheAnnouncements() {
  static Announcements announcements;
  return announcements;
}

}  // namespace

ug_unavailable::ug_unavailable(std::string key, PlugTable plugs)
    : key_(std::move(key)), plugs_(plugs) {}

ug_unavailable::~ug_unavailable() {
  if (announced_to_ != nullptr) TheAnnouncements().Drop(announced_to_, key_);
}

std::unique_ptr<ug_base> ug_unavailable::CreateInstance() const {
  return std::make_unique<ug_unavailable>(key_, plugs_);
}

void ug_unavailable::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(plugs_, descriptors);
}

void ug_unavailable::Open() {
  ug_base::Open();
  if (announced_to_ != nullptr) return;  // reopened: told already
  announced_to_ = Master();
  if (TheAnnouncements().Hold(announced_to_, key_)) {
    Master()->Host().PostUserMessage(MessageFor(key_));
  }
}

std::string ug_unavailable::MessageFor(std::string_view key) {
  return std::string(key) + ": this module is not available in this build";
}

GeneratorFactory UnavailableGeneratorFactory(std::string_view key, PlugTable plugs) {
  return [key = std::string(key), plugs] { return std::make_unique<ug_unavailable>(key, plugs); };
}

}  // namespace ov
