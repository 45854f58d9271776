#include "editor/controls/slider_panel.h"

#include "document/control_mapper.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/groups.h"
#include "editor/widgets/buttons.h"
#include "editor/widgets/edit_boxes.h"
#include "editor/widgets/parameter_controls.h"

namespace ov {
namespace {

constexpr int32_t kReadoutCharacters = 5;

std::unique_ptr<CVisualOb> Bitmap(generic_parameter* parameter, const char* image, bool toggle) {
  auto control = std::make_unique<CMyBmpCtrl>(image);
  control->SetMapper(std::make_unique<control_mapper_bmc_param>(control.get(), parameter));
  control->set_toggle(toggle);
  return control;
}

std::unique_ptr<CVisualOb> MakeControl(generic_parameter* parameter, int32_t appearance) {
  switch (appearance) {
    case kSliderNone:
      return nullptr;
    case kSliderVertical:
      return Bitmap(parameter, "vslider_med", false);
    case kSliderHorizontal:
      return Bitmap(parameter, "hslider_med", false);
    case kSliderKnob:
      return Bitmap(parameter, "knob_med", false);
    case kSliderButton:
      return Bitmap(parameter, "button", false);
    case kSliderButtonToggle:
      return Bitmap(parameter, "button", true);
    case kSliderPlainButton:
      return std::make_unique<CMyButton>(parameter);
    case kSliderSmallKnob:
      return Bitmap(parameter, "knob_sm", false);
    case kSliderSmallButton:
      return Bitmap(parameter, "button_sm", false);
    case kSliderSmallButtonToggle:
      return Bitmap(parameter, "button_sm", true);
    default:
      return std::make_unique<CMySliderCtrl>(parameter);
  }
}

}  // namespace

bool IsButtonAppearance(int32_t appearance) {
  return appearance == kSliderButton || appearance == kSliderButtonToggle ||
         appearance == kSliderPlainButton || appearance == kSliderSmallButton ||
         appearance == kSliderSmallButtonToggle;
}

std::unique_ptr<CVisualOb> MakeSliderFace(generic_parameter* parameter, int32_t appearance,
                                          bool readout) {
  auto group = std::make_unique<CGroup>();
  group->SetFlags(kVoOwned);
  int32_t row = 0;
  if (std::unique_ptr<CVisualOb> control = MakeControl(parameter, appearance)) {
    control->set_tab_order(1);
    control->SetFlags(kVoOwned | kVoGridCentred);
    group->AddInCell(std::move(control), row++, 0);
  }
  if (readout) {
    auto edit = std::make_unique<CMyEdit>(parameter);
    edit->SetWidthInCharacters(kReadoutCharacters);
    edit->set_tab_order(2);
    edit->SetFlags(kVoOwned | kVoGridCentred);
    group->AddInCell(std::move(edit), row, 0);
  }
  return group;
}

}  // namespace ov
