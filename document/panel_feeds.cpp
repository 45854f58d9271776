#include "document/panel_feeds.h"

#include <unordered_set>
#include <vector>

#include "document/connection.h"
#include "document/container.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"

namespace ov {
namespace {

bool PanelSideOutput(const CPlugFeature& feature) {
  const int32_t flags = feature.Flags();
  return feature.described() && feature.Direction() == DR_OUT && (flags & kPlugPanelSide) &&
         (flags & kPlugPatchStored) == 0;
}

// An input of a module inside a container that has an engine plug of its
// own. Container plugs only pass values through.
bool EngineInput(const CPlug2& plug) {
  return plug.Direction() == DR_IN && (plug.Flags() & kPlugPanelSide) == 0 &&
         dynamic_cast<const CPlugIO2*>(&plug) == nullptr && plug.owner() != nullptr &&
         plug.owner()->parent() != nullptr;
}

void RegisterFedInput(const CPlugFeature& feature, CPlug2& input) {
  CPatchManager* manager = input.owner()->parent()->GetPatchManager();
  if (manager == nullptr || manager->FindParameter(input) != nullptr) return;
  PatchParameter* parameter = manager->CreateParameterForPlug(input);
  if (parameter == nullptr) return;  // a datatype that keeps no patch values
  parameter->set_hidden(true);
  const std::string& start =
      !feature.value_text().empty() ? feature.value_text() : input.value_text();
  if (!start.empty()) parameter->SetAllFromText(start);
}

}  // namespace

void ForEachPlugReached(const CPlug2& from, const std::function<void(CPlug2&)>& reached) {
  // A container plug and its partner on the container's other side are one
  // way through; the set stops containers fed back into themselves.
  std::unordered_set<const CPlug2*> seen{&from};
  std::vector<const CPlug2*> pending{&from};
  while (!pending.empty()) {
    const CPlug2* plug = pending.back();
    pending.pop_back();
    for (CLine2* line : std::vector<CLine2*>(plug->connections())) {
      CPlug2* other = line->OtherEnd(plug);
      if (other == nullptr || !seen.insert(other).second) continue;
      if (dynamic_cast<const CPlugIO2*>(other) == nullptr) {
        reached(*other);
      } else if (CPlug2* partner = other->Partner();
                 partner != nullptr && seen.insert(partner).second) {
        pending.push_back(partner);
      }
    }
  }
}

bool FeedsParameter(const CPlugFeature& feature, const CPlug2& input) {
  return PanelSideOutput(feature) && input.Direction() == DR_IN && ParameterOf(input) != nullptr;
}

void RegisterPanelFedInputs(CContainer& root) {
  // Iterative, so nesting depth is limited by memory, not the stack.
  std::vector<CContainer*> pending{&root};
  while (!pending.empty()) {
    CContainer* container = pending.back();
    pending.pop_back();
    for (const auto& child : container->children()) {
      if (auto* inner = dynamic_cast<CContainer*>(child.get())) pending.push_back(inner);
      auto* module = dynamic_cast<CUG*>(child.get());
      if (module == nullptr) continue;
      for (const auto& plug : module->plugs()) {
        auto* feature = dynamic_cast<CPlugFeature*>(plug.get());
        if (feature == nullptr || !PanelSideOutput(*feature)) continue;
        ForEachPlugReached(*feature, [&](CPlug2& input) {
          if (EngineInput(input)) RegisterFedInput(*feature, input);
          feature->OnConnectedValueChanged(input);  // shows the parameter's value, if any
        });
      }
    }
  }
}

}  // namespace ov
