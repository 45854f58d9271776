#include "document/control_mapper.h"

namespace ov {

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

}  // namespace ov
