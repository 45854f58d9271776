#include "editor/controls/control_module_faces.h"

#include "document/control.h"
#include "editor/controls/list_entry_panel.h"
#include "editor/controls/slider_panel.h"
#include "modules/list_text.h"

namespace ov {
namespace {

int32_t PlugNumber(const CControl& control, const char* name, int32_t absent) {
  const CPlug2* plug = control.FindPlug(name);
  return plug != nullptr ? ParseLeadingInteger(plug->ValueText()) : absent;
}

std::unique_ptr<CVisualOb> FaceFor(CControl& control) {
  if (auto* slider = dynamic_cast<Ctl_Slider*>(&control)) {
    return MakeSliderFace(slider, slider->Appearance(), PlugNumber(control, "Show Readout", 1) == 1);
  }
  if (dynamic_cast<Ctl_Combo*>(&control) != nullptr) {
    return MakeListEntryFace(&control, PlugNumber(control, "Appearance", kListComboBox));
  }
  return nullptr;
}

}  // namespace

CControlFrame::CControlFrame(CControl& control) : FaceFrame(control), control_(control) {}

std::unique_ptr<CVisualOb> CControlFrame::MakeFace() { return FaceFor(control_); }

void AddControlModuleMakers(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* control = dynamic_cast<CControl*>(&object);
    if (view_kind != kViewControlPanel || control == nullptr) return nullptr;
    if (dynamic_cast<Ctl_Slider*>(control) == nullptr && dynamic_cast<Ctl_Combo*>(control) == nullptr) {
      return nullptr;
    }
    auto frame = std::make_unique<CControlFrame>(*control);
    if (const std::optional<Rect> rect = control->ViewRect(view_kind)) frame->SetRect(*rect);
    return frame;
  });
}

}  // namespace ov
