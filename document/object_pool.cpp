#include "document/object_pool.h"

namespace ov {

Persistent* ObjectPool::Add(std::unique_ptr<Persistent> object) {
  Persistent* raw = object.get();
  entries_[raw].unadopted = std::move(object);
  return raw;
}

bool ObjectPool::Link(Entry& entry, const Persistent* object, const Persistent* owner,
                      std::string* problem) {
  // A cycle needs the object to hold something already; a leaf can only
  // close one by holding itself.
  if (object == owner) {
    *problem = "an object holds itself";
    return false;
  }
  int height = entry.height + 1;
  for (const Persistent* above = owner; above != nullptr;) {
    const auto found = entries_.find(above);
    if (found == entries_.end()) break;  // held by an object outside the pool
    if (entry.height > 0 && above == object) {
      *problem = "an object holds one of its holders";
      return false;
    }
    Entry& holder = found->second;
    if (holder.height >= height) {
      if (entry.height == 0) break;  // nothing above can change, and no cycle is possible
    } else {
      holder.height = height;
    }
    if (holder.height > kMaxDepth) {
      *problem = "objects nested too deeply";
      return false;
    }
    above = holder.owner;
    ++height;
  }
  entry.owner = owner;
  entry.adopted = true;
  return true;
}

std::unique_ptr<Persistent> ObjectPool::Adopt(Persistent* object, std::string* problem) {
  const auto found = entries_.find(object);
  if (found == entries_.end()) {
    *problem = "an object that this load did not create";
    return nullptr;
  }
  Entry& entry = found->second;
  if (entry.adopted) {
    *problem = "an object held twice";
    return nullptr;
  }
  if (!Link(entry, object, Holder(), problem)) return nullptr;
  return std::move(entry.unadopted);
}

std::shared_ptr<Persistent> ObjectPool::Share(Persistent* object, std::string* problem) {
  const auto found = entries_.find(object);
  if (found == entries_.end()) {
    *problem = "an object that this load did not create";
    return nullptr;
  }
  Entry& entry = found->second;
  if (entry.shared) return entry.shared;
  if (entry.adopted) {
    *problem = "an object held twice";
    return nullptr;
  }
  if (!Link(entry, object, Holder(), problem)) return nullptr;
  entry.shared = std::move(entry.unadopted);
  return entry.shared;
}

}  // namespace ov
