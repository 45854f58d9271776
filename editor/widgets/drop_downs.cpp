#include "editor/widgets/drop_downs.h"

#include <span>

#include "document/control_features.h"
#include "engine/interface_object.h"

namespace ov {

CMyCombobox::CMyCombobox(generic_parameter* parameter) {
  Watch(parameter);
  OnParameterChanged();
}

std::string CMyCombobox::ToolTipText() const {
  return Watched() != nullptr ? Watched()->Name() : DropDownList::ToolTipText();
}

void CMyCombobox::Write(int32_t value) {
  if (generic_parameter* parameter = Watched()) parameter->WriteValueText(std::to_string(value));
}

void CMyCombobox::OnParameterChanged() {
  generic_parameter* parameter = Watched();
  if (parameter == nullptr) {
    ShowItems({}, 0);
    return;
  }
  ShowItems(parameter->ItemList(), ParseLeadingInteger(parameter->ValueText()));
}

CMyComboBox2::CMyComboBox2() = default;

bool CMyComboBox2::DescribeFeature(int32_t index, FeatureDescription* description) {
  const std::span<const FaceFeature> features = FaceFeatures(kListFace);
  if (index < 0 || static_cast<std::size_t>(index) >= features.size()) return false;
  *description = FeatureDescription{};
  description->name = features[index].name;
  description->datatype = features[index].datatype;
  description->output = index == 0 ? &list_ : &style_;
  description->flags = kPlugPanelSide;
  return true;
}

void CMyComboBox2::ShareValues(FeatureTypes::List& list, FeatureTypes::List& style) {
  // A value on its dummy stays unshared: nothing is attached to the dummy.
  if (list.Attached()) list_.Attach(list.Target());
  if (style.Attached()) style_.Attach(style.Target());
  ShowItems(list_.Metadata().items, list_.Get());
}

void CMyComboBox2::OnControlChanged(generic_control& control) {
  if (&control == &list_) {
    ShowItems(list_.Metadata().items, list_.Get());
  } else {
    InvalidateAll();
  }
}

}  // namespace ov
