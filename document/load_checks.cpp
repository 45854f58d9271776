#include "document/load_checks.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "document/connection.h"
#include "document/container.h"
#include "document/document.h"
#include "document/module.h"
#include "document/plug_kinds.h"
#include "modules/module_info.h"
#include "platform/message_sink.h"

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

// A plug whose direction and datatype are known: a container plug stores
// its own; any other takes them from its type's descriptor at its index.
bool Known(const CPlug2& plug) {
  if (dynamic_cast<const CPlugIO2*>(&plug) != nullptr) return true;
  const CUG* owner = plug.owner();
  if (owner == nullptr || owner->module_type() == nullptr || plug.index() < 0) return false;
  return static_cast<std::size_t>(plug.index()) < owner->module_type()->Descriptors().size();
}

// What the editor would have refused: a connection from an input or to an
// output, or between plugs of different datatypes. A container plug's
// datatype follows what it is connected to (older streams store none), so
// only its direction is checked.
bool Fits(const CLine2& line) {
  const CPlug2& from = *line.from();
  const CPlug2& to = *line.to();
  if (!Known(from) || !Known(to)) return true;
  if (from.Direction() == DR_IN || to.Direction() == DR_OUT) return false;
  const bool io = dynamic_cast<const CPlugIO2*>(&from) != nullptr ||
                  dynamic_cast<const CPlugIO2*>(&to) != nullptr;
  return io || from.Datatype() == to.Datatype();
}

std::string EndName(const CPlug2& plug) {
  return (plug.owner() != nullptr ? plug.owner()->title() : std::string()) + "." + plug.Name();
}

}  // namespace

void CheckLoadedDocument(COrvaneDocBase& document, MessageSink* messages) {
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
  const CLine2* misfit = nullptr;
  std::size_t misfits = 0;
  for (const CLine2* line : lines) {
    if (line->from() == nullptr || line->to() == nullptr) {
      broken.insert(line);
    } else if (!Fits(*line)) {
      broken.insert(line);
      if (misfits++ == 0) misfit = line;
    }
  }
  if (misfit != nullptr && messages != nullptr) {
    messages->Post(std::to_string(misfits) +
                       " connection(s) joined plugs that cannot be connected and were left out, "
                       "the first " +
                       EndName(*misfit->from()) + " -> " + EndName(*misfit->to()) + ".",
                   MessageStyle::kWarning);
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
  // Streams from before container plugs stored their data type read every
  // one as audio, a MIDI one too, which the engine cannot join to its far
  // end: such a plug carries what the plug it mirrors carries.
  // (The last such version, as CPlugIO2 reads its fields.)
  if (document.version() <= 94961) {
    for (CPlug2* plug : plugs) {
      auto* io = dynamic_cast<CPlugIO2*>(plug);
      if (io == nullptr) continue;
      const CPlug2* far_end = io->FarEnd();
      if (far_end != io && dynamic_cast<const CPlugIO2*>(far_end) == nullptr) {
        io->SetDatatype(static_cast<uint16_t>(far_end->Datatype()));
      }
    }
  }
}

}  // namespace ov
