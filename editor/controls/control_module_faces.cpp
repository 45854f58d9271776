#include "editor/controls/control_module_faces.h"

#include "document/control.h"
#include "editor/controls/list_entry_panel.h"
#include "editor/controls/slider_panel.h"
#include "editor/groups.h"
#include "editor/widgets/text_labels.h"
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

// The control's title centred above its face, unless "Show Title On Panel"
// is off or the title is empty. A face that keeps its own size (0x20) makes
// the titled group keep its size too.
std::unique_ptr<CVisualOb> Titled(CControl& control, std::unique_ptr<CVisualOb> face) {
  if (face == nullptr || control.title().empty() ||
      PlugNumber(control, "Show Title On Panel", 1) != 1) {
    return face;
  }
  auto group = std::make_unique<CGroup>();
  group->SetFlags(kVoOwned | (face->flags() & kVoThick));
  // Over the panel's background, as the skin's label colours expect.
  auto title = std::make_unique<CMyTextLabel>(control.title(), true);
  title->SetAlign(TextState::Align::kCentre);
  title->SetFlags(kVoOwned | kVoGridCentred);
  group->AddInCell(std::move(title), 0, 0);
  face->SetFlags(kVoOwned | kVoGridCentred);
  group->AddInCell(std::move(face), 1, 0);
  return group;
}

}  // namespace

CControlFrame::CControlFrame(CControl& control) : FaceFrame(control), control_(control) {}

std::unique_ptr<CVisualOb> CControlFrame::MakeFace() {
  return Titled(control_, FaceFor(control_));
}

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
