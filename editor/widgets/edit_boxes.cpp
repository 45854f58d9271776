#include "editor/widgets/edit_boxes.h"

#include <span>

#include "document/control_features.h"
#include "engine/interface_object.h"

namespace ov {

CMyEdit::CMyEdit(generic_parameter* parameter) {
  Watch(parameter);
  if (parameter != nullptr) ShowText(parameter->ValueText());
}

std::string CMyEdit::ToolTipText() const {
  return Watched() != nullptr ? Watched()->Name() : EditBox::ToolTipText();
}

void CMyEdit::Commit(const std::string& text) {
  if (generic_parameter* parameter = Watched()) parameter->WriteValueText(text);
}

int32_t CMyEdit::DefaultWidthInCharacters() const {
  return Watched() != nullptr && Watched()->Datatype() == DT_TEXT ? 6 : 4;
}

void CMyEdit::OnParameterChanged() {
  if (generic_parameter* parameter = Watched()) ShowText(parameter->ValueText());
}

CMyEdit2::CMyEdit2() = default;

bool CMyEdit2::DescribeFeature(int32_t index, FeatureDescription* description) {
  // The styled text's first two features, in its order.
  const std::span<const FaceFeature> features = FaceFeatures(kTextFace);
  if (index < 0 || index > 1 || static_cast<std::size_t>(index) >= features.size()) return false;
  *description = FeatureDescription{};
  description->name = features[index].name;
  description->datatype = features[index].datatype;
  description->output = index == 0 ? static_cast<generic_control*>(&text_) : &style_;
  description->flags = kPlugPanelSide;
  return true;
}

void CMyEdit2::ShareValues(FeatureTypes::Text& text, FeatureTypes::List& style) {
  // A value on its dummy stays unshared: nothing is attached to the dummy.
  if (text.Attached()) text_.Attach(text.Target());
  if (style.Attached()) style_.Attach(style.Target());
  ShowText(text_.Get());
}

void CMyEdit2::OnControlChanged(generic_control& control) {
  if (&control == &text_) {
    ShowText(text_.Get());
  } else {
    InvalidateAll();
  }
}

}  // namespace ov
