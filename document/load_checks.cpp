#include "document/load_checks.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "document/connection.h"
#include "document/container.h"
#include "document/document.h"

namespace ov {
namespace {

// Follows held objects from the document down. In the first walk it
// gathers them; in the second it clears references to anything else.
class HeldObjectWalker final : public FieldWalker {
 public:
  HeldObjectWalker(WalkPurpose purpose, int32_t version, std::unordered_set<Persistent*>& held)
      : FieldWalker(purpose, version), held_(held) {}

  // The held objects in the order the walk met them.
  const std::vector<Persistent*>& order() const { return order_; }

  void Object(std::string_view, Persistent*& object, const SerialClass*, bool owned) override {
    if (object == nullptr) return;
    if (!owned) {
      if (purpose() == WalkPurpose::kClearReferences && !held_.contains(object)) object = nullptr;
      return;
    }
    // Shared objects are met more than once; their fields need one visit.
    if (!visited_.insert(object).second) return;
    if (purpose() == WalkPurpose::kCollectOwned) {
      held_.insert(object);
      order_.push_back(object);
    }
    object->Serialize(*this);
  }

 private:
  std::unordered_set<Persistent*>& held_;
  std::unordered_set<Persistent*> visited_;
  std::vector<Persistent*> order_;
};

}  // namespace

void CheckLoadedDocument(COrvaneDocBase& document) {
  std::unordered_set<Persistent*> held;
  HeldObjectWalker collect(WalkPurpose::kCollectOwned, document.version(), held);
  document.Serialize(collect);
  {
    HeldObjectWalker clear(WalkPurpose::kClearReferences, document.version(), held);
    document.Serialize(clear);
  }
  document.RunPasses(false);

  std::vector<CLine2*> lines;
  std::vector<CPlug2*> plugs;
  for (Persistent* object : collect.order()) {
    if (auto* line = dynamic_cast<CLine2*>(object)) lines.push_back(line);
    if (auto* plug = dynamic_cast<CPlug2*>(object)) plugs.push_back(plug);
  }
  std::unordered_set<const CLine2*> broken;
  for (const CLine2* line : lines) {
    if (line->from() == nullptr || line->to() == nullptr) broken.insert(line);
  }
  // A plug lists only connections that end at it, each once.
  for (CPlug2* plug : plugs) {
    std::vector<CLine2*> listed = plug->connections();
    for (CLine2* line : listed) plug->DetachConnection(line);
    for (CLine2* line : listed) {
      if (!broken.contains(line) && line->OtherEnd(plug) != nullptr) plug->AttachConnection(line);
    }
  }
  for (CLine2* line : lines) {
    if (broken.contains(line)) continue;
    line->from()->AttachConnection(line);
    line->to()->AttachConnection(line);
  }
  for (const CLine2* line : broken) {
    if (CContainer* container = line->parent()) container->RemoveChild(line);
  }
}

}  // namespace ov
