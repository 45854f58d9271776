#include "document/control_mapper.h"

#include <algorithm>
#include <vector>

#include "modules/list_text.h"

namespace ov {
namespace {

constexpr int32_t kLastPatch = 127;

}  // namespace

control_mapper_bmc_param::control_mapper_bmc_param(MappedControl* control,
                                                   generic_parameter* parameter)
    : control_mapper_bmc(control) {
  Watch(parameter);
}

float control_mapper_bmc_param::GetNormalised() const {
  return Watched() != nullptr ? Watched()->GetNormalised() : 0.0f;
}

void control_mapper_bmc_param::SetNormalised(float normalised) {
  if (Watched() != nullptr) Watched()->SetNormalised(normalised);
}

std::string control_mapper_bmc_param::ToolTipText() const {
  if (Watched() == nullptr) return {};
  return Watched()->Name() + " " + Watched()->ValueText() + Watched()->Label();
}

void control_mapper_bmc_param::OnParameterChanged() {
  if (Watched() != nullptr) PushToControl(Watched()->GetNormalised());
}

control_mapper_bmc_enum::control_mapper_bmc_enum(MappedControl* control,
                                                 generic_parameter* parameter, Mode mode,
                                                 std::optional<int32_t> item)
    : control_mapper_bmc(control), mode_(mode), item_(item) {
  Watch(parameter);
}

float control_mapper_bmc_enum::GetNormalised() const {
  generic_parameter* parameter = Watched();
  if (item_) {
    return parameter != nullptr && parameter->ValueText() == std::to_string(*item_) ? 1.0f : 0.0f;
  }
  if (mode_ == kPassThrough) return parameter != nullptr ? parameter->GetNormalised() : 0.0f;
  return pressed_;
}

void control_mapper_bmc_enum::SetNormalised(float normalised) {
  generic_parameter* parameter = Watched();
  if (item_) {
    if (normalised > 0.0f && parameter != nullptr) parameter->WriteValueText(std::to_string(*item_));
    // A toggle that was lit stays lit: the parameter decides.
    PushToControl(GetNormalised());
    return;
  }
  if (mode_ == kPassThrough) {
    if (parameter != nullptr) parameter->SetNormalised(normalised);
    return;
  }
  pressed_ = normalised;
  PushToControl(pressed_);  // the button shows its own press
  if (normalised > 0.0f) Step();
}

void control_mapper_bmc_enum::Step() {
  generic_parameter* parameter = Watched();
  if (parameter == nullptr) return;
  std::vector<int32_t> values;
  ListText(parameter->ItemList()).ForEach([&values](const ListText::Item& item) {
    values.push_back(item.value);
    return true;
  });
  if (values.empty()) return;
  const int32_t current = ParseLeadingInteger(parameter->ValueText());
  const auto at = std::find(values.begin(), values.end(), current);
  const auto count = static_cast<std::ptrdiff_t>(values.size());
  std::ptrdiff_t index;
  if (at == values.end()) {
    index = mode_ == kNext ? 0 : count - 1;
  } else {
    index = ((at - values.begin()) + (mode_ == kNext ? 1 : count - 1)) % count;
  }
  parameter->WriteValueText(std::to_string(values[static_cast<size_t>(index)]));
}

std::string control_mapper_bmc_enum::ToolTipText() const {
  generic_parameter* parameter = Watched();
  if (parameter == nullptr) return {};
  return parameter->Name() + " " + parameter->TextForNormalised(parameter->GetNormalised());
}

void control_mapper_bmc_enum::OnParameterChanged() {
  if (item_ || mode_ == kPassThrough) PushToControl(GetNormalised());
}

control_mapper_bmc_menu::control_mapper_bmc_menu(MappedControl* control, PatchButtonOwner& owner,
                                                 Kind kind, generic_parameter* program,
                                                 int32_t command)
    : control_mapper_bmc(control),
      owner_(owner),
      kind_(kind),
      program_(program),
      command_(command) {}

void control_mapper_bmc_menu::SetNormalised(float normalised) {
  const bool released = pressed_ > 0.0f && normalised <= 0.0f;
  pressed_ = normalised;
  PushToControl(pressed_);
  if (released) Act();
}

void control_mapper_bmc_menu::Act() {
  switch (kind_) {
    case kCommand:
    case kOwnerCommand5:
    case kOwnerCommand6:
      owner_.OwnerCommand(command_);
      return;
    case kPatchList:
      owner_.ShowPatchList();
      return;
    case kFileMenu:
      owner_.ShowFileMenu();
      return;
    case kPatchDown:
    case kPatchUp: {
      if (program_ == nullptr) return;
      const int32_t patch = ParseLeadingInteger(program_->ValueText());
      const int32_t next = kind_ == kPatchDown ? patch - 1 : patch + 1;
      if (next >= 0 && next <= kLastPatch) program_->WriteValueText(std::to_string(next));
      return;
    }
    case kCopy:
      owner_.OwnerCommand(kCommandCopyPatch);
      return;
  }
}

}  // namespace ov
