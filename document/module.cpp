#include "document/module.h"

#include <algorithm>

#include "document/connection.h"
#include "document/container.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"
#include "modules/module_info.h"

namespace ov {

constinit const SerialClass CUG::kClass{"CUG", 1, false, &MakeObject<CUG>, &CDocOb::kClass};
constinit const SerialClass CUG_with_patches::kClass{"CUG_with_patches", 1, false,
                                                     &MakeObject<CUG_with_patches>, &CUG::kClass};

void CUG::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  if (version > 36) CDocOb::Serialize(walker);
  OwnedList(walker, "plugs", plugs_);
  if (walker.Loading()) {
    for (const auto& plug : plugs_) plug->SetOwner(this);
  }
  walker.String("title", title_);
  if (version <= 7) LegacyTypeNumber(walker);
  walker.Bool16("excluded", excluded_);
  if (version > 36) walker.RectField("structure_rect", structure_rect_);
}

void CUG::SetUpAsNew(const Module_Info& type) {
  SetModuleType(&type);
  title_ = type.GetName();
  structure_rect_ = {0, 0, 20, 20};
  plugs_.clear();
  const std::size_t count = std::min<std::size_t>(type.Descriptors().size(), INT16_MAX);
  for (std::size_t i = 0; i < count; ++i) AddPlug(static_cast<int16_t>(i));
}

CPlug2* CUG::InsertPlug(std::unique_ptr<CPlug2> plug) {
  plug->SetOwner(this);
  const auto after = std::upper_bound(
      plugs_.begin(), plugs_.end(), plug->index(),
      [](int16_t index, const std::unique_ptr<CPlug2>& other) { return index < other->index(); });
  return plugs_.insert(after, std::move(plug))->get();
}

CPlug2* CUG::AddPlug(int16_t index) {
  const std::vector<InterfaceObject>* descriptors =
      module_type() != nullptr ? &module_type()->Descriptors() : nullptr;
  const InterfaceObject* descriptor =
      descriptors != nullptr && index >= 0 && static_cast<std::size_t>(index) < descriptors->size()
          ? &(*descriptors)[index]
          : nullptr;
  std::unique_ptr<CPlug2> plug;
  if (descriptor != nullptr && descriptor->direction == DR_CONTAINER_IO) {
    plug = std::make_unique<CPlugIO2>(descriptor->name);
  } else if (descriptor != nullptr && (descriptor->flags & kPlugTakesPartnerName)) {
    plug = std::make_unique<CPlugNameable>(descriptor->name);
  } else {
    plug = std::make_unique<CPlug2>();
  }
  plug->set_index(index);
  if (descriptor != nullptr) plug->SetValueText(descriptor->default_text);
  return InsertPlug(std::move(plug));
}

CPlug2* CUG::FindPlug(std::string_view name) const {
  for (const auto& plug : plugs_) {
    if (plug->Name() == name) return plug.get();
  }
  return nullptr;
}

bool HasEnginePlug(const CPlug2& plug) {
  const int32_t flags = plug.Flags();
  if ((flags & kPlugPanelSide) &&
      (flags & (kPlugPatchStored | kPlugPanelSide)) != (kPlugPatchStored | kPlugPanelSide)) {
    return false;
  }
  return !plug.IsUnusedSpare();
}

int32_t CUG::GetEnginePlugIndex(const CPlug2* plug) const {
  int32_t index = 0;
  for (const auto& candidate : plugs_) {
    const bool counted = HasEnginePlug(*candidate);
    if (candidate.get() == plug) return counted ? index : -1;
    if (counted) ++index;
  }
  return -1;
}

bool CUG::HighlightLinesTo(const CUG& other) {
  bool marked = false;
  for (const auto& plug : plugs_) {
    if (plug->Direction() != DR_OUT) continue;
    for (CLine2* line : plug->connections()) {
      if (line->from() != plug.get() || line->to() == nullptr || line->to()->owner() != &other) {
        continue;
      }
      line->SetHighlight(1);
      marked = true;
    }
  }
  return marked;
}

void CUG::SetExclusionMark(bool excluded) {
  if (excluded == excluded_) return;
  excluded_ = excluded;
  Notify(Notification(kNotifyExclusionToggled, this, excluded ? 1 : 0));
}

void CUG::RegisterPatchPlugs(CPatchManager* manager) {
  if (manager == nullptr) return;
  for (const auto& plug : plugs_) {
    if (KeepsPatchValues(*plug)) manager->CreateParameterForPlug(*plug);
  }
}

bool KeepsPatchValues(const CPlug2& plug) {
  const int32_t flags = plug.Flags();
  const bool patch_stored =
      (flags & (kPlugPatchStored | kPlugPanelSide)) == (kPlugPatchStored | kPlugPanelSide);
  return patch_stored || (plug.Direction() == DR_IN && (flags & kPlugPatchParameter));
}

bool CUG::RemovePlug(CPlug2* plug) {
  const auto held = [](CPlug2* wanted) {
    return [wanted](const std::unique_ptr<CPlug2>& p) { return p.get() == wanted; };
  };
  if (plug == nullptr || std::none_of(plugs_.begin(), plugs_.end(), held(plug))) return false;
  CPlug2* partner = plug->Partner();
  for (const CPlug2* end : {plug, partner}) {
    if (end != nullptr && ParameterOf(*end) != nullptr) return false;
  }
  for (CPlug2* end : {plug, partner}) {
    if (end == nullptr) continue;
    while (!end->connections().empty()) {
      CLine2* line = end->connections().front();
      if (line->parent() != nullptr) line->parent()->Disconnect(line);
      // A line its container did not hold is only forgotten.
      if (!end->connections().empty() && end->connections().front() == line) {
        end->DetachConnection(line);
      }
    }
  }
  CUG* partner_owner = partner != nullptr ? partner->owner() : nullptr;
  std::erase_if(plugs_, held(plug));
  if (partner_owner != nullptr) std::erase_if(partner_owner->plugs_, held(partner));
  OnPlugRemoved(plug);
  if (partner_owner != nullptr) partner_owner->OnPlugRemoved(partner);
  return true;
}

void CUG::InitialiseAfterLoad(bool) {
  RegisterPatchPlugs(parent() != nullptr ? parent()->GetPatchManager() : nullptr);
}

}  // namespace ov
