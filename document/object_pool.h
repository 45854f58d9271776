// Ownership of the objects that a reader creates while a load runs. A stream
// is a graph: any object may be named from anywhere, so a hostile stream can
// hand one object to two holders or make a container hold itself. Every new
// object stays here until one holder adopts it; a second adoption, a cycle or
// an ownership chain deeper than kMaxDepth is refused, so the objects always
// form trees. Objects that nothing adopted are freed with the pool.
//
// Threads: one load, one thread.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/persistent.h"

namespace ov {

class ObjectPool {
 public:
  // Deepest nesting a load accepts, both of objects written inside objects
  // and of holders holding holders.
  static constexpr int kMaxDepth = 512;

  Persistent* Add(std::unique_ptr<Persistent> object);

  // Marks `object` as having its fields read while it lives; what it adopts
  // in that time is held by it.
  class Reading {
   public:
    Reading(ObjectPool& pool, const Persistent* object) : pool_(pool) {
      pool_.reading_.push_back(object);
    }
    ~Reading() { pool_.reading_.pop_back(); }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

   private:
    ObjectPool& pool_;
  };
  // How many objects are being read inside one another.
  std::size_t reading_depth() const { return reading_.size(); }

  // Hands `object` to the innermost object being read, or to the document
  // when none is. On refusal returns null and says why in `problem`.
  std::unique_ptr<Persistent> Adopt(Persistent* object, std::string* problem);
  // Shared holding: any number of holders, but never also a sole owner.
  std::shared_ptr<Persistent> Share(Persistent* object, std::string* problem);

 private:
  struct Entry {
    std::unique_ptr<Persistent> unadopted;
    std::shared_ptr<Persistent> shared;
    const Persistent* owner = nullptr;
    bool adopted = false;
    int height = 0;  // longest chain of held objects below this one
  };

  bool Link(Entry& entry, const Persistent* object, const Persistent* owner, std::string* problem);

  const Persistent* Holder() const { return reading_.empty() ? nullptr : reading_.back(); }

  std::unordered_map<const Persistent*, Entry> entries_;
  std::vector<const Persistent*> reading_;
};

}  // namespace ov
