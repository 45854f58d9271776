#include "document/ui_module.h"

#include <algorithm>

#include "document/container.h"
#include "document/patch_manager.h"

namespace ov {

constinit const SerialClass kCUG_ui{"CUG_ui", 1, false, &MakeObject<CUG_ui>, &CUG::kClass};

int32_t ui_module::FeatureIndex(const CPlug2& plug) {
  const auto* feature = dynamic_cast<const CPlugFeature*>(&plug);
  return feature != nullptr ? feature->feature_index() : -1;
}

ui_module::Binding& ui_module::BindingSlot(int32_t key) {
  const auto at = static_cast<std::size_t>(std::max(key, 0));
  if (bindings_.size() <= at) bindings_.resize(at + 1);
  return bindings_[at];
}

void ui_module::Bind(int32_t key, generic_feature& variable) {
  BindingSlot(key).variable = &variable;
}

void ui_module::Bind(int32_t key, generic_control& reference) {
  BindingSlot(key).reference = &reference;
}

ui_module::Binding ui_module::BindingOf(const CPlug2& plug) {
  const int32_t key = BindingKey(plug);
  if (key < 0) return {};
  if (grow_ != nullptr && key >= grown_from_) {
    Grown& grown = grown_[&plug];
    if (grown.variable == nullptr && grown.reference == nullptr) grown = grow_(Owner());
    return {grown.variable.get(), grown.reference.get()};
  }
  if (static_cast<std::size_t>(key) >= bindings_.size()) return {};
  return bindings_[static_cast<std::size_t>(key)];
}

void ui_module::OnPlugRemoved(const CPlug2* gone) { grown_.erase(gone); }

void ui_module::SetUpAsNew(const Module_Info& type) {
  CUG::SetUpAsNew(type);
  const std::span<const HelperFeature> features = Features();
  for (std::size_t i = 0; i < features.size(); ++i) {
    AddFeaturePlug(features[i], static_cast<int32_t>(i));
  }
  if (const HelperFeature* spare = SpareFeature()) {
    AddFeaturePlug(*spare, static_cast<int32_t>(features.size()));
  }
}

CPlugFeature* ui_module::AddFeaturePlug(const HelperFeature& feature, int32_t index) {
  auto plug = std::make_unique<CPlugFeature>();
  plug->SetFeature(feature.name, index, 0);
  plug->set_index(static_cast<int16_t>(std::clamp<int32_t>(index, 0, INT16_MAX)));
  plug->SetValueText(feature.default_text);
  CPlugFeature* made = plug.get();
  InsertPlug(std::move(plug));
  Describe(*made);
  if (prepared_) {
    if (generic_feature* variable = BindingOf(*made).variable) LoadFromPlug(*made, *variable);
  }
  return made;
}

CPlug2* ui_module::AddPlug(int16_t index) {
  const HelperFeature* spare = SpareFeature();
  if (spare == nullptr) return CUG::AddPlug(index);
  int32_t highest = -1;
  for (const auto& plug : plugs()) highest = std::max(highest, FeatureIndex(*plug));
  return AddFeaturePlug(*spare, highest + 1);
}

const HelperFeature* ui_module::FeatureAt(int32_t index) const {
  const std::span<const HelperFeature> features = Features();
  if (index < 0) return nullptr;
  if (static_cast<std::size_t>(index) < features.size()) {
    return &features[static_cast<std::size_t>(index)];
  }
  return SpareFeature();
}

void ui_module::Describe(CPlugFeature& plug) {
  const int32_t index = plug.feature_index();
  const HelperFeature* feature = FeatureAt(index);
  // A stored index the module has no feature for stays an undescribed plug.
  if (feature == nullptr) return;
  // Spares keep the name they took from what they were connected to.
  if (plug.feature_name().empty()) plug.SetFeature(feature->name, index, 0);
  plug.SetFeatureShape(feature->direction, feature->datatype, feature->flags | kPlugPanelSide,
                       feature->item_list);
}

void ui_module::Prepare() {
  if (prepared_) return;
  prepared_ = true;
  for (const auto& plug : plugs()) {
    if (auto* feature = dynamic_cast<CPlugFeature*>(plug.get())) Describe(*feature);
  }
  for (const auto& plug : plugs()) {
    if (generic_feature* variable = BindingOf(*plug).variable) LoadFromPlug(*plug, *variable);
  }
}

generic_feature* ui_module::PlugVariable(const CPlug2& plug) {
  Prepare();
  return BindingOf(plug).variable;
}

void ui_module::InitialiseAfterLoad(bool loaded) {
  Prepare();
  // Registers the plugs kept per patch: their parameters exist from here on.
  CUG::InitialiseAfterLoad(loaded);
  for (const auto& plug : plugs()) {
    if (ParameterOf(*plug) == nullptr) continue;
    if (generic_feature* variable = BindingOf(*plug).variable) LoadFromPlug(*plug, *variable);
  }
  started_ = true;
  RefreshAutomaticLists();
  AttachReferences();
  Initialise(loaded);
}

void ui_module::AttachReferences() {
  for (const auto& plug : plugs()) AttachReference(*plug);
}

void ui_module::AttachReference(CPlug2& plug) {
  generic_control* reference = BindingOf(plug).reference;
  if (reference == nullptr) return;
  CPlug2* other = plug.FirstConnectedPlug();
  generic_feature* target = other != nullptr ? other->ValueVariable() : nullptr;
  if (target == nullptr) {
    reference->Detach();
    return;
  }
  reference->Attach(*target);
}

void ui_module::OnConnectionsChanged(CPlug2& plug, bool made) {
  if (made && plug.connections().size() == 1 && (plug.Flags() & kPlugTakesPartnerName)) {
    // A spare takes the name of what it was first connected to.
    auto* feature = dynamic_cast<CPlugFeature*>(&plug);
    CPlug2* other = plug.FirstConnectedPlug();
    if (feature != nullptr && other != nullptr) {
      feature->SetFeature(other->Name(), feature->feature_index(), 0);
    }
  }
  if (auto* feature = dynamic_cast<CPlugFeature*>(&plug)) feature->RefreshItems();
  RefreshAutomaticLists();
  AttachReference(plug);
}

void ui_module::RefreshAutomaticLists() {
  for (const auto& plug : plugs()) {
    if ((plug->Flags() & kPlugAutoList) == 0 || plug->Datatype() != DT_ENUM) continue;
    if (auto* list = dynamic_cast<ListVariable*>(BindingOf(*plug).variable)) {
      list->SetMetadata({plug->ItemList()});
    }
  }
}

CPlug2* ui_module::PlugOf(const generic_control& reference) const {
  for (const auto& plug : plugs()) {
    if (const_cast<ui_module*>(this)->BindingOf(*plug).reference == &reference) return plug.get();
  }
  return nullptr;
}

CPlug2* ui_module::PlugOf(const generic_feature& variable) const {
  for (const auto& plug : plugs()) {
    if (const_cast<ui_module*>(this)->BindingOf(*plug).variable == &variable) return plug.get();
  }
  return nullptr;
}

std::vector<CPlugFeature*> ui_module::FeaturePlugsFrom(int32_t first) const {
  std::vector<CPlugFeature*> found;
  for (const auto& plug : plugs()) {
    auto* feature = dynamic_cast<CPlugFeature*>(plug.get());
    if (feature != nullptr && feature->described() && feature->feature_index() >= first) {
      found.push_back(feature);
    }
  }
  return found;
}

void ui_module::PlugsChanged() {
  if (CContainer* container = parent()) {
    container->Notify(Notification(kNotifyModuleChanged, this));
  }
}

void ui_module::StoreInPlug(CPlug2& plug, generic_feature& variable) {
  storing_ = &plug;
  PatchParameter* parameter = ParameterOf(plug);
  if (parameter != nullptr && parameter->value_type() == PatchParameter::kFloat) {
    // Exactly, not through the three decimals of the plug's text.
    PatchValue value;
    value.real = static_cast<FloatVariable&>(variable).Get();
    parameter->SetValue(value);
  } else {
    plug.WriteValueText(variable.ToText());
  }
  storing_ = nullptr;
}

void ui_module::LoadFromPlug(CPlug2& plug, generic_feature& variable) {
  loading_ = &variable;
  PatchParameter* parameter = ParameterOf(plug);
  if (parameter != nullptr && parameter->value_type() == PatchParameter::kFloat) {
    static_cast<FloatVariable&>(variable).Set(parameter->CurrentValue().real);
  } else {
    variable.SetFromText(plug.ValueText());
  }
  loading_ = nullptr;
}

void ui_module::OnPlugValueChanged(CPlug2& plug) {
  if (&plug == storing_) return;
  if (generic_feature* variable = BindingOf(plug).variable) LoadFromPlug(plug, *variable);
}

void ui_module::OnVariableChanged(generic_feature& variable) {
  const bool from_plug = &variable == loading_;
  loading_ = nullptr;
  if (!from_plug) {
    if (CPlug2* plug = PlugOf(variable)) StoreInPlug(*plug, variable);
  }
  // Plugs are filled before the module starts; its rules wait for it.
  if (started_ && !guard_) VariableChanged(variable);
}

void ui_module::OnControlChanged(generic_control& reference) {
  if (started_ && !guard_) ControlChanged(reference);
}

void ui_module::OnControlMetadataChanged(generic_control& reference) {
  if (started_ && !guard_) ControlChanged(reference);
}

}  // namespace ov
