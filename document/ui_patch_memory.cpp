#include "document/ui_patch_memory.h"

#include "document/container.h"
#include "document/patch_manager.h"
#include "modules/list_text.h"

namespace ov {

constinit const SerialClass kui_param_float_in2{"ui_param_float_in2", 1, false,
                                                &MakeObject<ui_param_float_in2>, &CUG::kClass};
constinit const SerialClass kui_param_enum_in2{"ui_param_enum_in2", 1, false,
                                               &MakeObject<ui_param_enum_in2>, &CUG::kClass};
constinit const SerialClass kui_param_enum_in_B{"ui_param_enum_in_B", 1, false,
                                                &MakeObject<ui_param_enum_in_B>, &CUG::kClass};
constinit const SerialClass kui_param_float_out2{"ui_param_float_out2", 1, false,
                                                 &MakeObject<ui_param_float_out2>, &CUG::kClass};
constinit const SerialClass kui_param_float_out_b{
    "ui_param_float_out_b", 1, false, &MakeObject<ui_param_float_out_b>, &CUG::kClass};
constinit const SerialClass kui_param_text_in{"ui_param_text_in", 1, false,
                                              &MakeObject<ui_param_text_in>, &CUG::kClass};

// --- The common start

float ui_patch_memory::PositionOf(float value, float minimum, float maximum) {
  if (maximum == minimum) return 0.0f;  // no range: no division
  const float position = (value - minimum) / (maximum - minimum);
  if (maximum > minimum && position <= minimum) return minimum;
  if (maximum <= minimum && position >= minimum) return minimum;
  return position;
}

PatchParameter* ui_patch_memory::Parameter() const {
  const CPlug2* plug = FindPlug(StoredPlugName());
  return plug != nullptr ? ParameterOf(*plug) : nullptr;
}

void ui_patch_memory::Initialise(bool) {
  PatchParameter* parameter = Parameter();
  if (parameter == nullptr) return;
  // A name the project gives wins; else the plug shows the parameter's.
  if (!name_.Get().empty()) {
    parameter->set_name(name_.Get());
  } else {
    name_.Set(parameter->name());
  }
}

void ui_patch_memory::VariableChanged(generic_feature& variable) {
  if (&variable != &name_ || name_.Get().empty()) return;
  if (PatchParameter* parameter = Parameter()) parameter->set_name(name_.Get());
}

namespace {

// Min Value and Max Value start at 0 and 10.
void StartRange(CUG& module) {
  if (CPlug2* minimum = module.FindPlug("Min Value")) minimum->SetValueText("0");
  if (CPlug2* maximum = module.FindPlug("Max Value")) maximum->SetValueText("10");
}

}  // namespace

// --- PatchMemFloatIn

void ui_param_float_in2::SetUpAsNew(const Module_Info& type) {
  ui_patch_memory::SetUpAsNew(type);
  StartRange(*this);
}

ui_module::Binding ui_param_float_in2::BindingOf(const CPlug2& plug) {
  switch (plug.index()) {
    case 0:
      return {&name_, nullptr};
    case 1:
      return {&value_, nullptr};
    case 2:
      return {&position_, nullptr};
    case 3:
      return {&minimum_, nullptr};
    case 4:
      return {&maximum_, nullptr};
    default:
      return {};
  }
}

void ui_param_float_in2::FollowRange() {
  value_.SetMetadata({minimum_.Get(), maximum_.Get()});
  // The host's normalised view follows Min and Max.
  if (PatchParameter* parameter = Parameter()) {
    parameter->set_range({minimum_.Get(), maximum_.Get()});
  }
}

void ui_param_float_in2::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  FollowRange();
  guard_ = true;
  position_.Set(PositionOf(value_.Get(), minimum_.Get(), maximum_.Get()));
  guard_ = false;
}

void ui_param_float_in2::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable == &name_) return;
  guard_ = true;
  if (&variable == &value_) {
    position_.Set(PositionOf(value_.Get(), minimum_.Get(), maximum_.Get()));
  } else {
    if (&variable != &position_) FollowRange();
    value_.Set(minimum_.Get() + position_.Get() * (maximum_.Get() - minimum_.Get()));
  }
  guard_ = false;
}

// --- PatchMemListIn2

ui_module::Binding ui_param_enum_in2::BindingOf(const CPlug2& plug) {
  switch (plug.index()) {
    case 0:
      return {&name_, nullptr};
    case 1:
      return {&value_, nullptr};
    default:
      return {};
  }
}

std::optional<std::string> ui_param_enum_in2::PlugItemList(const CPlug2& plug) const {
  if (plug.index() != 1) return std::nullopt;
  const CPlug2* list_out = FindPlug("List Out");
  const CPlug2* fed = list_out != nullptr ? list_out->FirstConnectedPlug() : nullptr;
  return fed != nullptr ? std::optional<std::string>(fed->ItemList()) : std::nullopt;
}

void ui_param_enum_in2::FollowItems() {
  if (const CPlug2* value = FindPlug("Value")) value_.SetMetadata({value->ItemList()});
}

void ui_param_enum_in2::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  FollowItems();
}

void ui_param_enum_in2::OnConnectionsChanged(CPlug2& plug, bool made) {
  ui_patch_memory::OnConnectionsChanged(plug, made);
  if (plug.index() == 2) FollowItems();
}

// --- PatchMemListIn_B

ui_module::Binding ui_param_enum_in_B::BindingOf(const CPlug2& plug) {
  switch (plug.index()) {
    case 0:
      return {&name_, nullptr};
    case 1:
      return {&relay_.VariableFace(), nullptr};
    case 2:
      return {nullptr, &relay_.ReferenceFace()};
    default:
      return {};
  }
}

// --- PatchMemFloatOut

void ui_param_float_out2::SetUpAsNew(const Module_Info& type) {
  ui_patch_memory::SetUpAsNew(type);
  StartRange(*this);
}

ui_module::Binding ui_param_float_out2::BindingOf(const CPlug2& plug) {
  switch (plug.index()) {
    case 0:
      return {&name_, nullptr};
    case 1:
      return {&value_, nullptr};
    case 4:
      return {&position_, nullptr};
    case 5:
      return {&minimum_, nullptr};
    case 6:
      return {&maximum_, nullptr};
    default:
      return {};
  }
}

void ui_param_float_out2::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  value_.SetMetadata({minimum_.Get(), maximum_.Get()});
  VariableChanged(value_);
}

void ui_param_float_out2::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable != &value_ && &variable != &minimum_ && &variable != &maximum_) return;
  position_.Set(PositionOf(value_.Get(), minimum_.Get(), maximum_.Get()));
}

// --- PatchMemFloatOutB

ui_module::Binding ui_param_float_out_b::BindingOf(const CPlug2& plug) {
  switch (plug.index()) {
    case 0:
      return {&name_, nullptr};
    case 1:
      return {nullptr, &out_};
    case 4:
      return {&v_, nullptr};
    default:
      return {};
  }
}

void ui_param_float_out_b::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  v_.SetMetadata({0.0f, 10.0f});
}

void ui_param_float_out_b::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable == &v_) out_.Set(v_.Get());
}

// --- Patch Mem - Text in

ui_module::Binding ui_param_text_in::BindingOf(const CPlug2& plug) {
  const std::string name = plug.Name();
  if (name == "Value") return {&value_, nullptr};
  if (name == "File Dialog") return {&file_dialog_, nullptr};
  if (name == "Name") return {&name_, nullptr};
  return {};
}

}  // namespace ov
