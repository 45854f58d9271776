#include "editor/controls/control_module_faces.h"

#include <algorithm>

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

std::unique_ptr<CVisualOb> MakeFace(CControl& control) {
  if (auto* slider = dynamic_cast<Ctl_Slider*>(&control)) {
    return MakeSliderFace(slider, slider->Appearance(), PlugNumber(control, "Show Readout", 1) == 1);
  }
  if (dynamic_cast<Ctl_Combo*>(&control) != nullptr) {
    return MakeListEntryFace(&control, PlugNumber(control, "Appearance", kListComboBox));
  }
  return nullptr;
}

}  // namespace

CControlFrame::CControlFrame(CControl& control) : control_(control) {
  SetFlags(kVoAutoSize | kVoSeeThrough | kVoOwned | 0x200);
  BindToModule(&control);
}

void CControlFrame::Fill() {
  if (filled_) return;
  filled_ = true;
  std::unique_ptr<CVisualOb> face = MakeFace(control_);
  if (face == nullptr) return;
  face->SetRect(ClientRect());
  if (face->flags() & kVoThick) SetFlags(kVoThick);
  AdoptChild(std::move(face), true);
}

Point CControlFrame::PreferredSize() const {
  // Asking the size is one of the two moments the frame fills.
  const_cast<CControlFrame*>(this)->Fill();
  const CVisualOb* face = Face();
  if (face == nullptr) return {20, 20};
  Point size = face->PreferredSize();
  if (face->flags() & kVoThick) {
    const Rect r = face->GetRect();
    size = {std::max(size.x, r.right - r.left), std::max(size.y, r.bottom - r.top)};
  }
  return size;
}

void CControlFrame::SetRect(const Rect& rect) {
  CPaintObject::SetRect(rect);
  if (CVisualOb* face = Face()) face->SetRect(ClientRect());
}

void CControlFrame::Open() {
  Fill();
  CPaintObject::Open();
  if (CVisualOb* face = Face()) CPaintObject::ChildResized(*face);
}

void CControlFrame::Close() {
  CPaintObject::Close();  // the face goes with it
  filled_ = false;
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
