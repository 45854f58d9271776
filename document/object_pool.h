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

#include "document/persistent.h"

namespace ov {

class ObjectPool {
 public:
  // Deepest nesting a load accepts, both of objects written inside objects
  // and of holders holding holders.
  static constexpr int kMaxDepth = 512;

  Persistent* Add(std::unique_ptr<Persistent> object);
  bool Contains(const Persistent* object) const { return entries_.contains(object); }

  // Hands `object` to `owner` (null for the document itself, or an object
  // outside the pool that belongs to the document). On refusal returns null
  // and says why in `problem`.
  std::unique_ptr<Persistent> Adopt(Persistent* object, const Persistent* owner,
                                    std::string* problem);
  // Shared holding: any number of holders, but never also a sole owner.
  std::shared_ptr<Persistent> Share(Persistent* object, const Persistent* owner,
                                    std::string* problem);

 private:
  struct Entry {
    std::unique_ptr<Persistent> unadopted;
    std::shared_ptr<Persistent> shared;
    const Persistent* owner = nullptr;
    bool adopted = false;
    int height = 0;  // longest chain of held objects below this one
  };

  bool Link(Entry& entry, const Persistent* object, const Persistent* owner, std::string* problem);

  std::unordered_map<const Persistent*, Entry> entries_;
};

}  // namespace ov
